// revscope-cli export --csv: the chosen sensors as one CSV table on one time base.
#include <algorithm>
#include <ostream>
#include <sys/stat.h>

#include "analysis/CsvExport.h"
#include "analysis/DecimalText.h"
#include "cli/Cli.h"
#include "program/Program.h"
#include "recording/FileOperations.h"
#include "recording/Recording.h"
#include "rules/ExportDialogLogic.h"

namespace {
bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Seconds(double s) {
  char buf[MaxFixedChars];
  return std::string(buf, WriteFixed(buf, s, 3));
}
}  // namespace

int CliExportCsv(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err) {
  std::optional<std::string> path, outPath;
  std::vector<std::string> sensorNames;
  std::optional<double> rate, from, to;
  bool everySample = false, age = false;
  const std::pair<const char*, std::optional<double>*> numbers[] = {{"--rate", &rate}, {"--from", &from}, {"--to", &to}};
  for (size_t i = 0; i < args.size(); ++i) {
    bool missing = false;
    std::optional<std::string> number;
    std::optional<double>* into = nullptr;
    std::string option;
    for (const auto& [name, field] : numbers) {
      if ((number = CliOptionValue(args, i, name, missing))) {
        into = field;
        option = name;
        break;
      }
    }
    if (into) {
      double value = 0;
      if (!ParseDecimal(*number, value))
        return CliUsageError(err, "'" + option + "' needs a plain decimal number, not '" + *number + "'");
      *into = value;
    } else if (args[i] == "--csv") {
      continue;
    } else if (args[i] == "--every-sample") {
      everySample = true;
    } else if (args[i] == "--age") {
      age = true;
    } else if (auto s = CliOptionValue(args, i, "--sensor", missing)) {
      sensorNames.push_back(*s);
    } else if (auto o = CliOptionValue(args, i, "--out", missing)) {
      if (o->empty()) return CliUsageError(err, "'--out' needs a file name, a folder or '-'");
      outPath = *o;
    } else if (int rc = CliFileArgument(args, i, missing, "export", path, err)) {
      return rc;
    }
  }
  if (!path) return CliUsageError(err, "'export' needs a recording file");
  if (rate && everySample) return CliUsageError(err, "'--rate' and '--every-sample' exclude each other");
  if (rate && !RateAllowed(*rate))
    return CliUsageError(err, "'--rate' must be above 0 and at most 100000 rows a second");
  if (from && to && *from > *to)
    return CliUsageError(err, "'--from' (" + Seconds(*from) + " s) is after '--to' (" + Seconds(*to) + " s)");

  TCsvOptions options;
  for (const std::string& name : sensorNames) {
    TDisplayVar* v = FindSensor(program.Sensors, name);
    if (!v) {
      err << "revscope-cli: " << UnknownSensorText(program.Sensors, name) << "\n";
      return 1;
    }
    if (std::find(options.Sensors.begin(), options.Sensors.end(), v) == options.Sensors.end()) options.Sensors.push_back(v);
  }
  std::unique_ptr<TRecording> rec = LoadForCli(program, *path, err);
  if (!rec) return 1;
  if (options.Sensors.empty()) options.Sensors = DefaultCsvSensors(program.Sensors, *rec);
  if (options.Sensors.empty()) {
    err << "revscope-cli: '" << *path << "' holds no samples to export\n";
    return 1;
  }
  options.RateHz = rate.value_or(options.RateHz);
  options.EverySample = everySample;
  options.Age = age;
  options.From = from.value_or(0);
  options.To = to;

  TCsvResult result;
  std::string target = outPath.value_or(ExportFileName(*rec) + ".csv");
  if (target == "-") {
    TCsvExport table(*rec, options);
    result = WriteCsv(table, [&out](const char* data, size_t size) {
      return static_cast<bool>(out.write(data, static_cast<std::streamsize>(size)));
    });
    out.flush();
    if (!result.Ok || !out) {
      err << "revscope-cli: cannot write to standard output\n";
      return 1;
    }
  } else {
    // Without --out the file goes into the current folder, and a folder takes it as well, under the
    // name "<Description>.csv".
    if (IsFolder(target)) target += (target.back() == '/' ? "" : "/") + ExportFileName(*rec) + ".csv";
    result = ExportCsvFile(*rec, options, target);
    if (!result.Ok) {
      err << "revscope-cli: " << FileFailureText("Could not export to", target, result.Error) << "\n";
      return 1;
    }
    out << target << "\n";
  }
  if (result.Rows == 0)
    err << "revscope-cli: no rows between " << Seconds(options.From) << " s and "
        << Seconds(to.value_or(rec->LengthSeconds())) << " s\n";
  return 0;
}
