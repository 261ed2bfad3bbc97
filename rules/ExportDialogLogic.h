#pragma once
// The Export command's rules: what the export dialog offers (one CSV file with its rows at a rate
// or at every sample and the ages, or one .tdf file per sensor, asked for one by one or all put
// into one folder), how the choice is kept, which controls it enables, the summary of what will be
// written, the question about files that are already there, and the status line afterwards.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TDisplayVar;
class TRecording;
struct TSettings;

enum class TExportFormat { Csv = 0, TdfFiles = 1 };

struct TExportChoices {
  TExportFormat Format = TExportFormat::Csv;
  double RateHz = 20;
  bool EverySample = false;
  bool Age = false;
  bool TdfIntoFolder = false;
  bool operator==(const TExportChoices&) const = default;
};

// Rows can come no closer than the histories' ticks of 10 microseconds.
constexpr double MaxExportRateHz = 100000;
// Whether rows at hz a second can be made: above 0, at most MaxExportRateHz.
bool RateAllowed(double hz);

// The choices as the settings keep them; a format or rate the dialog cannot show gives the default.
TExportChoices StoredExportChoices(const TSettings& settings);
void StoreExportChoices(TSettings& settings, const TExportChoices& choices);

// Which of the dialog's controls take input, and whether it can go ahead.
struct TExportControls {
  bool Rate = false;          // the rate box and its "rows a second" choice
  bool EverySample = false;
  bool Age = false;
  bool TdfTarget = false;     // "Ask for each file's name" and "All into one folder"
  bool Export = false;        // a rate above 0 at most MaxExportRateHz, or rows at every sample
};
TExportControls ExportControls(const TExportChoices& choices);

// The chosen sensors by name for the dialog's first line: all of them, or the first six and how
// many more.
std::string ExportSensorsText(const std::vector<TDisplayVar*>& sensors);
// The rows a CSV export of the recording's first `seconds` gives: at a rate exactly, at every
// sample no more than the chosen sensors' source histories hold samples.
int64_t ExportRowCount(const TExportChoices& choices, const TRecording& recording,
                       const std::vector<TDisplayVar*>& sensors);
// The line under the choices: "3 sensors, 12,001 rows of 1:00.000s into one CSV file" and the
// like.
std::string ExportSummary(const TExportChoices& choices, const TRecording& recording,
                          const std::vector<TDisplayVar*>& sensors);

// One .tdf file of an export into one folder: named "<Description>-<sensor name>.tdf" as the file
// dialogs propose, and whether a file of that name is there.
struct TTdfTarget {
  TDisplayVar* Var = nullptr;
  std::string Path;
  bool Exists = false;
};
std::vector<TTdfTarget> TdfTargets(const TRecording& recording, const std::vector<TDisplayVar*>& sensors,
                                   const std::string& folder);
// What to do with the files that are there: asked once for all of them.
enum class TExistingFiles { ReplaceAll, SkipExisting, Cancel };
std::string ExistingFilesQuestion(const std::vector<TTdfTarget>& targets, const std::string& folder);

// The status line after an export.
std::string CsvExportedText(const std::string& path, int64_t rows, size_t sensors);
std::string TdfExportedText(size_t written, size_t skipped, const std::string& where);
std::string ExportCancelledText(size_t filesWritten, const std::string& where);

// A count with its thousands set apart: 12,001.
std::string GroupedCount(int64_t n);
