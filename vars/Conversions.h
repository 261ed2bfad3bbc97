#pragma once
// Unit conversions and the display-variable classes built on them.
#include <cstdint>

#include "history/HistoryCursor.h"
#include "vars/SensorList.h"

class TVarHist;

double ByteToVolts(uint8_t b);
int32_t VoltsToByte(double v);
int32_t PeriodToRpm(uint16_t p);
uint16_t RpmToPeriod(int32_t r);
int32_t PackedByteToRpm(uint8_t b);
int32_t RpmToPackedByte(int32_t r);
double MapVoltsToBar(double v, bool map3Bar);
double MapBarToVolts(double bar, bool map3Bar);
double BarToInHgVacuum(double bar);
double InHgVacuumToAtm(double x);
double BarToPsi(double x);
double TempVoltsToCelsius(double v);
double TempByteToCelsius(uint8_t b);
double CelsiusToTempVolts(double t);
int32_t CelsiusToTempByte(double t);
double CelsiusToFahrenheit(double t);
double FahrenheitToCelsius(double f);
double KmhToMph(double x);
double MphToKmh(double x);
double SpeedRawToKmh(uint16_t raw, double speedConstant);
int32_t KmhToSpeedRaw(double x, double speedConstant);
double InjRawToMs(uint16_t raw);
double InjMsToRaw(double ms);
double IgnRawToDegrees(uint16_t raw);
int32_t IgnDegreesToRaw(double d);
double LambdaToAfr(double l);
double AfrToLambda(double a);
int32_t Percent(double x, double lo, double hi);
double ToFixedDigits(double x, int digits);
double InchesToMetres(double x);

class TRevsVar : public TDisplayVar {
 public:
  TRevsVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
};

class TPackedRevsVar : public TDisplayVar {
 public:
  TPackedRevsVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
};

class TSpeedVar : public TDisplayVar {
 public:
  TSpeedVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  double ConvertRecorded(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;

 private:
  double InUnit(int32_t raw, double speedConstant) const;
};

class TGearVar : public TDisplayVar {
 public:
  TGearVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  // The live gear: the link's (or the player's) latest values, the gear held between the bands
  // kept for them alone.
  double GetValue(uint8_t unit) override;
  double GetValueAt(uint8_t unit, double t) override;
  double GetValueAtIndex(uint8_t unit, int32_t i) override;
  double GetValueAtIndex(uint8_t unit, int32_t i, TReadState& state) override;
  bool FollowsSamplesBefore() const override { return true; }
  bool ValueFollowsRaw() const override { return false; }
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;

  // The gear whose band the ratio of engine speed to wheel speed lies in (1..5), 0 between the
  // bands, -1 while the wheels stand.
  int BandOf(double kmh, double rpm) const;
  // The gear shown for a band, the gear held before it given and kept: none while the wheels
  // stand, the band's gear in a band, the held one between bands.
  static double Shown(int band, int32_t& held) {
    if (band < 0) return 0;
    if (band > 0) held = band;
    return held;
  }
  // The band at recorded sample i of the source's history h.
  int BandAt(const TVarHist& h, int32_t i, double speedK);
  // The gear held before recorded sample i: the band of the latest sample before it in one, or 0.
  int32_t HeldBefore(const TVarHist& h, int32_t i, double speedK);
  // The gear shown at recorded sample i in band `band`, a reader's state carried on: the gear held
  // after the sample before or after this one (asked again) when the state has it, else looked for.
  double ShownAt(const TVarHist& h, int32_t i, double speedK, int band, TReadState& state);

  TDisplayVar* RevsVar;
  double Upper[6] = {};  // indexed by gear 1..5
  double Lower[6] = {};

 private:
  int32_t liveGear_ = 0;  // user-interface thread
};

class TSpeedAccelVar : public TDisplayVar {
 public:
  TSpeedAccelVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  double GetValueAt(uint8_t unit, double t) override;
  double GetValueAtIndex(uint8_t unit, int32_t i) override;
  bool ValueFollowsRaw() const override { return false; }
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
  // The acceleration at sample i of history h, whose road speed is read with speedK: from sample
  // i to sample i + 2; 0 without those.
  static double ValueOf(const TVarHist& h, int32_t i, double speedK);

 private:
  TVarHist* hist_ = nullptr;
};

class TTempVar : public TDisplayVar {
 public:
  TTempVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
};

class TMAPVar : public TDisplayVar {
 public:
  TMAPVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
};

class TPAVar : public TMAPVar {
 public:
  TPAVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  void SetDefaultRange() override;
};

class TElevationVar : public TDisplayVar {
 public:
  TElevationVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
};

class TTPSVar : public TDisplayVar {
 public:
  TTPSVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
};

class TInjDurationVar : public TDisplayVar {
 public:
  TInjDurationVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
};

class TDutyCycleVar : public TDisplayVar {
 public:
  TDutyCycleVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  double GetValue(uint8_t unit) override;
  double GetValueAt(uint8_t unit, double t) override;
  double GetValueAtIndex(uint8_t unit, int32_t i) override;
  bool ValueFollowsRaw() const override { return false; }
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;

  // The duty cycle of an injection of ms milliseconds at rpm.
  static double Duty(double ms, double rpm);

  TDisplayVar* RevsVar;
};

class TIgnAdvanceVar : public TDisplayVar {
 public:
  TIgnAdvanceVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
};

// Sensor voltage: O2 sensors, ALT and EACV.
class TVoltsVar : public TDisplayVar {
 public:
  TVoltsVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
};

class TO2Var : public TVoltsVar {
 public:
  using TVoltsVar::TVoltsVar;
  void SetDefaultRange() override;
};

class TALTVar : public TVoltsVar {
 public:
  using TVoltsVar::TVoltsVar;
  void SetDefaultRange() override;
};

class TEACVVar : public TVoltsVar {
 public:
  using TVoltsVar::TVoltsVar;
  void SetDefaultRange() override;
};

class TCloseLoopVar : public TDisplayVar {
 public:
  TCloseLoopVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
};

class TLambdaVar : public TDisplayVar {
 public:
  TLambdaVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
};

// How a switch flag is read: its source, mask, polarity and whether the family has it at all.
struct TFlagWiring {
  TRawVar* Source = nullptr;
  uint32_t Mask = 0;
  uint8_t ActiveHigh = 0;
  uint8_t Enabled = 1;
};

// A switch flag. Its fields are the link's wiring (ApplyEcuType sets them); a recording of another
// family is read with the wiring that family gives the flag from its construction (ByFamily).
class TFlagVar : public TDisplayVar {
 public:
  TFlagVar(TSensorList& s, uint32_t id, int32_t src, const char* name, uint32_t mask, bool activeHigh);
  double Convert(uint8_t unit, int32_t raw) override;
  double ConvertRecorded(uint8_t unit, int32_t raw) override;
  TRawVar* SourceIn(TReading reading) const override { return Wiring(reading).Source; }
  double GetValue(uint8_t unit) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;

  Relaxed<uint32_t> Mask;
  Relaxed<uint8_t> ActiveHigh;
  Relaxed<uint8_t> Enabled{1};
  TFlagWiring ByFamily[4];  // by family number; FAMILY_UNKNOWN: as constructed

  TFlagWiring Wiring() const { return {Source, Mask, ActiveHigh, Enabled}; }
  TFlagWiring Wiring(TReading reading) const { return reading.Link ? Wiring() : ByFamily[reading.Family & 3]; }
  void Rewire(const TFlagWiring& w);

 protected:
  virtual double Read(uint32_t raw, const TFlagWiring& w) const = 0;
};

class TBooleanVar : public TFlagVar {
 public:
  TBooleanVar(TSensorList& s, uint32_t id, int32_t src, const char* name, int bit, bool activeHigh)
      : TFlagVar(s, id, src, name, 1u << bit, activeHigh) {}

 protected:
  double Read(uint32_t raw, const TFlagWiring& w) const override;
};

class TBitMaskVar : public TFlagVar {
 public:
  using TFlagVar::TFlagVar;

 protected:
  double Read(uint32_t raw, const TFlagWiring& w) const override;
};

class TByteVar : public TDisplayVar {
 public:
  TByteVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
};

class TLapVar : public TDisplayVar {
 public:
  TLapVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
};

class TIACDutyVar : public TDisplayVar {
 public:
  TIACDutyVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;
};

class TIdleDiffVar : public TDisplayVar {
 public:
  TIdleDiffVar(TSensorList& s, uint32_t id, int32_t src, const char* name);
  double Convert(uint8_t unit, int32_t raw) override;
  double GetValue(uint8_t unit) override;
  double GetValueAt(uint8_t unit, double t) override;
  double GetValueAtIndex(uint8_t unit, int32_t i) override;
  bool ValueFollowsRaw() const override { return false; }
  int32_t ToRaw(uint8_t unit, double value) override;
  void SetDefaultRange() override;

  TDisplayVar* RevsVar;
};

// A display variable's values at the samples of its source's history in the current recording,
// asked by ascending index, as GetValueAtIndex gives them, without finding the histories again for
// every sample: the gear, duty cycle, idle difference and acceleration read their source's history
// through a pointer taken once, and the engine speed at a sample's time by a pass that only moves
// forward over the revs history; a gear keeps the gear held from the sample asked before. An index
// out of order is answered as GetValueAtIndex answers it, and every other sensor by GetValueAtIndex
// itself. The recording must be
// the current one, and the same, whenever At is asked.
class TValuesInOrder {
 public:
  explicit TValuesInOrder(TDisplayVar& var);
  double At(int32_t i);

 private:
  void Start();
  // What revs_->GetValueAt(UNIT_RPM, t) gives at the seconds of these ticks (which name the
  // same tick again).
  double RpmAt(TTicks t);

  TDisplayVar& var_;
  TGearVar* gear_;
  TDutyCycleVar* duty_;
  TIdleDiffVar* idle_;
  TSpeedAccelVar* accel_;
  bool started_ = false;
  const TVarHist* source_ = nullptr;  // none: every value is asked of the variable
  double speedK_ = 0;
  TDisplayVar* revs_ = nullptr;
  const TVarHist* revsHistory_ = nullptr;  // none: the engine speed is asked of revs_
  THistoryCursor revsCursor_;
  TDisplayVar::TReadState state_;  // the gear held, and the index asked last
  // The engine speed of the last raw value converted.
  uint16_t rpmRaw_ = 0;
  bool rpmKnown_ = false;
  double rpm_ = 0;
};
