#include "vars/EcuType.h"

uint8_t FamilyOfModel(uint8_t model) {
  if (model == 2 || model == 3) return FAMILY_OBD1;
  if (model == 4) return FAMILY_ANY;
  return FAMILY_OBD0;
}

double SpeedConstantOf(uint8_t family) {
  switch (family) {
    case FAMILY_OBD0: return 182800.0;
    case FAMILY_OBD1: return 228500.0;
    case FAMILY_ANY: return 0.0;
    default: return 1.0;
  }
}

const char* FamilyNameOf(uint8_t family) {
  switch (family) {
    case FAMILY_OBD0: return "OBD0";
    case FAMILY_OBD1: return "OBD1";
    case FAMILY_ANY: return "Any";
    default: return "Unknown";
  }
}

void TECUType::SetModel(uint8_t m) {
  Model = m;
  SetFamily(FamilyOfModel(m));
}

void TECUType::SetFamily(uint8_t f) {
  // Anything unknown is OBD0.
  Family = f == FAMILY_OBD1 || f == FAMILY_ANY ? f : uint8_t{FAMILY_OBD0};
  SpeedConstant = SpeedConstantOf(Family);
}

const char* TECUType::FamilyName() const { return FamilyNameOf(Family); }
