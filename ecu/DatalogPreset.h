#pragma once
// The datalog presets: which raw variables are polled, chosen through the display variables that
// show them (display variables sharing a source switch together).
#include <string>

class TSensorList;

enum class TDatalogPreset { All, Performance, Mixture };

// All sensors; only Revs and Speed; or only the mixture sensors (Revs, MAP, injector duration and
// duty cycle, both O2 sensors and both short-term trims). The four error-code bytes are always
// polled.
void ApplyDatalogPreset(TSensorList& sensors, TDatalogPreset preset);
// "all", "performance" or "mixture" (any case); false for anything else.
bool ParseDatalogPreset(const std::string& name, TDatalogPreset& preset);
