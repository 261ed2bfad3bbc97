#pragma once
// The Graph menu's commands that lay runs over each other: "Overlay Laps", the "Lap Axis"
// ("Time" / "Distance"), "Compare With...", "Align Reference at Cursor" and "Reset Alignment";
// their captions and when each is enabled and checked. Laps and a compared run are never shown at
// once: turning one on turns the other off.
#include <array>
#include <cstddef>
#include <cstdint>

enum class TOverlayCommand : uint8_t { OverlayLaps, LapAxisTime, LapAxisDistance, CompareWith, AlignReference, ResetAlignment, Count };
constexpr size_t OverlayCommandCount = static_cast<size_t>(TOverlayCommand::Count);

struct TOverlayCommandInfo {
  TOverlayCommand Command;
  const char* Name;  // the action's object name
  const char* Caption;
  const char* Hint;
  bool Checkable;
};
const std::array<TOverlayCommandInfo, OverlayCommandCount>& OverlayCommandTable();
constexpr const char* LapAxisMenuCaption = "Lap A&xis";

struct TOverlayInputs {
  bool HasRecording = false;
  bool HasLaps = false;       // the current recording has lap signals
  bool HasRoadSpeed = false;  // ... and road-speed samples
  bool Overlaying = false;
  bool DistanceAxis = false;  // the lap axis chosen (kept while laps are not shown)
  bool Comparing = false;
  bool Shifted = false;  // the compared run is shifted
};
struct TOverlayCommandState {
  bool Enabled = false;
  bool Checked = false;
};
std::array<TOverlayCommandState, OverlayCommandCount> OverlayCommandStates(const TOverlayInputs& in);
