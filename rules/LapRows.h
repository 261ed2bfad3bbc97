#pragma once
// Lap times of the current recording: every sample of the raw variable "Lap" marks the end of a
// lap, so lap 1 runs from the start of the recording to the first signal and lap k from signal
// k - 1 to signal k. The Laps page shows these rows.
#include <array>
#include <string>
#include <vector>

class TSensorList;

struct TLapRow {
  int Lap;          // 1-based
  double Seconds;   // lap time
  std::string LapText;   // the "Lap" column
  std::string TimeText;  // the "Time" column
};

extern const std::array<const char*, 2> LapColumnCaptions;  // "Lap", "Time"
extern const std::array<int, 2> LapColumnWidths;

// A lap time as a general number with up to 15 significant digits, e.g. 62.34521.
std::string FormatLapTime(double seconds);
// The rows for lap signals at these times (seconds from the start of the recording).
std::vector<TLapRow> LapRowsFromTimes(const std::vector<double>& signalTimes);
// The rows of the current recording, through the display variable "Lap" (id 1112); none without
// a current recording.
std::vector<TLapRow> LapRows(const TSensorList& sensors);
