#pragma once
// The variable model: raw ECU variables, the display variables that convert them, the owning
// variable lists, selections by id and the catalogue that owns everything.
#include <cstdint>
#include <string>
#include <vector>

#include <memory>

#include "base/Relaxed.h"
#include "vars/CoreContext.h"
#include "vars/Units.h"
#include "base/ObjList.h"

class TVarList;
class TSensorList;
class TVarHist;
class TIniFile;

struct TVar {
  TVar(TVarList* owner, bool isRaw) : Owner(owner), IsRaw(isRaw ? 1 : 0) {}
  virtual ~TVar() = default;
  TVar(const TVar&) = delete;
  TVar& operator=(const TVar&) = delete;

  Relaxed<uint32_t> Id{0};  // the raw Speed variable's id changes when the ECU family does
  TVarList* Owner;
  uint8_t IsRaw;
  char Name[128] = {};
  uint8_t ReadMode = 0;  // 0 one byte; 1 two bytes in one reply; 2 high byte by request 0x00

  void SetName(const char* name);
};

struct TRawVar : TVar {
  TRawVar(TVarList* owner, uint32_t id, const char* name, int32_t requestCode, int32_t rateHz, uint8_t readMode);

  // The id under which a recording of the given ECU family keeps this variable's samples. Only the
  // raw Speed variable's differs (ObdId with OBD0 and OBD1, AnyId with any ECU or none known; set
  // by the catalogue); every other variable's is its Id.
  uint32_t IdIn(uint8_t family) const;
  uint32_t ObdId = 0, AnyId = 0;  // 0: Id

  // Rewired by ApplyEcuType on the poll thread when the ECU answers; a recording never rewires
  // them (it is read through its own family's wiring).
  Relaxed<int32_t> RequestCode{0};
  // The latest value. Written by the poll thread while connected and by the playback thread while
  // playing (and by a seek on the user-interface thread). A recording may be played while the link
  // is up, and then both write: each store is whole and the latest one is shown; nothing reads it
  // back to compute the next value, so no update depends on another. Every thread reads it.
  Relaxed<uint16_t> RawValue{0};
  Relaxed<uint32_t> LastUpdate{0};  // ticks of 10 us since polling started; poll thread only writes
  // Values read from the ECU since the program started (wrapping); the poll thread only writes it,
  // the sensor list works out from it how often the variable is really read.
  Relaxed<uint32_t> ReadCount{0};
  // Written by the user-interface thread (settings, the sensor list's check boxes, presets) and by
  // ApplyEcuType; read by the poll thread on every pass.
  Relaxed<uint8_t> PollEnabled{1};
  Relaxed<uint8_t> Supported{1};
  Relaxed<int32_t> RateHz{0};

  // Over the current recording, found by the id of its family (IdIn).
  TVarHist* History() const;
  // The history of this variable in a recording, found by the id of the recording's family.
  TVarHist* HistoryIn(const THistorySet& rec) const;
  int32_t SampleCount() const;
  uint16_t RawAtIndex(int32_t i) const;
  double TimeAtIndex(int32_t i) const;
  uint16_t RawAt(double t) const;

 private:
  // The history of id in rec, looked for first where this variable's was found last.
  TVarHist* Find(const THistorySet& rec, int32_t id) const;
  // The place in a recording's histories where History found this variable's last; any thread.
  mutable Relaxed<int32_t> historyHint_{0};
};

class TDisplayVar : public TVar {
 public:
  TDisplayVar(TSensorList& sensors, uint32_t id, int32_t sourceId, const char* name);

  uint8_t AutoRange = 0;
  double RangeMin = 0.0;
  double RangeMax = 0.0;
  double Tick = 0.0;
  double RangeFloor = 0.0;
  double RangeCeiling = 100.0;
  Relaxed<int32_t> SourceId{0};
  Relaxed<TRawVar*> Source{nullptr};
  uint8_t Unit = 0;
  uint8_t FillTrace = 0;

  // The value of a raw value as the latest values are read (see LatestReading).
  virtual double Convert(uint8_t unit, int32_t raw) = 0;
  // The value of a raw sample of the current recording, read with the wiring of the recording's
  // ECU family. The same as Convert for every variable that reads alike in every family.
  virtual double ConvertRecorded(uint8_t unit, int32_t raw) { return Convert(unit, raw); }
  // The raw variable whose history holds this variable's samples in the current recording.
  TRawVar* RecordedSource() const { return SourceIn(RecordedReading()); }
  // This variable's history in a recording, the current one or not: its source as the recording's
  // family wires it, found by that family's id.
  TVarHist* HistoryIn(const THistorySet& rec) const;
  // The speed constant a recording's road speed is read with (its family's, or the link's).
  double SpeedConstantIn(const THistorySet& rec) const { return SpeedK(ReadingOf(rec)); }
  virtual double GetValue(uint8_t unit);
  virtual double GetValueAt(uint8_t unit, double t);
  // The value at sample i of the current recording. Reading never changes what another reader
  // sees: a value that depends on the samples before it (the gear held between ratio bands) is
  // worked out from them. A reader asking by ascending index keeps a TReadState of its own, so
  // each value follows from the one before.
  virtual double GetValueAtIndex(uint8_t unit, int32_t i);
  struct TReadState {
    int32_t Last = -1;  // the index asked last
    int32_t Held = 0;   // what the variable kept from it
  };
  virtual double GetValueAtIndex(uint8_t unit, int32_t i, TReadState& state) {
    state.Last = i;
    return GetValueAtIndex(unit, i);
  }
  // Whether a value depends on the samples before it (then a TReadState serves).
  virtual bool FollowsSamplesBefore() const { return false; }
  // True when GetValueAtIndex is Convert of the source's raw sample alone, so a caller may keep
  // converted values by raw value; false for sensors that also read other samples or histories.
  virtual bool ValueFollowsRaw() const { return true; }
  virtual int32_t ToRaw(uint8_t unit, double value) = 0;
  virtual void SetDefaultRange() = 0;
  virtual void AutoRangeFromHistory();

  void SetSource(TRawVar* raw);
  void ExtendRange();
  void Rescale();
  // Writes the current recording's history of this variable as text; false when the file cannot
  // be created or written.
  // Written through a temporary file renamed over fileName, so a failed export leaves an existing
  // file as it was; errorText (when given) says why it failed.
  bool ExportHistoryText(const std::string& fileName, const std::string& separator, std::string* errorText = nullptr);

  TVarHist* History() const;
  int32_t SampleCount() const;
  double TimeAtIndex(int32_t i) const;
  // The speed constant the current recording's road speed is read with.
  double RecordedSpeedK() const { return SpeedK(RecordedReading()); }

 protected:
  uint16_t SourceRaw() const;
  // Whose wiring a value is read with: the link's (the catalogue as ApplyEcuType left it, and the
  // ECU type's speed constant), or that of another ECU family, as a recording of it reads.
  struct TReading {
    bool Link = true;
    uint8_t Family = 0;
  };
  // The latest raw values: the link's while it polls; otherwise the player put the current
  // recording's there.
  TReading LatestReading() const;
  // The current recording's histories: the link's wiring when the recording is of the link's
  // family, its own family's otherwise.
  TReading RecordedReading() const;
  // The reading of a recording's histories: the link's wiring for the link's family.
  TReading ReadingOf(const THistorySet& rec) const;
  // The raw variable this one reads under a wiring.
  virtual TRawVar* SourceIn(TReading) const { return Source; }
  // What the conversions read from the catalogue's context.
  const TSettings& Cfg() const;
  double SpeedK(TReading reading) const;
  bool Map3Bar() const;
  void SetRange(double lo, double hi, double tick) {
    RangeMin = lo;
    RangeMax = hi;
    Tick = tick;
  }
};

class TVarList : public TObjList<TVar> {
 public:
  explicit TVarList(TCoreContext* context = nullptr) : TObjList<TVar>(true), Context(context) {}
  // Where the variables find the settings, the ECU type and the current recording; none for a
  // list that stands alone (its variables then have no history).
  TCoreContext* const Context;
  TVar* FindById(uint32_t id) const;
  // The variable a recording of the given ECU family keeps under id (see TRawVar::IdIn).
  TVar* FindByIdIn(uint32_t id, uint8_t family) const;
};

// A selection of variables held as ids; it owns nothing.
class TVarRefList {
 public:
  explicit TVarRefList(const TVarList& vars) : Vars(vars) {}

  const TVarList& Vars;

  int Count() const { return static_cast<int>(ids_.size()); }
  uint32_t IdAt(int i) const { return ids_[static_cast<size_t>(i)]; }
  void AddId(uint32_t id) { ids_.push_back(id); }
  void RemoveId(uint32_t id);
  int IndexOf(const TVar* var) const;
  int Remove(const TVar* var);
  TVar* Get(int i) const;
  bool ContainsId(uint32_t id) const;
  void Clear() { ids_.clear(); }
  // "Count" and "Var0".."VarN-1" in the section; loading appends the ids that name a variable.
  void SaveToIni(const std::string& section, const std::string& iniPath) const;
  void LoadFromIni(const std::string& section, const std::string& iniPath);
  void SaveToIni(TIniFile& ini, const std::string& section) const;
  void LoadFromIni(const TIniFile& ini, const std::string& section);

 private:
  std::vector<uint32_t> ids_;
};

class TDisplayVar;
class TFlagVar;
class TBooleanVar;
class TBitMaskVar;
struct TFlagWiring;

class TSensorList {
 public:
  // context: what the variables read; none gives the catalogue a context of its own with the
  // default settings. The context's Sensors becomes this catalogue.
  explicit TSensorList(TCoreContext* context = nullptr);
  ~TSensorList();
  TSensorList(const TSensorList&) = delete;
  TSensorList& operator=(const TSensorList&) = delete;

 private:
  std::unique_ptr<TCoreContext> ownContext_;

 public:
  TCoreContext& Context;
  TVarList* RawVars = new TVarList(&Context);
  TVarList* DisplayVars = new TVarList(&Context);

  // Variables addressed by role.
  TRawVar* RawRevs = nullptr;
  TDisplayVar* Revs = nullptr;
  TRawVar* RawSpeed = nullptr;
  TDisplayVar* Speed = nullptr;
  TDisplayVar* Gear = nullptr;
  TDisplayVar* Acceleration = nullptr;
  TRawVar* RawTW = nullptr;
  TDisplayVar* WaterTemp = nullptr;
  TRawVar* RawTA = nullptr;
  TDisplayVar* AirTemp = nullptr;
  TRawVar* RawMAP = nullptr;
  TDisplayVar* MAP = nullptr;
  TRawVar* RawTPS = nullptr;
  TDisplayVar* TPS = nullptr;
  TRawVar* RawInjDuration = nullptr;
  TDisplayVar* InjDuration = nullptr;
  TDisplayVar* DutyCycle = nullptr;
  TRawVar* RawIgnAdvance = nullptr;
  TDisplayVar* IgnAdvance = nullptr;
  TRawVar* RawO2A = nullptr;
  TDisplayVar* O2A = nullptr;
  TDisplayVar* Lambda = nullptr;
  TRawVar* RawInputs = nullptr;
  TRawVar* RawOutputs = nullptr;
  TRawVar* RawDigitalIn = nullptr;
  TRawVar* RawP0 = nullptr;
  TRawVar* RawP1 = nullptr;
  TRawVar* RawErrorCodes[4] = {};
  TBooleanVar* VTECPressure = nullptr;
  TBitMaskVar* VTECSpool = nullptr;
  TBooleanVar* ACSwitch = nullptr;
  TBooleanVar* Start = nullptr;
  TBooleanVar* FuelPump = nullptr;
  TBooleanVar* PurgeValve = nullptr;
  TBooleanVar* CheckLight = nullptr;
  TBooleanVar* ACRelay = nullptr;
  TBooleanVar* ErrorLED = nullptr;

  void BuildVariables();
  // Wires the catalogue for the family the link talks to: the raw Speed variable's id and request
  // code, which raw variables are supported, and how the flags are read.
  void ApplyEcuType(uint8_t family);
  // The wiring the family gives a flag, starting from w (a family that leaves a part alone keeps
  // w's).
  TFlagWiring FlagWiring(const TFlagVar& flag, uint8_t family, TFlagWiring w) const;

  TRawVar* Raw(int i) const { return static_cast<TRawVar*>(RawVars->Items(i)); }
  TDisplayVar* Display(int i) const { return static_cast<TDisplayVar*>(DisplayVars->Items(i)); }
  TRawVar* FindRaw(uint32_t id) const { return static_cast<TRawVar*>(RawVars->FindById(id)); }
  TDisplayVar* FindDisplay(uint32_t id) const { return static_cast<TDisplayVar*>(DisplayVars->FindById(id)); }
  // A display variable by id or by name (names matched without regard to case).
  TDisplayVar* FindDisplayByName(const std::string& name) const;

  // Range passes over every display variable.
  void SetDefaultRanges();
  void AutoRangeFromHistories();
  void ExtendRanges();
};
