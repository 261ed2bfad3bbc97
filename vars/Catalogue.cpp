// The catalogue: every raw ECU variable and every display variable, in poll and display order.
#include "vars/Conversions.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

namespace {
struct RawDef {
  uint32_t id;
  const char* name;
  int32_t request;
  int32_t rate;
  uint8_t mode;
};
}  // namespace

void TSensorList::BuildVariables() {
  auto raw = [this](const RawDef& d) {
    auto* v = new TRawVar(RawVars, d.id, d.name, d.request, d.rate, d.mode);
    RawVars->Add(v);
    return v;
  };
  auto display = [this](TDisplayVar* v) {
    DisplayVars->Add(v);
    return v;
  };
  auto boolean = [this, &display](uint32_t id, int32_t src, const char* name, int bit, bool activeHigh) {
    return static_cast<TBooleanVar*>(display(new TBooleanVar(*this, id, src, name, bit, activeHigh)));
  };

  // Engine, speed, temperatures, pressures, fuel and oxygen sensors.
  RawRevs = raw({1, "Revs", 10, 20, 2});
  Revs = display(new TRevsVar(*this, 1008, 1, "Revs"));
  RawSpeed = raw({161, "Speed", 231, 20, 2});
  Speed = display(new TSpeedVar(*this, 1126, 161, "Speed"));
  Gear = display(new TGearVar(*this, 1035, 161, "Gear"));
  Acceleration = display(new TSpeedAccelVar(*this, 1113, 161, "Acceleration"));
  RawTW = raw({4, "TW", 3, 1, 0});
  WaterTemp = display(new TTempVar(*this, 1003, 4, "Water Temp"));
  RawTA = raw({5, "TA", 4, 1, 0});
  AirTemp = display(new TTempVar(*this, 1004, 5, "Air Temp"));
  RawMAP = raw({9, "MAP", 7, 20, 0});
  MAP = display(new TMAPVar(*this, 1007, 9, "MAP"));
  raw({165, "PA", 63, 1, 0});
  display(new TPAVar(*this, 1124, 165, "Air Pressure"));
  display(new TElevationVar(*this, 1125, 165, "Elevation"));
  RawTPS = raw({6, "TPS", 8, 20, 0});
  TPS = display(new TTPSVar(*this, 1002, 6, "TPS"));
  TPS->FillTrace = 1;
  RawInjDuration = raw({15, "Injector Duration", 17, 20, 2});
  InjDuration = display(new TInjDurationVar(*this, 1010, 15, "Injector Duration"));
  DutyCycle = display(new TDutyCycleVar(*this, 1011, 15, "Duty Cycle"));
  RawIgnAdvance = raw({16, "Ignition Advance", 18, 10, 0});
  IgnAdvance = display(new TIgnAdvanceVar(*this, 1012, 16, "Ignition Advance"));
  RawO2A = raw({2, "O2 Sensor A", 1, 10, 0});
  O2A = display(new TO2Var(*this, 1000, 2, "O2 Sensor A"));
  raw({3, "O2 Sensor B", 2, 10, 0});
  display(new TO2Var(*this, 1001, 3, "O2 Sensor B"));
  raw({112, "O2A Short Term", 36, 10, 2});
  display(new TCloseLoopVar(*this, 1056, 112, "O2A Short Term"));
  raw({113, "O2B Short Term", 37, 10, 2});
  display(new TCloseLoopVar(*this, 1057, 113, "O2B Short Term"));
  raw({110, "0x270", 34, 10, 2});
  display(new TCloseLoopVar(*this, 1054, 110, "O2A Long Term"));
  raw({111, "0x272", 35, 10, 2});
  display(new TCloseLoopVar(*this, 1055, 111, "O2B Long Term"));
  Lambda = display(new TLambdaVar(*this, 1131, 2, "Lambda"));

  // Switch inputs and outputs.
  RawInputs = raw({166, "Inputs", 229, 10, 0});
  RawOutputs = raw({167, "Outputs", 228, 10, 0});
  RawDigitalIn = raw({13, "Digital In", 13, 10, 0});
  RawP0 = raw({10000, "P0", 14, 10, 0});
  RawP1 = raw({10001, "P1", 15, 10, 0});
  VTECPressure = boolean(1015, 13, "VTEC Pressure", 1, true);
  ACSwitch = boolean(1018, 3, "A/C Switch", 7, false);
  Start = boolean(1021, 3, "Start", 7, false);
  raw({159, "Brake", 239, 10, 0});
  boolean(1014, 159, "Brakes", 0, true);
  FuelPump = boolean(1023, 10000, "Fuel Pump", 7, false);
  PurgeValve = boolean(1024, 3, "Purge Valve", 7, false);
  CheckLight = boolean(1022, 10000, "Check Light", 4, true);
  ACRelay = boolean(1019, 3, "A/C Relay", 7, false);
  VTECSpool = static_cast<TBitMaskVar*>(display(new TBitMaskVar(*this, 1016, 10001, "VTEC Spool", 0, true)));
  ErrorLED = boolean(1017, 3, "Error LED", 7, false);

  // Stored error codes.
  RawErrorCodes[0] = raw({40, "Error codes #1", 22, 1, 0});
  RawErrorCodes[1] = raw({41, "Error codes #2", 23, 1, 0});
  RawErrorCodes[2] = raw({42, "Error codes #3", 24, 1, 0});
  RawErrorCodes[3] = raw({53, "Error codes #4", 38, 1, 0});
  display(new TByteVar(*this, 1040, 40, "Error codes #1"));
  display(new TByteVar(*this, 1041, 41, "Error codes #2"));
  display(new TByteVar(*this, 1042, 42, "Error codes #3"));
  display(new TByteVar(*this, 1116, 53, "Error codes #4"));

  // Rev thresholds, flags, lap counter, idle control.
  raw({47, "Launch Revs", 26, 1, 2});
  display(new TRevsVar(*this, 1061, 47, "Launch Revs"));
  raw({48, "VTEC Revs", 27, 1, 0});
  display(new TPackedRevsVar(*this, 1062, 48, "VTEC Revs"));
  raw({49, "Shift Light", 28, 1, 0});
  display(new TPackedRevsVar(*this, 1063, 49, "Shift Light"));
  raw({50, "Shift Limiter", 29, 1, 0});
  display(new TPackedRevsVar(*this, 1064, 50, "Shift Limiter"));
  raw({51, "Rev Limiter RPM", 30, 1, 0});
  display(new TPackedRevsVar(*this, 1065, 51, "Rev Limiter RPM"));
  raw({46, "User Flags", 25, 10, 0});
  boolean(1060, 46, "Clutch", 2, true);
  raw({52, "Rev Limiter", 238, 10, 0});
  boolean(1066, 52, "Rev Limiter", 0, true);
  raw({158, "Lap", 238, 0, 0});
  display(new TLapVar(*this, 1112, 158, "Lap"));  // clears the lap marker's poll flags
  raw({12, "ALT", 5, 1, 0});
  display(new TALTVar(*this, 1005, 12, "ALT"));
  raw({11, "EACV", 6, 1, 0});
  display(new TEACVVar(*this, 1006, 11, "EACV"));
  raw({160, "Datalog Error", 0, 1, 0})->Supported = 0;
  boolean(1115, 160, "Datalog Error", 0, true)->FillTrace = 1;
  raw({100, "Target Idle", 39, 1, 2});
  display(new TRevsVar(*this, 1044, 100, "Target Idle"));
  raw({101, "IAC on", 40, 1, 2});
  raw({102, "IAC off", 41, 1, 2});
  display(new TIACDutyVar(*this, 1045, 101, "IAC duty"));
  display(new TIdleDiffVar(*this, 1047, 100, "Idle Difference"));

  // Traces drawn filled.
  FindDisplay(1014)->FillTrace = 1;
  FindDisplay(1060)->FillTrace = 1;

  // How a recording of each family is read: the raw Speed variable's id, and every flag as the
  // family wires it from here.
  RawSpeed->ObdId = 19;
  RawSpeed->AnyId = 161;
  for (TVar* v : *DisplayVars)
    if (auto* flag = dynamic_cast<TFlagVar*>(v))
      for (uint8_t family : {FAMILY_OBD0, FAMILY_OBD1, FAMILY_ANY})
        flag->ByFamily[family] = FlagWiring(*flag, family, flag->Wiring());
}

TFlagWiring TSensorList::FlagWiring(const TFlagVar& flag, uint8_t family, TFlagWiring w) const {
  const bool any = family == FAMILY_ANY;
  if (&flag == VTECPressure) {
    if (family == FAMILY_OBD1) {
      w.Source = RawDigitalIn;
      w.ActiveHigh = 0;
      w.Mask = 7;
    } else if (any) {
      w.Source = RawInputs;
      w.ActiveHigh = 1;
      w.Mask = 1;
    }
  } else if (&flag == VTECSpool) {
    w.Source = any ? RawOutputs : RawP1;
    w.ActiveHigh = 1;
    w.Mask = family == FAMILY_OBD1 ? 1 : 3;
  } else if (&flag == FuelPump) {
    // The numbers the family table gives, stored as they stand in the mask fields.
    w.Mask = family == FAMILY_OBD0 ? 2 : 7;
  } else if (&flag == CheckLight) {
    w.Mask = family == FAMILY_OBD0 ? 6 : 4;
  } else if (&flag == ACSwitch || &flag == Start || &flag == PurgeValve || &flag == ACRelay || &flag == ErrorLED) {
    w.Enabled = family == FAMILY_OBD0 ? 1 : 0;
  }
  return w;
}

// The wiring that differs between the ECU families, for the link.
void TSensorList::ApplyEcuType(uint8_t family) {
  if (family != FAMILY_OBD0 && family != FAMILY_OBD1 && family != FAMILY_ANY) return;
  const bool any = family == FAMILY_ANY;
  // The raw Speed variable stays the same object; its id and request code follow the family.
  RawSpeed->RequestCode = any ? 231 : 9;
  RawSpeed->Id = RawSpeed->IdIn(family);
  Speed->SetSource(RawSpeed);
  Gear->SetSource(RawSpeed);
  Acceleration->SetSource(RawSpeed);

  RawInputs->Supported = any ? 1 : 0;
  RawOutputs->Supported = any ? 1 : 0;
  RawP0->Supported = any ? 0 : 1;
  RawP1->Supported = any ? 0 : 1;
  RawDigitalIn->Supported = any ? 0 : 1;

  for (TVar* v : *DisplayVars)
    if (auto* flag = dynamic_cast<TFlagVar*>(v)) flag->Rewire(FlagWiring(*flag, family, flag->Wiring()));
}
