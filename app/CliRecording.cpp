// revscope-cli info and export.
#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <ostream>

#include "app/Cli.h"
#include "app/Globals.h"
#include "recording/Fileops.h"

namespace {

// Loads the recording the way the program does; every message goes to err, and a failure that
// reported nothing says "Could not load recording", so a failure is never silent.
std::unique_ptr<TRecording> LoadForCli(const std::string& path, std::ostream& err) {
  auto rec = std::make_unique<TRecording>(*SensorList->RawVars);
  int messages = 0;
  bool ok = rec->LoadFromFile(path, [&](const std::string& message) {
    err << message << "\n";
    ++messages;
  });
  if (ok) return rec;
  if (messages == 0) err << "Could not load recording\n";
  return nullptr;
}

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// A display variable by id or by name (names without regard to case).
TDisplayVar* FindSensor(const std::string& spec) {
  if (AllDigits(spec)) {
    if (spec.size() > 10) return nullptr;
    unsigned long long id = std::stoull(spec);
    return id <= 0xFFFFFFFFull ? SensorList->FindDisplay(static_cast<uint32_t>(id)) : nullptr;
  }
  return SensorList->FindDisplayByName(spec);
}

// "--name VALUE" or "--name=VALUE" at args[i]; advances i past the value.
std::optional<std::string> OptionValue(const TArgs& args, size_t& i, const std::string& name, bool& missing) {
  const std::string& a = args[i];
  if (a == name) {
    if (i + 1 >= args.size()) {
      missing = true;
      return std::nullopt;
    }
    return args[++i];
  }
  if (a.compare(0, name.size() + 1, name + "=") == 0) return a.substr(name.size() + 1);
  return std::nullopt;
}

}  // namespace

int CliInfo(const TArgs& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return CliUsageError(err, "'info' needs a recording file");
  if (args[0].size() > 1 && args[0][0] == '-') return CliUsageError(err, "unknown option '" + args[0] + "'");
  if (args.size() > 1) return CliUsageError(err, "'info' takes one recording file (got '" + args[1] + "')");
  const std::string& path = args[0];

  TCliSession session;
  std::unique_ptr<TRecording> rec = LoadForCli(path, err);
  if (!rec) return 1;
  out << "description: " << rec->Description << "\n"
      << "length_ms: " << rec->LengthMs.load() << "\n"
      << "model: " << static_cast<int>(ECUType->Model.load()) << "\n"
      << "family: " << ECUType->FamilyName() << "\n"
      << "histories: " << rec->HistoryCount() << "\n";
  for (const TVarHist* h : *rec) out << "history\t" << h->SensorId << "\t" << h->Count() << "\n";
  return 0;
}

int CliExport(const TArgs& args, std::ostream& out, std::ostream& err) {
  std::optional<std::string> path;
  std::vector<std::string> sensors;
  std::string outDir = ".";
  for (size_t i = 0; i < args.size(); ++i) {
    bool missing = false;
    if (auto v = OptionValue(args, i, "--sensor", missing)) {
      sensors.push_back(*v);
    } else if (auto d = OptionValue(args, i, "--out", missing)) {
      if (d->empty()) return CliUsageError(err, "'--out' needs a folder");
      outDir = *d;
    } else if (missing) {
      return CliUsageError(err, "'" + args[i] + "' needs a value");
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return CliUsageError(err, "unknown option '" + args[i] + "'");
    } else if (path) {
      return CliUsageError(err, "'export' takes one recording file (got '" + args[i] + "')");
    } else {
      path = args[i];
    }
  }
  if (!path) return CliUsageError(err, "'export' needs a recording file");
  if (sensors.empty()) return CliUsageError(err, "'export' needs at least one --sensor ID|NAME");

  TCliSession session;
  std::vector<TDisplayVar*> vars;
  for (const std::string& s : sensors) {
    TDisplayVar* v = FindSensor(s);
    if (!v) return CliUsageError(err, "unknown sensor '" + s + "'");
    vars.push_back(v);
  }
  std::unique_ptr<TRecording> rec = LoadForCli(*path, err);
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
