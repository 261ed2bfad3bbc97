#include "rules/ExportDialogLogic.h"

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

#include "recording/FileOperations.h"
#include "vars/SensorList.h"
#include "vars/Settings.h"

bool RateAllowed(double hz) { return hz > 0 && hz <= MaxExportRateHz; }

namespace {
// "1 sensor", "3 sensors".
std::string Count(int64_t n, const char* one, const char* many) { return GroupedCount(n) + " " + (n == 1 ? one : many); }

// At most this many names of files that are there are listed in the question.
constexpr size_t kNamesListed = 8;
}  // namespace

TExportChoices StoredExportChoices(const TSettings& settings) {
  TExportChoices c;
  if (settings.ExportFormat == static_cast<int32_t>(TExportFormat::TdfFiles)) c.Format = TExportFormat::TdfFiles;
  if (RateAllowed(settings.ExportRateHz)) c.RateHz = settings.ExportRateHz;
  c.EverySample = settings.ExportEverySample;
  c.Age = settings.ExportAge;
  c.TdfIntoFolder = settings.ExportTdfIntoFolder;
  return c;
}

void StoreExportChoices(TSettings& settings, const TExportChoices& choices) {
  settings.ExportFormat = static_cast<int32_t>(choices.Format);
  settings.ExportRateHz = choices.RateHz;
  settings.ExportEverySample = choices.EverySample;
  settings.ExportAge = choices.Age;
  settings.ExportTdfIntoFolder = choices.TdfIntoFolder;
}

TExportControls ExportControls(const TExportChoices& choices) {
  TExportControls c;
  const bool csv = choices.Format == TExportFormat::Csv;
  c.EverySample = csv;
  c.Age = csv;
  c.Rate = csv && !choices.EverySample;
  c.TdfTarget = !csv;
  c.Export = !c.Rate || RateAllowed(choices.RateHz);
  return c;
}

std::string ExportSensorsText(const std::vector<TDisplayVar*>& sensors) {
  // Seven names fit; beyond that six and the number of the rest.
  const size_t named = sensors.size() <= 7 ? sensors.size() : 6;
  std::string text;
  for (size_t i = 0; i < named; ++i) {
    const bool last = i + 1 == sensors.size();
    text += (i == 0 ? "" : last ? " and " : ", ") + std::string(sensors[i]->Name);
  }
  if (named < sensors.size()) text += " and " + GroupedCount(static_cast<int64_t>(sensors.size() - named)) + " more";
  return text;
}

int64_t ExportRowCount(const TExportChoices& choices, const TRecording& recording,
                       const std::vector<TDisplayVar*>& sensors) {
  if (!choices.EverySample) {
    if (!RateAllowed(choices.RateHz)) return 0;
    return static_cast<int64_t>(std::floor(recording.LengthSeconds() * choices.RateHz + 1e-9)) + 1;
  }
  std::vector<const TVarHist*> histories;
  int64_t rows = 0;
  for (const TDisplayVar* var : sensors) {
    const TVarHist* h = var->HistoryIn(recording);
    if (!h || std::find(histories.begin(), histories.end(), h) != histories.end()) continue;
    histories.push_back(h);
    rows += h->Count();
  }
  return rows;
}

std::string ExportSummary(const TExportChoices& choices, const TRecording& recording,
                          const std::vector<TDisplayVar*>& sensors) {
  if (choices.Format == TExportFormat::TdfFiles)
    return "Writes " + Count(static_cast<int64_t>(sensors.size()), ".tdf file", ".tdf files") +
           (choices.TdfIntoFolder ? " into one folder." : ", asking for each file's name.");
  if (!ExportControls(choices).Export) return "Enter a rate above 0 and at most 100000 rows a second.";
  const int64_t rows = ExportRowCount(choices, recording, sensors);
  return "Writes " + Count(static_cast<int64_t>(sensors.size()), "sensor", "sensors") + " into one CSV file of " +
         (choices.EverySample ? "up to " : "") + Count(rows, "row", "rows") + ".";
}

std::vector<TTdfTarget> TdfTargets(const TRecording& recording, const std::vector<TDisplayVar*>& sensors,
                                   const std::string& folder) {
  std::vector<TTdfTarget> targets;
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  for (TDisplayVar* var : sensors) {
    TTdfTarget t;
    t.Var = var;
    t.Path = prefix + ExportFileName(recording, *var) + ".tdf";
    struct stat st {};
    t.Exists = ::lstat(t.Path.c_str(), &st) == 0;
    targets.push_back(t);
  }
  return targets;
}

std::string ExistingFilesQuestion(const std::vector<TTdfTarget>& targets, const std::string& folder) {
  std::string names;
  size_t there = 0;
  for (const TTdfTarget& t : targets) {
    if (!t.Exists) continue;
    if (++there <= kNamesListed) names += "\n" + t.Path.substr(t.Path.rfind('/') + 1);
  }
  if (there > kNamesListed) names += "\n... and " + GroupedCount(static_cast<int64_t>(there - kNamesListed)) + " more";
  const auto all = static_cast<int64_t>(targets.size());
  const std::string which = there == targets.size()
                                ? (all == 1 ? "The file is" : "All " + GroupedCount(all) + " files are")
                                : GroupedCount(static_cast<int64_t>(there)) + " of the " + GroupedCount(all) +
                                      (there == 1 ? " files is" : " files are");
  const char* them = there == 1 ? "it" : "them";
  return which + " already in " + folder + ":\n" + names + "\n\nReplace " + them + ", or skip " + them +
         " and write the others?";
}

std::string CsvExportedText(const std::string& path, int64_t rows, size_t sensors) {
  return "Exported " + Count(rows, "row", "rows") + " of " + Count(static_cast<int64_t>(sensors), "sensor", "sensors") +
         " to " + path;
}

std::string TdfExportedText(size_t written, size_t skipped, const std::string& where) {
  std::string text = "Exported " + Count(static_cast<int64_t>(written), ".tdf file", ".tdf files");
  if (!where.empty()) text += " to " + where;
  if (skipped > 0) text += "; " + GroupedCount(static_cast<int64_t>(skipped)) + " already there left as they were";
  return text;
}

std::string ExportCancelledText(size_t filesWritten, const std::string& where) {
  if (filesWritten == 0) return "Export cancelled; nothing was written";
  return "Export cancelled after writing " + Count(static_cast<int64_t>(filesWritten), ".tdf file", ".tdf files") +
         " to " + where;
}

std::string GroupedCount(int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  for (size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
  return (n < 0 ? "-" : "") + digits;
}
