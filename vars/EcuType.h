#pragma once
// Which ECU the program talks to: model byte, family, 3-bar MAP sensor and road-speed constant.
#include <cstdint>

#include "base/Relaxed.h"

enum : uint8_t { FAMILY_UNKNOWN = 0, FAMILY_OBD0 = 1, FAMILY_OBD1 = 2, FAMILY_ANY = 3 };

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
