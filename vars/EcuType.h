#pragma once
// Which ECU the program talks to (the link's): model byte, family, 3-bar MAP sensor and road-speed
// constant. A recording keeps the model byte and family of its own ECU (THistorySet).
#include <cstdint>

#include "base/Relaxed.h"

enum : uint8_t { FAMILY_UNKNOWN = 0, FAMILY_OBD0 = 1, FAMILY_OBD1 = 2, FAMILY_ANY = 3 };

// The family a model byte names: 2 and 3 OBD1, 4 any ECU, every other value OBD0.
uint8_t FamilyOfModel(uint8_t model);
// The road-speed constant of a family (0 for any ECU: the raw value is km/h x 100; 1 while unknown).
double SpeedConstantOf(uint8_t family);
// "OBD0", "OBD1", "Any", or "Unknown".
const char* FamilyNameOf(uint8_t family);

struct TECUType {
  Relaxed<uint8_t> Model{0};
  Relaxed<uint8_t> Family{FAMILY_UNKNOWN};
  Relaxed<uint8_t> MapIs3Bar{0};
  Relaxed<double> SpeedConstant{1.0};

  void SetModel(uint8_t m);
  void SetFamily(uint8_t f);
  const char* FamilyName() const;
  void SetMapIs3Bar(uint8_t b) { MapIs3Bar = b; }
};
