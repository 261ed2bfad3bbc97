#include "vars/EcuType.h"


void TECUType::SetModel(uint8_t m) {
  Model = m;
  if (m == 2 || m == 3)
    SetFamily(FAMILY_OBD1);
  else if (m == 4)
    SetFamily(FAMILY_ANY);
  else
    SetFamily(FAMILY_OBD0);
}

void TECUType::SetFamily(uint8_t f) {
  if (f == FAMILY_OBD1) {
    Family = FAMILY_OBD1;
    SpeedConstant = 228500.0;
  } else if (f == FAMILY_ANY) {
    Family = FAMILY_ANY;
    SpeedConstant = 0.0;
  } else {
    Family = FAMILY_OBD0;
    SpeedConstant = 182800.0;
  }
}

const char* TECUType::FamilyName() const {
  switch (Family.load()) {
    case FAMILY_OBD0: return "OBD0";
    case FAMILY_OBD1: return "OBD1";
    case FAMILY_ANY: return "Any";
    default: return "Unknown";
  }
}
