// revscope-cli table and gears: what is worked out from a recording.
#include <ostream>

#include "analysis/GearLearning.h"
#include "analysis/Table.h"
#include "base/AtomicSave.h"
#include "base/IniFile.h"
#include "cli/Cli.h"
#include "program/Program.h"
#include "recording/FileOperations.h"
#include "rules/TableLayout.h"

namespace {

// --max-age goes up to a day, whose ticks (TicksFromMs, 64 bits) need more than 32 bits.
constexpr long long kToolMaxAgeMs = 24LL * 3600 * 1000;

// A whole number 0 .. max (max within 32 bits); false for anything else.
bool WholeNumber(const std::string& text, long long max, uint32_t& out) {
  long long v = 0;
  if (!ParseInteger(text, v) || v < 0 || v > max) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

std::string Summary(const TTableCounts& c, const std::string& z) {
  return "table: " + SampleCountsText(c.Counted, c.Samples, z, c.Outside, c.TooOld, c.NoSample, c.Filtered) + "\n";
}

}  // namespace

int CliTable(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err) {
  std::optional<std::string> path, x, y, z, xEdges, yEdges, outFile;
  std::vector<std::string> where;
  std::string stat = "mean", maxAge = "250", minCount = "1";
  for (size_t i = 0; i < args.size(); ++i) {
    bool missing = false;
    struct TOption {
      const char* Name;
      std::optional<std::string>* Value;
    };
    const TOption single[] = {
        {"--x", &x}, {"--y", &y}, {"--z", &z}, {"--x-edges", &xEdges}, {"--y-edges", &yEdges}, {"--out", &outFile}};
    bool taken = false;
    for (const TOption& o : single)
      if (auto v = CliOptionValue(args, i, o.Name, missing)) {
        *o.Value = *v;
        taken = true;
        break;
      }
    if (taken || missing) {
      if (missing) return CliUsageError(err, "'" + args[i] + "' needs a value");
      continue;
    }
    if (auto v = CliOptionValue(args, i, "--where", missing)) {
      where.push_back(*v);
    } else if (auto s = CliOptionValue(args, i, "--stat", missing)) {
      stat = *s;
    } else if (auto a = CliOptionValue(args, i, "--max-age", missing)) {
      maxAge = *a;
    } else if (auto m = CliOptionValue(args, i, "--min-count", missing)) {
      minCount = *m;
    } else if (int rc = CliFileArgument(args, i, missing, "table", path, err)) {
      return rc;
    }
  }
  if (!path) return CliUsageError(err, "'table' needs a recording file");
  for (const auto& [value, name] : {std::pair{&x, "--x NAME"},
                                    {&y, "--y NAME"},
                                    {&z, "--z NAME"},
                                    {&xEdges, "--x-edges START:END:STEP|E0,E1,..."},
                                    {&yEdges, "--y-edges START:END:STEP|E0,E1,..."}})
    if (!*value) return CliUsageError(err, std::string("'table' needs ") + name);

  TTableSpec spec;
  TDisplayVar* vars[3] = {};
  const std::pair<const char*, const std::string*> axes[3] = {{"--x", &*x}, {"--y", &*y}, {"--z", &*z}};
  for (int k = 0; k < 3; ++k) {
    vars[k] = FindSensor(program.Sensors, *axes[k].second);
    if (!vars[k])
      return CliUsageError(err, std::string(axes[k].first) + ": " + UnknownSensorText(program.Sensors, *axes[k].second));
  }
  spec.X = vars[0]->Id;
  spec.Y = vars[1]->Id;
  spec.Z = vars[2]->Id;
  std::string why;
  if (!ParseAxisEdges(*xEdges, spec.XEdges, &why)) return CliUsageError(err, "--x-edges '" + *xEdges + "': " + why);
  if (!ParseAxisEdges(*yEdges, spec.YEdges, &why)) return CliUsageError(err, "--y-edges '" + *yEdges + "': " + why);
  for (const std::string& w : where) {
    TCondition c;
    if (!ParseCondition(w, program.Sensors, c, &why)) return CliUsageError(err, "--where: " + why);
    spec.Filters.push_back(c);
  }
  TTableTextOptions text;
  if (!ParseStat(stat, text.Stat))
    return CliUsageError(err, "--stat must be mean, min, max or count (got '" + stat + "')");
  static_assert(kToolMaxAgeMs <= UINT32_MAX);
  if (!WholeNumber(maxAge, kToolMaxAgeMs, spec.MaxAgeMs))
    return CliUsageError(err, "--max-age needs a whole number of milliseconds (got '" + maxAge + "')");
  if (!WholeNumber(minCount, 0xFFFFFFFFLL, text.MinCount))
    return CliUsageError(err, "--min-count needs a whole number (got '" + minCount + "')");
  const bool toFile = outFile && *outFile != "-";
  if (outFile && outFile->empty()) return CliUsageError(err, "'--out' needs a file name or -");
  if (toFile && !CheckSaveTarget(*outFile, &why)) {
    err << "revscope-cli: cannot write " << why << "\n";
    return 1;
  }

  std::unique_ptr<TRecording> rec = LoadForCli(program, *path, err);
  if (!rec) return 1;
  TBorrowCurrent current(rec.get());  // the sensors read the recording
  const TTable table = BuildTable(program.Sensors, *rec, spec);
  text.XName = vars[0]->Name;
  text.YName = vars[1]->Name;
  const std::string csv = TableText(table, text);
  if (toFile) {
    if (!AtomicSaveText(*outFile, csv, &why)) {
      err << "revscope-cli: Could not write '" << *outFile << "' - " << why << "\n";
      return 1;
    }
  } else {
    out << csv << std::flush;
  }
  err << Summary(table.Counts(), vars[2]->Name);
  return 0;
}

int CliGears(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err) {
  if (int rc = CliOneFile(args, "gears", err)) return rc;
  std::unique_ptr<TRecording> rec = LoadForCli(program, args[0], err);
  if (!rec) return 1;
  TBorrowCurrent current(rec.get());  // the sensors read the recording
  TGearLearnSettings settings;
  settings.FinalDrive = program.Config.GearRatios[5];
  settings.Circumference = program.Config.TyreRollingCircumference;
  const TGearLearning learned = LearnGears(program.Sensors, *rec, settings);
  if (!learned.Problem.empty()) {
    err << "revscope-cli: no gear ratios from '" << args[0] << "': " << learned.Problem << "\n";
    return 1;
  }
  // Numbered as the settings dialog numbers them: against the gear ratios set now.
  double set[5];
  for (int g = 0; g < 5; ++g) set[g] = program.Config.GearRatios[g];
  out << GearsText(learned.Gears, MatchGears(learned.Gears, set)) << std::flush;
  err << "gears: " << learned.Gears.size() << " from " << learned.SteadySamples << " steady samples (final drive "
      << FormatDouble(settings.FinalDrive) << ", circumference " << FormatDouble(settings.Circumference) << " m)\n";
  return 0;
}
