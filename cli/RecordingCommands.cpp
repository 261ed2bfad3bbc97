// revscope-cli info and export.
#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <ostream>
#include <sys/stat.h>

#include "cli/Cli.h"
#include "program/Program.h"
#include "base/AtomicSave.h"
#include "recording/FileOperations.h"
#include "vars/EcuType.h"
#include "vars/Formatters.h"
#include "recording/Journal.h"
#include "recording/JournalRecovery.h"

// Loads the recording the way the program does; every message goes to err, and a failure that
// reported nothing says "Could not load recording", so a failure is never silent.
std::unique_ptr<TRecording> LoadForCli(TProgram& program, const std::string& path, std::ostream& err) {
  auto rec = std::make_unique<TRecording>(*program.Sensors.RawVars);
  int messages = 0;
  bool ok = rec->LoadFromFile(path, [&](const std::string& message) {
    err << message << "\n";
    ++messages;
  });
  if (ok) return rec;
  if (messages == 0) err << "Could not load recording\n";
  return nullptr;
}

namespace {
bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}
}  // namespace

// A display variable by id or by name (names without regard to case).
TDisplayVar* FindSensor(const TSensorList& sensors, const std::string& spec) {
  if (AllDigits(spec)) {
    if (spec.size() > 10) return nullptr;
    unsigned long long id = std::stoull(spec);
    return id <= 0xFFFFFFFFull ? sensors.FindDisplay(static_cast<uint32_t>(id)) : nullptr;
  }
  return sensors.FindDisplayByName(spec);
}

// Why a --sensor names nothing to export: a raw id (as info lists the histories) is told which
// display sensors it feeds.
std::string UnknownSensorText(const TSensorList& sensors, const std::string& spec) {
  if (AllDigits(spec) && spec.size() <= 10) {
    unsigned long long id = std::stoull(spec);
    if (const TRawVar* raw = id <= 0xFFFFFFFFull ? sensors.FindRaw(static_cast<uint32_t>(id)) : nullptr) {
      std::string fed;
      for (int i = 0; i < sensors.DisplayVars->Count(); ++i) {
        const TDisplayVar* d = sensors.Display(i);
        if (static_cast<int64_t>(d->SourceId.load()) != static_cast<int64_t>(raw->Id.load())) continue;
        fed += (fed.empty() ? "" : ", ") + std::to_string(d->Id.load()) + " (" + d->Name + ")";
      }
      std::string text = "sensor " + spec + " is the raw ECU variable '" + raw->Name + "'; ";
      return text + (fed.empty() ? "no display sensor shows it" : "export a display sensor it feeds: " + fed);
    }
  }
  return "unknown sensor '" + spec + "'";
}

int CliInfo(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err) {
  if (int rc = CliOneFile(args, "info", err)) return rc;
  const std::string& path = args[0];

  std::unique_ptr<TRecording> rec = LoadForCli(program, path, err);
  if (!rec) return 1;
  out << "description: " << EscapeControl(rec->Description) << "\n"
      << "length_ms: " << rec->LengthMs.load() << "\n"
      << "model: " << static_cast<int>(rec->EcuModel.load()) << "\n"
      << "family: " << FamilyNameOf(rec->EcuFamily) << "\n"
      << "histories: " << rec->HistoryCount() << "\n";
  for (const TVarHist* h : *rec) out << "history\t" << h->SensorId << "\t" << h->Count() << "\n";
  return 0;
}

int CliExport(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err) {
  if (std::find(args.begin(), args.end(), "--csv") != args.end()) return CliExportCsv(program, args, out, err);
  std::optional<std::string> path;
  std::vector<std::string> sensors;
  std::string outDir = ".";
  for (size_t i = 0; i < args.size(); ++i) {
    bool missing = false;
    if (auto v = CliOptionValue(args, i, "--sensor", missing)) {
      sensors.push_back(*v);
    } else if (auto d = CliOptionValue(args, i, "--out", missing)) {
      if (d->empty()) return CliUsageError(err, "'--out' needs a folder");
      outDir = *d;
    } else if (int rc = CliFileArgument(args, i, missing, "export", path, err)) {
      return rc;
    }
  }
  if (!path) return CliUsageError(err, "'export' needs a recording file");
  if (sensors.empty()) return CliUsageError(err, "'export' needs at least one --sensor ID|NAME");

  std::vector<TDisplayVar*> vars;
  for (const std::string& s : sensors) {
    TDisplayVar* v = FindSensor(program.Sensors, s);
    if (!v) return CliUsageError(err, UnknownSensorText(program.Sensors, s));
    // The same sensor named twice (by id and by name, say) is written once.
    if (std::find(vars.begin(), vars.end(), v) == vars.end()) vars.push_back(v);
  }
  std::unique_ptr<TRecording> rec = LoadForCli(program, *path, err);
  if (!rec) return 1;

  if (outDir.size() > 1 && outDir.back() == '/') outDir.pop_back();
  std::vector<std::string> written;
  bool ok = ExportRecording(
      *rec, vars,
      [&](TDisplayVar&, const std::string& proposed) -> std::optional<std::string> {
        written.push_back(outDir + (outDir == "/" ? "" : "/") + proposed + ".tdf");
        return written.back();
      },
      [&](const std::string& message) { err << message << "\n"; });
  if (!ok) written.pop_back();
  for (const std::string& w : written) out << w << "\n";
  return ok ? 0 : 1;
}

int CliRecover(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err) {
  std::optional<std::string> journal;
  std::string outFile;
  bool list = false;
  for (size_t i = 0; i < args.size(); ++i) {
    bool missing = false;
    if (auto o = CliOptionValue(args, i, "--out", missing)) {
      if (o->empty()) return CliUsageError(err, "'--out' needs a file name");
      outFile = *o;
    } else if (missing) {
      return CliUsageError(err, "'" + args[i] + "' needs a value");
    } else if (args[i] == "--list") {
      list = true;
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return CliUsageError(err, "'recover' does not know '" + args[i] + "'");
    } else if (journal) {
      return CliUsageError(err, "'recover' takes one journal (got '" + args[i] + "')");
    } else {
      journal = args[i];
    }
  }
  const std::string folder = JournalFolder();
  if (list) {
    if (journal || !outFile.empty()) return CliUsageError(err, "'recover --list' takes nothing else");
    std::vector<TJournalInfo> journals = ListJournals(folder);
    for (const TJournalInfo& j : journals)
      out << j.Path << "\t" << j.Stamp.Text() << "\t" << FormatMilliseconds(j.LengthMs) << "\t" << j.Samples
          << "\t" << EscapeControl(j.Description) << "\t" << (j.InUse ? "in use" : "unsaved") << "\n";
    if (journals.empty()) err << "No journals in " << folder << "\n";
    return 0;
  }
  if (outFile.empty()) return CliUsageError(err, "'recover' needs --out FILE.rec (or --list)");
  std::string why;
  if (!CheckSaveTarget(outFile, &why)) {
    err << "revscope-cli: cannot write " << why << "\n";
    return 1;
  }

  std::string path;
  if (journal) {
    path = *journal;
    // A bare name is looked for in the journal folder too, as --list shows them.
    struct stat st {};
    if (path.find('/') == std::string::npos && ::stat(path.c_str(), &st) != 0) path = folder + "/" + path;
  } else {
    for (const TJournalInfo& j : ListJournals(folder, TJournalScan::Quick))
      if (!j.InUse) {
        path = j.Path;
        break;
      }
    if (path.empty()) {
      err << "revscope-cli: no unsaved recording to recover in " << folder << "\n";
      return 1;
    }
  }

  // Held from now on, so no other program takes it over or deletes it while it is read and saved.
  TFileLock held;
  if (!TakeJournal(path, held, &why)) {
    err << "revscope-cli: cannot recover " << why << "\n";
    return 1;
  }
  // Saving over the journal (or a link to it) and then deleting it would leave nothing.
  struct stat target {}, source {};
  if (::stat(outFile.c_str(), &target) == 0 && ::fstat(held.Fd(), &source) == 0 && target.st_dev == source.st_dev &&
      target.st_ino == source.st_ino) {
    err << "revscope-cli: cannot write '" << outFile << "': it is the journal being recovered\n";
    return 1;
  }
  auto rec = std::make_unique<TRecording>(*program.Sensors.RawVars);
  TJournalReport report;
  if (!RecoverJournal(held, *rec, &why, &report)) {
    err << "revscope-cli: cannot recover " << why << "\n";
    return 1;
  }
  if (!report.Whole() && report.Chunks == 0) {
    err << "revscope-cli: nothing could be recovered from " << path << ": " << report.Text()
        << "; the journal is kept\n";
    return 1;
  }
  if (!rec->SaveToFile(outFile, &why)) {
    err << "revscope-cli: Could not save recording '" << outFile << "' - " << why << "\n";
    return 1;
  }
  // Saved: nothing is left to recover, unless part of the journal could not be read.
  if (report.Whole()) held.Remove();
  err << "Saved " << outFile << " (" << FormatMilliseconds(rec->LengthMs) << ", '" << EscapeControl(rec->Description)
      << "') from " << path << std::endl;
  if (!report.Whole())
    err << "revscope-cli: " << path << " is damaged: " << report.Text()
        << "; what was read is saved, and the journal is kept" << std::endl;
  return 0;
}
