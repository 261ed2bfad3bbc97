#include "rules/OverlayCommands.h"

const std::array<TOverlayCommandInfo, OverlayCommandCount>& OverlayCommandTable() {
  using C = TOverlayCommand;
  static const std::array<TOverlayCommandInfo, OverlayCommandCount> table{{
      {C::OverlayLaps, "actGraphOverlayLaps", "Overlay &Laps", "Lay the recording's laps over each other, the fastest as the reference", true},
      {C::LapAxisTime, "actGraphLapAxisTime", "&Time", "Laps against the time since each lap's start", true},
      {C::LapAxisDistance, "actGraphLapAxisDistance", "&Distance",
       "Laps against the distance since each lap's start, with the time gained or lost on the fastest lap", true},
      {C::CompareWith, "actGraphCompareWith", "Compare &With...", "Lay another recording under this one; again to remove it", true},
      {C::AlignReference, "actGraphAlignReference", "Align Reference at &Cursor",
       "Shift the compared recording so that its chosen point (Ctrl+click) meets the cursor", false},
      {C::ResetAlignment, "actGraphResetAlignment", "R&eset Alignment", "Align the compared recording at its start again", false},
  }};
  return table;
}

std::array<TOverlayCommandState, OverlayCommandCount> OverlayCommandStates(const TOverlayInputs& in) {
  std::array<TOverlayCommandState, OverlayCommandCount> s{};
  auto at = [&](TOverlayCommand c) -> TOverlayCommandState& { return s[static_cast<size_t>(c)]; };
  const bool laps = in.HasRecording && in.HasLaps;
  at(TOverlayCommand::OverlayLaps) = {laps, in.Overlaying && laps};
  const bool distance = laps && in.HasRoadSpeed && in.DistanceAxis;
  at(TOverlayCommand::LapAxisTime) = {laps, !distance};
  at(TOverlayCommand::LapAxisDistance) = {laps && in.HasRoadSpeed, distance};
  at(TOverlayCommand::CompareWith) = {in.HasRecording, in.Comparing};
  at(TOverlayCommand::AlignReference) = {in.Comparing, false};
  at(TOverlayCommand::ResetAlignment) = {in.Comparing && in.Shifted, false};
  return s;
}
