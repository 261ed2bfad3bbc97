#include "ecu/DatalogPreset.h"

#include <cctype>

#include "vars/SensorList.h"

namespace {

void SetSourcePoll(TSensorList& sensors, uint32_t displayId, uint8_t on) {
  if (TDisplayVar* d = sensors.FindDisplay(displayId))
    if (TRawVar* src = d->Source) src->PollEnabled = on;
}

}  // namespace

void ApplyDatalogPreset(TSensorList& sensors, TDatalogPreset preset) {
  const uint8_t all = preset == TDatalogPreset::All ? 1 : 0;
  for (int i = 0; i < sensors.DisplayVars->Count(); ++i)
    if (TRawVar* src = sensors.Display(i)->Source) src->PollEnabled = all;
  if (preset == TDatalogPreset::Performance) {
    for (uint32_t id : {1008u, 1126u}) SetSourcePoll(sensors, id, 1);
  } else if (preset == TDatalogPreset::Mixture) {
    for (uint32_t id : {1008u, 1007u, 1010u, 1011u, 1000u, 1001u, 1056u, 1057u}) SetSourcePoll(sensors, id, 1);
  }
  for (TRawVar* v : sensors.RawErrorCodes)
    if (v) v->PollEnabled = 1;
}

bool ParseDatalogPreset(const std::string& name, TDatalogPreset& preset) {
  std::string lower;
  for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "all") {
    preset = TDatalogPreset::All;
  } else if (lower == "performance") {
    preset = TDatalogPreset::Performance;
  } else if (lower == "mixture") {
    preset = TDatalogPreset::Mixture;
  } else {
    return false;
  }
  return true;
}
