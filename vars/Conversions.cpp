#include "vars/Conversions.h"

#include <cmath>

#include "history/History.h"
#include "vars/EcuType.h"

namespace {
uint8_t Low(int32_t raw) { return static_cast<uint8_t>(raw & 0xFF); }
uint16_t Word(int32_t raw) { return static_cast<uint16_t>(raw & 0xFFFF); }
int32_t Trunc(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return 0;
  return static_cast<int32_t>(v);
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Conversion functions

double ByteToVolts(uint8_t b) { return b * 5 * 0.00390625; }
int32_t VoltsToByte(double v) { return Trunc(v * 256 * 0.2 + 0.5); }
int32_t PeriodToRpm(uint16_t p) { return p == 0 ? 0 : 1875000 / p; }
uint16_t RpmToPeriod(int32_t r) { return r == 0 ? 0xFFFF : static_cast<uint16_t>(1875000 / r); }
int32_t PackedByteToRpm(uint8_t b) { return PeriodToRpm(static_cast<uint16_t>(b * 2 + 187)); }
int32_t RpmToPackedByte(int32_t r) { return (RpmToPeriod(r) - 187) / 2; }
double MapVoltsToBar(double v, bool map3Bar) { return map3Bar ? v * 0.58 + 0.0645 : v * 0.367 - 0.045; }
double MapBarToVolts(double bar, bool map3Bar) { return map3Bar ? bar * 1.7208 - 0.1084 : bar * 2.7248 + 0.1226; }
double BarToInHgVacuum(double bar) { return 29.92 - bar * 0.98692326671601285 * 29.92; }
double InHgVacuumToAtm(double x) { return 1 - x * 0.033422459893048126; }
double BarToPsi(double x) { return x * 14.6953; }
double TempVoltsToCelsius(double v) { return 120 - 61.3 * v + 14.2 * v * v - 1.58 * v * v * v; }
double TempByteToCelsius(uint8_t b) { return TempVoltsToCelsius(ByteToVolts(b)); }
double CelsiusToTempVolts(double t) { return 4.05 - 0.044 * t - 0.00018 * t * t + 0.0000027 * t * t * t; }
int32_t CelsiusToTempByte(double t) { return Trunc(CelsiusToTempVolts(t) * 256 * 0.2); }
double CelsiusToFahrenheit(double t) { return t * 9 * 0.2 + 32; }
double FahrenheitToCelsius(double f) { return (f - 32) * 5 * 0.1111111111111111; }
double KmhToMph(double x) { return x * 0.62137273664980676; }
double MphToKmh(double x) { return x * 1.60934; }

double SpeedRawToKmh(uint16_t raw, double k) {
  if (raw == 0 || raw == 0xFFFF) return 0;
  return k != 0 ? k / raw : raw * 0.01;
}

int32_t KmhToSpeedRaw(double x, double k) {
  if (x == 0) return 0xFFFF;
  return k != 0 ? Trunc(k / x) : Trunc(x * 100);
}

double InjRawToMs(uint16_t raw) { return raw * 0.0000040506329113924051 * 1000; }
double InjMsToRaw(double ms) { return ms * 0.001 * 246875; }
double IgnRawToDegrees(uint16_t raw) { return raw * 0.25; }
int32_t IgnDegreesToRaw(double d) { return Trunc(d * 4); }
double LambdaToAfr(double l) { return l * 14.7; }
double AfrToLambda(double a) { return a * 0.068027210884353745; }
int32_t Percent(double x, double lo, double hi) { return hi == lo ? 0 : Trunc((x - lo) * 100 / (hi - lo)); }
double ToFixedDigits(double x, int digits) {
  double scale = std::pow(10.0, digits);
  return std::trunc(x * scale + 0.5) / scale;
}
double InchesToMetres(double x) { return x * 0.0254; }

// ---------------------------------------------------------------------------------------------
// Engine speed

TRevsVar::TRevsVar(TSensorList& s, uint32_t id, int32_t src, const char* name) : TDisplayVar(s, id, src, name) {
  Unit = UNIT_RPM;
  AutoRange = 1;
  RangeFloor = 0;
  RangeCeiling = 12000;
}
double TRevsVar::Convert(uint8_t, int32_t raw) { return Word(raw) == 0xFFFF ? 0 : PeriodToRpm(Word(raw)); }
int32_t TRevsVar::ToRaw(uint8_t, double value) { return RpmToPeriod(Trunc(value)); }
void TRevsVar::SetDefaultRange() { SetRange(0, 8500, 1000); }

TPackedRevsVar::TPackedRevsVar(TSensorList& s, uint32_t id, int32_t src, const char* name)
    : TDisplayVar(s, id, src, name) {
  Unit = UNIT_RPM_THRESHOLD;
}
double TPackedRevsVar::Convert(uint8_t, int32_t raw) { return PackedByteToRpm(Low(raw)); }
int32_t TPackedRevsVar::ToRaw(uint8_t, double value) { return RpmToPackedByte(Trunc(value)); }
void TPackedRevsVar::SetDefaultRange() { SetRange(0, 8500, 1000); }

// ---------------------------------------------------------------------------------------------
// Road speed, gear, acceleration

TSpeedVar::TSpeedVar(TSensorList& s, uint32_t id, int32_t src, const char* name) : TDisplayVar(s, id, src, name) {
  Unit = UNIT_SPEED;
  AutoRange = 1;
  RangeFloor = 0;
  RangeCeiling = 280;
}
double TSpeedVar::InUnit(int32_t raw, double speedConstant) const {
  double kmh = SpeedRawToKmh(Word(raw), speedConstant);
  return Cfg().SpeedUnit != 0 ? kmh : KmhToMph(kmh);
}
double TSpeedVar::Convert(uint8_t, int32_t raw) { return InUnit(raw, SpeedK(LatestReading())); }
double TSpeedVar::ConvertRecorded(uint8_t, int32_t raw) { return InUnit(raw, SpeedK(RecordedReading())); }
int32_t TSpeedVar::ToRaw(uint8_t, double value) {
  return KmhToSpeedRaw(Cfg().SpeedUnit != 0 ? value : MphToKmh(value), SpeedK(LatestReading()));
}
void TSpeedVar::SetDefaultRange() { SetRange(0, 100, 25); }

TGearVar::TGearVar(TSensorList& s, uint32_t id, int32_t src, const char* name)
    : TDisplayVar(s, id, src, name), RevsVar(s.FindDisplay(1008)) {
  Unit = UNIT_INTEGER;
}
double TGearVar::Convert(uint8_t, int32_t) { return 0; }
int32_t TGearVar::ToRaw(uint8_t, double) { return 0; }

void TGearVar::SetDefaultRange() {
  SetRange(0, 5.5, 1);
  const TSettings& c = Cfg();
  double r[6];
  for (int g = 1; g <= 5; ++g) r[g] = c.GearRatios[g - 1];
  Upper[1] = r[1] * 1.2;
  for (int g = 2; g <= 5; ++g) Upper[g] = (r[g - 1] + r[g]) / 2;
  for (int g = 1; g <= 4; ++g) Lower[g] = (r[g] + r[g + 1]) / 2;
  Lower[5] = r[5] * 0.8;
  liveGear_ = 0;
}

int TGearVar::BandOf(double kmh, double rpm) const {
  const TSettings& c = Cfg();
  double w = kmh * 0.27777777777777778 * 60 / c.TyreRollingCircumference * c.GearRatios[5];
  if (w == 0) return -1;
  double q = rpm / w;
  for (int g = 1; g <= 5; ++g)
    if (Lower[g] < q && q < Upper[g]) return g;
  return 0;
}

double TGearVar::GetValue(uint8_t) {
  double rpm = RevsVar ? RevsVar->GetValue(UNIT_RPM) : 0;
  return Shown(BandOf(SpeedRawToKmh(SourceRaw(), SpeedK(LatestReading())), rpm), liveGear_);
}

int TGearVar::BandAt(const TVarHist& h, int32_t i, double speedK) {
  const double rpm = RevsVar ? RevsVar->GetValueAt(UNIT_RPM, h.TimeOf(i)) : 0;
  return BandOf(SpeedRawToKmh(h.RawOf(i), speedK), rpm);
}

int32_t TGearVar::HeldBefore(const TVarHist& h, int32_t i, double speedK) {
  for (int32_t j = i - 1; j >= 0; --j)
    if (const int band = BandAt(h, j, speedK); band > 0) return band;
  return 0;
}

double TGearVar::GetValueAt(uint8_t unit, double t) {
  TRawVar* src = Source;
  TVarHist* h = src ? src->History() : nullptr;
  if (!h || h->Count() == 0) return 0;
  return GetValueAtIndex(unit, std::max(h->IndexAtSeconds(t), 0));
}

double TGearVar::GetValueAtIndex(uint8_t unit, int32_t i) {
  TReadState fresh;
  return GetValueAtIndex(unit, i, fresh);
}

double TGearVar::GetValueAtIndex(uint8_t, int32_t i, TReadState& state) {
  TRawVar* src = Source;
  TVarHist* h = src ? src->History() : nullptr;
  if (!h) return 0;
  const double speedK = SpeedK(RecordedReading());
  return ShownAt(*h, i, speedK, BandAt(*h, i, speedK), state);
}

double TGearVar::ShownAt(const TVarHist& h, int32_t i, double speedK, int band, TReadState& state) {
  int32_t held = i == state.Last + 1 || i == state.Last ? state.Held : HeldBefore(h, i, speedK);
  const double gear = Shown(band, held);
  state = {i, held};
  return gear;
}

namespace {
double AccelBetween(double va, double ta, double vb, double tb) {
  double dt = tb - ta;
  if (dt == 0) return 0;
  return (vb - va) / dt * 0.27777777777777778 * 0.10200750775257059;
}
}  // namespace

TSpeedAccelVar::TSpeedAccelVar(TSensorList& s, uint32_t id, int32_t src, const char* name)
    : TDisplayVar(s, id, src, name) {
  Unit = UNIT_G;
}

double TSpeedAccelVar::Convert(uint8_t, int32_t) {
  if (!Owner->Context->Recording.load(std::memory_order_acquire)) return 0;
  TRawVar* src = Source;
  hist_ = src ? src->History() : nullptr;
  if (!hist_) return 0;
  int32_t k = hist_->LastIndex();
  int32_t count = hist_->Count();
  if (k < 0 || k >= count - 2) return 0;
  const double speedK = SpeedK(RecordedReading());
  return AccelBetween(SpeedRawToKmh(src->RawValue, speedK), hist_->TimeOf(k), SpeedRawToKmh(hist_->RawOf(k + 2), speedK),
                      hist_->TimeOf(k + 2));
}

double TSpeedAccelVar::GetValueAtIndex(uint8_t, int32_t i) {
  TRawVar* src = Source;
  hist_ = src ? src->History() : nullptr;
  return hist_ ? ValueOf(*hist_, i, SpeedK(RecordedReading())) : 0;
}

double TSpeedAccelVar::ValueOf(const TVarHist& h, int32_t i, double speedK) {
  if (i >= h.Count() - 2 || i < 0) return 0;
  return AccelBetween(SpeedRawToKmh(h.RawOf(i), speedK), h.TimeOf(i), SpeedRawToKmh(h.RawOf(i + 2), speedK), h.TimeOf(i + 2));
}

// The acceleration at the sample in force at t.
double TSpeedAccelVar::GetValueAt(uint8_t unit, double t) {
  TRawVar* src = Source;
  TVarHist* h = src ? src->History() : nullptr;
  if (!h) return 0;
  return GetValueAtIndex(unit, h->IndexAtSeconds(t));
}

int32_t TSpeedAccelVar::ToRaw(uint8_t, double) { return 0; }
void TSpeedAccelVar::SetDefaultRange() { SetRange(-1, 1, 0.25); }

// ---------------------------------------------------------------------------------------------
// Temperatures and pressures

TTempVar::TTempVar(TSensorList& s, uint32_t id, int32_t src, const char* name) : TDisplayVar(s, id, src, name) {
  Unit = UNIT_TEMPERATURE;
  AutoRange = 1;
  RangeFloor = 0;
  RangeCeiling = 250;
}
double TTempVar::Convert(uint8_t unit, int32_t raw) {
  if (unit == UNIT_VOLTS) return ByteToVolts(Low(raw));
  if (unit != UNIT_TEMPERATURE) return 0;
  double c = TempByteToCelsius(Low(raw));
  return Cfg().TemperatureUnit != 0 ? c : CelsiusToFahrenheit(c);
}
int32_t TTempVar::ToRaw(uint8_t unit, double value) {
  if (unit == UNIT_VOLTS) return VoltsToByte(value);
  if (unit != UNIT_TEMPERATURE) return 0;
  return CelsiusToTempByte(Cfg().TemperatureUnit != 0 ? value : FahrenheitToCelsius(value));
}
void TTempVar::SetDefaultRange() { SetRange(50, 60, Cfg().TemperatureUnit != 0 ? 20 : 40); }

TMAPVar::TMAPVar(TSensorList& s, uint32_t id, int32_t src, const char* name) : TDisplayVar(s, id, src, name) {
  Unit = UNIT_BAR;
  AutoRange = 1;
  RangeFloor = 0;
  RangeCeiling = 3;
}
double TMAPVar::Convert(uint8_t unit, int32_t raw) {
  double v = ByteToVolts(Low(raw));
  switch (unit) {
    case UNIT_VOLTS: return v;
    case UNIT_BAR: return MapVoltsToBar(v, Map3Bar());
    case UNIT_MBAR: return MapVoltsToBar(v, Map3Bar()) * 1000;
    case UNIT_PERCENT: return MapVoltsToBar(v, Map3Bar()) * 100;
    case UNIT_INHG: return BarToInHgVacuum(MapVoltsToBar(v, Map3Bar()));
    default: return 0;
  }
}
int32_t TMAPVar::ToRaw(uint8_t unit, double value) {
  switch (unit) {
    case UNIT_VOLTS: return VoltsToByte(value);
    case UNIT_BAR: return VoltsToByte(MapBarToVolts(value, Map3Bar()));
    case UNIT_MBAR: return VoltsToByte(MapBarToVolts(value * 0.001, Map3Bar()));
    case UNIT_PERCENT: return VoltsToByte(MapBarToVolts(value * 0.01, Map3Bar()));
    case UNIT_INHG: return VoltsToByte(MapBarToVolts(InHgVacuumToAtm(value) * 1.01325, Map3Bar()));
    default: return 0;
  }
}
void TMAPVar::SetDefaultRange() { SetRange(0, 1, 0.25); }

TPAVar::TPAVar(TSensorList& s, uint32_t id, int32_t src, const char* name) : TMAPVar(s, id, src, name) {
  Unit = UNIT_MBAR;
  RangeFloor = 600;
  RangeCeiling = 1200;
}
void TPAVar::SetDefaultRange() { SetRange(0, 1, 0.25); }

TElevationVar::TElevationVar(TSensorList& s, uint32_t id, int32_t src, const char* name)
    : TDisplayVar(s, id, src, name) {
  Unit = UNIT_METRES;
  AutoRange = 1;
  RangeFloor = -1000;
  RangeCeiling = 20000;
}
double TElevationVar::Convert(uint8_t unit, int32_t raw) {
  if (unit != UNIT_METRES && unit != UNIT_FEET) return 0;
  double bar = MapVoltsToBar(ByteToVolts(Low(raw)), Map3Bar());
  double ratio = bar / (Cfg().BaroSeaLevelPressure * 0.001);
  if (!(ratio > 0)) return 0;
  double e = std::log(ratio) * -7000;
  return unit == UNIT_METRES ? e : e * 3.28;
}
int32_t TElevationVar::ToRaw(uint8_t, double) { return 0; }
void TElevationVar::SetDefaultRange() { SetRange(0, 200, 100); }

// ---------------------------------------------------------------------------------------------
// Throttle, fuel, ignition

TTPSVar::TTPSVar(TSensorList& s, uint32_t id, int32_t src, const char* name) : TDisplayVar(s, id, src, name) {
  Unit = UNIT_PERCENT;
  FillTrace = 1;
}
double TTPSVar::Convert(uint8_t unit, int32_t raw) {
  double v = ByteToVolts(Low(raw));
  if (unit == UNIT_VOLTS) return v;
  if (unit == UNIT_PERCENT) return (v - 0.45) * 100 * 0.25;
  return 0;
}
int32_t TTPSVar::ToRaw(uint8_t unit, double value) {
  if (unit == UNIT_VOLTS) return VoltsToByte(value);
  if (unit == UNIT_PERCENT) return VoltsToByte(value * 0.04 + 0.45);
  return 0;
}
void TTPSVar::SetDefaultRange() { SetRange(0, 100, 25); }

TInjDurationVar::TInjDurationVar(TSensorList& s, uint32_t id, int32_t src, const char* name)
    : TDisplayVar(s, id, src, name) {
  Unit = UNIT_MS;
  AutoRange = 1;
  RangeFloor = 0;
  RangeCeiling = 20;
}
double TInjDurationVar::Convert(uint8_t, int32_t raw) { return InjRawToMs(Word(raw)); }
int32_t TInjDurationVar::ToRaw(uint8_t, double value) { return Trunc(InjMsToRaw(value)); }
void TInjDurationVar::SetDefaultRange() { SetRange(1, 3, 1); }

TDutyCycleVar::TDutyCycleVar(TSensorList& s, uint32_t id, int32_t src, const char* name)
    : TDisplayVar(s, id, src, name), RevsVar(s.FindDisplay(1008)) {
  Unit = UNIT_PERCENT;
}
double TDutyCycleVar::Convert(uint8_t, int32_t) { return 0; }
double TDutyCycleVar::Duty(double ms, double rpm) {
  double cycle = rpm != 0 ? 120000 / rpm : 100;
  return cycle == 0 ? 0 : 100 * ms / cycle;
}
double TDutyCycleVar::GetValue(uint8_t) {
  return Duty(InjRawToMs(SourceRaw()), RevsVar ? RevsVar->GetValue(UNIT_RPM) : 0);
}
double TDutyCycleVar::GetValueAt(uint8_t, double t) {
  TRawVar* src = Source;
  return Duty(InjRawToMs(src ? src->RawAt(t) : 0), RevsVar ? RevsVar->GetValueAt(UNIT_RPM, t) : 0);
}
double TDutyCycleVar::GetValueAtIndex(uint8_t, int32_t i) {
  TRawVar* src = Source;
  return Duty(InjRawToMs(src->RawAtIndex(i)), RevsVar ? RevsVar->GetValueAt(UNIT_RPM, src->TimeAtIndex(i)) : 0);
}
int32_t TDutyCycleVar::ToRaw(uint8_t, double) { return 0; }
void TDutyCycleVar::SetDefaultRange() { SetRange(0, 100, 25); }

TIgnAdvanceVar::TIgnAdvanceVar(TSensorList& s, uint32_t id, int32_t src, const char* name)
    : TDisplayVar(s, id, src, name) {
  Unit = UNIT_DEGREES;
}
double TIgnAdvanceVar::Convert(uint8_t, int32_t raw) {
  return IgnRawToDegrees(Word(raw)) - 20 + Cfg().BaseIgnitionAdvance;
}
int32_t TIgnAdvanceVar::ToRaw(uint8_t, double value) {
  return IgnDegreesToRaw(value + 20 - Cfg().BaseIgnitionAdvance);
}
void TIgnAdvanceVar::SetDefaultRange() { SetRange(10, 50, 10); }

// ---------------------------------------------------------------------------------------------
// Sensor voltages, trims, lambda

TVoltsVar::TVoltsVar(TSensorList& s, uint32_t id, int32_t src, const char* name) : TDisplayVar(s, id, src, name) {
  Unit = UNIT_VOLTS;
}
double TVoltsVar::Convert(uint8_t, int32_t raw) { return ByteToVolts(Low(raw)); }
int32_t TVoltsVar::ToRaw(uint8_t, double value) { return VoltsToByte(value); }
void TO2Var::SetDefaultRange() { SetRange(0, 1.2, 0.2); }
void TALTVar::SetDefaultRange() { SetRange(0, 3, 0.5); }
void TEACVVar::SetDefaultRange() { SetRange(0, 3, 0.5); }

TCloseLoopVar::TCloseLoopVar(TSensorList& s, uint32_t id, int32_t src, const char* name)
    : TDisplayVar(s, id, src, name) {
  Unit = UNIT_TRIM;
  AutoRange = 1;
  RangeFloor = -50;
  RangeCeiling = 50;
}
double TCloseLoopVar::Convert(uint8_t, int32_t raw) { return (Word(raw) * 0.000030517578125 - 1) * 100; }
int32_t TCloseLoopVar::ToRaw(uint8_t, double value) { return Trunc((value * 0.01 + 1) * 32768); }
void TCloseLoopVar::SetDefaultRange() { SetRange(-10, 10, 5); }

TLambdaVar::TLambdaVar(TSensorList& s, uint32_t id, int32_t src, const char* name) : TDisplayVar(s, id, src, name) {
  Unit = Cfg().LambdaUnit != 0 ? UNIT_AFR : UNIT_LAMBDA;
}
double TLambdaVar::Convert(uint8_t unit, int32_t raw) {
  double l = Cfg().LambdaFromVolts(ByteToVolts(Low(raw)));
  return unit == UNIT_LAMBDA ? l : LambdaToAfr(l);
}
int32_t TLambdaVar::ToRaw(uint8_t, double) { return 0; }
void TLambdaVar::SetDefaultRange() {
  if (Unit == UNIT_LAMBDA)
    SetRange(0.6, 1.6, 0.2);
  else
    SetRange(10, 20, 1);
}

// ---------------------------------------------------------------------------------------------
// Switches, bytes, laps, idle

TFlagVar::TFlagVar(TSensorList& s, uint32_t id, int32_t src, const char* name, uint32_t mask, bool activeHigh)
    : TDisplayVar(s, id, src, name), Mask(mask), ActiveHigh(activeHigh ? 1 : 0) {
  Unit = UNIT_ONOFF;
  for (TFlagWiring& w : ByFamily) w = Wiring();
}
double TFlagVar::Convert(uint8_t, int32_t raw) { return Read(static_cast<uint32_t>(raw), Wiring(LatestReading())); }
double TFlagVar::ConvertRecorded(uint8_t, int32_t raw) {
  return Read(static_cast<uint32_t>(raw), Wiring(RecordedReading()));
}
double TFlagVar::GetValue(uint8_t) {
  const TFlagWiring w = Wiring(LatestReading());
  return Read(w.Source ? w.Source->RawValue.load() : 0u, w);
}
int32_t TFlagVar::ToRaw(uint8_t, double) { return 0; }
void TFlagVar::SetDefaultRange() { SetRange(0, 1.1, 1); }
void TFlagVar::Rewire(const TFlagWiring& w) {
  SetSource(w.Source);
  Mask = w.Mask;
  ActiveHigh = w.ActiveHigh;
  Enabled = w.Enabled;
}

double TBooleanVar::Read(uint32_t raw, const TFlagWiring& w) const {
  if (!w.Enabled) return 0;
  if (w.ActiveHigh) return (raw & w.Mask) == w.Mask ? 1 : 0;
  return (raw & w.Mask) != w.Mask ? 1 : 0;
}

double TBitMaskVar::Read(uint32_t raw, const TFlagWiring& w) const {
  if (w.ActiveHigh) return (raw & w.Mask) == w.Mask ? 1 : 0;
  return (raw & w.Mask) == 0 ? 1 : 0;
}

TByteVar::TByteVar(TSensorList& s, uint32_t id, int32_t src, const char* name) : TDisplayVar(s, id, src, name) {
  Unit = UNIT_HEX8;
}
double TByteVar::Convert(uint8_t, int32_t raw) { return static_cast<uint32_t>(raw); }
int32_t TByteVar::ToRaw(uint8_t, double value) { return Trunc(value); }
void TByteVar::SetDefaultRange() { SetRange(0, 255, 32); }

TLapVar::TLapVar(TSensorList& s, uint32_t id, int32_t src, const char* name) : TDisplayVar(s, id, src, name) {
  Unit = UNIT_INTEGER;
  AutoRange = 1;
  if (TRawVar* raw = Source) {
    raw->PollEnabled = 0;
    raw->Supported = 0;
  }
}
double TLapVar::Convert(uint8_t, int32_t raw) { return static_cast<uint32_t>(raw); }
int32_t TLapVar::ToRaw(uint8_t, double value) { return Trunc(value); }
void TLapVar::SetDefaultRange() { SetRange(0, 10, 1); }

TIACDutyVar::TIACDutyVar(TSensorList& s, uint32_t id, int32_t src, const char* name)
    : TDisplayVar(s, id, src, name) {
  Unit = UNIT_PERCENT;
}
double TIACDutyVar::Convert(uint8_t, int32_t raw) { return Word(raw) * 100 * 0.000390625; }
int32_t TIACDutyVar::ToRaw(uint8_t, double value) { return Trunc(value * 25.6); }
void TIACDutyVar::SetDefaultRange() { SetRange(0, 100, 25); }

TIdleDiffVar::TIdleDiffVar(TSensorList& s, uint32_t id, int32_t src, const char* name)
    : TDisplayVar(s, id, src, name), RevsVar(s.FindDisplay(1008)) {
  Unit = UNIT_RPM;
  RangeFloor = 0;
  RangeCeiling = 12000;
}
double TIdleDiffVar::Convert(uint8_t, int32_t raw) { return Word(raw) == 0xFFFF ? 0 : PeriodToRpm(Word(raw)); }
double TIdleDiffVar::GetValue(uint8_t) {
  return (RevsVar ? RevsVar->GetValue(UNIT_RPM) : 0) - PeriodToRpm(SourceRaw());
}
double TIdleDiffVar::GetValueAt(uint8_t, double t) {
  TRawVar* src = Source;
  return (RevsVar ? RevsVar->GetValueAt(UNIT_RPM, t) : 0) - PeriodToRpm(src ? src->RawAt(t) : 0);
}
double TIdleDiffVar::GetValueAtIndex(uint8_t, int32_t i) {
  TRawVar* src = Source;
  return (RevsVar ? RevsVar->GetValueAt(UNIT_RPM, src->TimeAtIndex(i)) : 0) - PeriodToRpm(src->RawAtIndex(i));
}
int32_t TIdleDiffVar::ToRaw(uint8_t, double) { return 0; }
void TIdleDiffVar::SetDefaultRange() { SetRange(-300, 300, 100); }

// ---------------------------------------------------------------------------------------------
// Values in index order

TValuesInOrder::TValuesInOrder(TDisplayVar& var)
    : var_(var),
      gear_(dynamic_cast<TGearVar*>(&var)),
      duty_(dynamic_cast<TDutyCycleVar*>(&var)),
      idle_(dynamic_cast<TIdleDiffVar*>(&var)),
      accel_(dynamic_cast<TSpeedAccelVar*>(&var)) {}

void TValuesInOrder::Start() {
  started_ = true;
  if (!gear_ && !duty_ && !idle_ && !accel_) return;
  // The histories as GetValueAtIndex finds them: its source's in the current recording, and the
  // one the revs variable's GetValueAt reads (the revs sensors convert the sample in force alone).
  TRawVar* source = var_.Source;
  source_ = source ? source->History() : nullptr;
  speedK_ = var_.RecordedSpeedK();
  revs_ = gear_ ? gear_->RevsVar : duty_ ? duty_->RevsVar : idle_ ? idle_->RevsVar : nullptr;
  if (revs_ && revs_->ValueFollowsRaw()) {
    TRawVar* revsSource = revs_->RecordedSource();
    revsHistory_ = revsSource ? revsSource->History() : nullptr;
    revsCursor_ = THistoryCursor(revsHistory_);
  }
}

double TValuesInOrder::At(int32_t i) {
  if (!started_) Start();
  if (!source_) return var_.GetValueAtIndex(var_.Unit, i, state_);
  if (accel_) return TSpeedAccelVar::ValueOf(*source_, i, speedK_);
  const uint16_t raw = source_->RawOf(i);
  const double rpm = revs_ ? RpmAt(source_->TicksOf(i)) : 0;
  if (duty_) return TDutyCycleVar::Duty(InjRawToMs(raw), rpm);
  if (idle_) return rpm - PeriodToRpm(raw);
  return gear_->ShownAt(*source_, i, speedK_, gear_->BandOf(SpeedRawToKmh(raw, speedK_), rpm), state_);
}

double TValuesInOrder::RpmAt(TTicks t) {
  if (!revsHistory_) return revs_->GetValueAt(UNIT_RPM, SecondsOfTicks(t));
  // The sample TVarHist::IndexAt finds for t: the first when every one is later.
  revsCursor_.Refresh();
  if (revsCursor_.Count() == 0) return revs_->ConvertRecorded(UNIT_RPM, 0);
  if (revsCursor_.HoldAt(t) < 0) revsCursor_.MoveTo(0);
  const uint16_t raw = revsCursor_.Raw();
  if (raw != rpmRaw_ || !rpmKnown_) {
    rpmRaw_ = raw;
    rpm_ = revs_->ConvertRecorded(UNIT_RPM, raw);
    rpmKnown_ = true;
  }
  return rpm_;
}

// ---------------------------------------------------------------------------------------------
// The settings and the ECU type as the conversions see them

const TSettings& TDisplayVar::Cfg() const { return *Owner->Context->Settings; }

double TDisplayVar::SpeedK(TReading reading) const {
  if (!reading.Link) return SpeedConstantOf(reading.Family);
  const TECUType* ecu = Owner->Context->EcuType;
  return ecu ? ecu->SpeedConstant.load() : 1.0;
}

bool TDisplayVar::Map3Bar() const {
  const TECUType* ecu = Owner->Context->EcuType;
  return ecu && ecu->MapIs3Bar != 0;
}
