#include "vars/Tecutype.h"

#include "vars/Conversions.h"
#include "vars/Varcustom.h"

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

void TSensorList::ApplyEcuType(uint8_t family) {
  if (family != FAMILY_OBD0 && family != FAMILY_OBD1 && family != FAMILY_ANY) return;
  const bool any = family == FAMILY_ANY;
  // The raw Speed variable stays the same object; its id and request code follow the family.
  RawSpeed->RequestCode = any ? 231 : 9;
  RawSpeed->Id = any ? 161u : 19u;
  Speed->SetSource(RawSpeed);
  Gear->SetSource(RawSpeed);
  Acceleration->SetSource(RawSpeed);

  RawInputs->Supported = any ? 1 : 0;
  RawOutputs->Supported = any ? 1 : 0;
  RawP0->Supported = any ? 0 : 1;
  RawP1->Supported = any ? 0 : 1;
  RawDigitalIn->Supported = any ? 0 : 1;

  if (family == FAMILY_OBD1) {
    VTECPressure->SetSource(RawDigitalIn);
    VTECPressure->ActiveHigh = 0;
  } else if (any) {
    VTECPressure->SetSource(RawInputs);
    VTECPressure->ActiveHigh = 1;
  }
  VTECSpool->SetSource(any ? RawOutputs : RawP1);
  VTECSpool->ActiveHigh = 1;

  uint8_t enabled = family == FAMILY_OBD0 ? 1 : 0;
  for (TBooleanVar* v : {ACSwitch, Start, PurgeValve, ACRelay, ErrorLED}) v->Enabled = enabled;

  // The numbers the family table gives, stored as they stand in the mask fields.
  switch (family) {
    case FAMILY_OBD0:
      FuelPump->Mask = 2;
      CheckLight->Mask = 6;
      VTECSpool->Mask = 3;
      break;
    case FAMILY_OBD1:
      FuelPump->Mask = 7;
      CheckLight->Mask = 4;
      VTECPressure->Mask = 7;
      VTECSpool->Mask = 1;
      break;
    default:
      FuelPump->Mask = 7;
      CheckLight->Mask = 4;
      VTECPressure->Mask = 1;
      VTECSpool->Mask = 3;
      break;
  }
}
