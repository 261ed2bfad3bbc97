#include "rules/RecordingColumns.h"

#include "vars/Formatters.h"

const std::array<const char*, 6> RecordingColumnCaptions = {"Description", "Filename", "Saved", "Time", "Length", "Size"};
const std::array<int, 6> RecordingColumnWidths = {180, 180, 45, 110, 50, 50};

std::array<std::string, 6> RecordingColumnTexts(const TRecording& r) {
  return {std::string(r.Description), r.FileName, r.Modified ? "No" : "Yes", r.Stamp.Text(),
          RecordingLengthText(r.LengthMs), RecordingSizeText(r.MemorySize())};
}
