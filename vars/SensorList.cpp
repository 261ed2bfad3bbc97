#include "vars/SensorList.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "base/AtomicSave.h"
#include "base/IniFile.h"
#include "history/History.h"
#include "vars/EcuType.h"
#include "vars/Units.h"

// ---------------------------------------------------------------------------------------------
// TVar, TRawVar

void TVar::SetName(const char* name) {
  std::strncpy(Name, name, sizeof Name - 1);
  Name[sizeof Name - 1] = '\0';
}

TRawVar::TRawVar(TVarList* owner, uint32_t id, const char* name, int32_t requestCode, int32_t rateHz, uint8_t readMode)
    : TVar(owner, true) {
  Id = id;
  SetName(name);
  RequestCode = requestCode;
  RateHz = rateHz;
  ReadMode = readMode;
}

uint32_t TRawVar::IdIn(uint8_t family) const {
  const uint32_t id = family == FAMILY_OBD0 || family == FAMILY_OBD1 ? ObdId : AnyId;
  return id != 0 ? id : Id.load();
}

TVarHist* TRawVar::Find(const THistorySet& rec, int32_t id) const {
  // A recording's histories keep their places: where this one was found last is looked at first.
  const int hint = historyHint_;
  if (hint < rec.Count() && rec[hint]->SensorId == id) return rec[hint];
  for (int i = 0; i < rec.Count(); ++i)
    if (rec[i]->SensorId == id) {
      historyHint_ = i;
      return rec[i];
    }
  return nullptr;
}

TVarHist* TRawVar::History() const {
  const THistorySet* rec = Owner && Owner->Context ? Owner->Context->Recording.load(std::memory_order_acquire) : nullptr;
  return rec ? HistoryIn(*rec) : nullptr;
}

TVarHist* TRawVar::HistoryIn(const THistorySet& rec) const {
  // A recording of the link's family made before the menu changed the family keeps the id the
  // catalogue had.
  const uint32_t id = IdIn(rec.EcuFamily);
  TVarHist* h = Find(rec, static_cast<int32_t>(id));
  return h || id == Id ? h : Find(rec, static_cast<int32_t>(Id.load()));
}

int32_t TRawVar::SampleCount() const {
  TVarHist* h = History();
  return h ? h->Count() : 0;
}

uint16_t TRawVar::RawAtIndex(int32_t i) const { return History()->RawOf(i); }
double TRawVar::TimeAtIndex(int32_t i) const { return History()->TimeOf(i); }

uint16_t TRawVar::RawAt(double t) const {
  TVarHist* h = History();
  if (!h) return 0;
  auto s = h->SampleAt(t);
  return s ? s->Raw : 0;
}

// ---------------------------------------------------------------------------------------------
// TDisplayVar

TDisplayVar::TDisplayVar(TSensorList& sensors, uint32_t id, int32_t sourceId, const char* name)
    : TVar(sensors.DisplayVars, false) {
  Id = id;
  SourceId = sourceId;
  SetName(name);
  Source = sensors.FindRaw(static_cast<uint32_t>(sourceId));
}

uint16_t TDisplayVar::SourceRaw() const {
  TRawVar* s = Source;
  return s ? s->RawValue.load() : 0;
}

double TDisplayVar::GetValue(uint8_t unit) { return Convert(unit, SourceRaw()); }

double TDisplayVar::GetValueAt(uint8_t unit, double t) {
  TRawVar* s = RecordedSource();
  return ConvertRecorded(unit, s ? s->RawAt(t) : 0);
}

double TDisplayVar::GetValueAtIndex(uint8_t unit, int32_t i) {
  TRawVar* s = RecordedSource();
  return ConvertRecorded(unit, s ? s->RawAtIndex(i) : 0);
}

void TDisplayVar::SetSource(TRawVar* raw) {
  Source = raw;
  SourceId = raw ? static_cast<int32_t>(raw->Id.load()) : 0;
}

TVarHist* TDisplayVar::History() const {
  TRawVar* s = RecordedSource();
  return s ? s->History() : nullptr;
}
int32_t TDisplayVar::SampleCount() const {
  TRawVar* s = RecordedSource();
  return s ? s->SampleCount() : 0;
}
double TDisplayVar::TimeAtIndex(int32_t i) const { return RecordedSource()->TimeAtIndex(i); }

TVarHist* TDisplayVar::HistoryIn(const THistorySet& rec) const {
  TRawVar* s = SourceIn(ReadingOf(rec));
  return s ? s->HistoryIn(rec) : nullptr;
}

TDisplayVar::TReading TDisplayVar::ReadingOf(const THistorySet& rec) const {
  const TCoreContext& core = *Owner->Context;
  const uint8_t link = core.EcuType ? core.EcuType->Family.load() : uint8_t{FAMILY_UNKNOWN};
  if (rec.EcuFamily == link) return {};
  return {false, rec.EcuFamily};
}

TDisplayVar::TReading TDisplayVar::RecordedReading() const {
  const THistorySet* rec = Owner->Context->Recording.load(std::memory_order_acquire);
  return rec ? ReadingOf(*rec) : TReading{};
}

TDisplayVar::TReading TDisplayVar::LatestReading() const {
  return Owner->Context->LinkPolling ? TReading{} : RecordedReading();
}

void TDisplayVar::AutoRangeFromHistory() {
  SetDefaultRange();
  if (!AutoRange) return;
  TVarHist* h = History();
  if (!h) return;
  int32_t n = h->Count();
  TReadState state;
  for (int32_t i = 0; i < n; ++i) {
    double v = GetValueAtIndex(Unit, i, state);
    if (v > RangeMax)
      RangeMax = v;
    else if (v < RangeMin)
      RangeMin = v;
  }
  Rescale();
}

void TDisplayVar::ExtendRange() {
  if (!AutoRange) return;
  double v = GetValue(Unit);
  if (v > RangeMax) {
    RangeMax = v;
    Rescale();
  } else if (v < RangeMin) {
    RangeMin = v;
    Rescale();
  }
}

void TDisplayVar::Rescale() {
  if (!AutoRange) return;
  if (Tick > 5) {
    RangeMax = std::trunc(RangeMax * 1.05);
    RangeMin = std::trunc(RangeMin * 0.95238095238095238);
  } else {
    RangeMax = RangeMax * 1.05;
    RangeMin = RangeMin * 0.95238095238095238;
  }
  auto span = static_cast<int64_t>(RangeMax - RangeMin);
  if (span >= 10 && span < 50)
    RangeMin = 5 * std::trunc(RangeMin < 0 ? RangeMin * 0.2 - 1 : RangeMin * 0.2);
  else if (span >= 50)
    RangeMin = 10 * std::trunc(RangeMin < 0 ? RangeMin * 0.1 - 1 : RangeMin * 0.1);
  if (!(RangeMin > RangeFloor)) RangeMin = RangeFloor;
  if (!(RangeMax < RangeCeiling)) RangeMax = RangeCeiling;
  double d = RangeMax - RangeMin;
  if (d <= 2)
    Tick = 0.25;
  else if (d <= 5)
    Tick = 0.5;
  else if (d <= 10)
    Tick = 1;
  else if (d <= 20)
    Tick = 2;
  else if (d <= 50)
    Tick = 5;
  else if (d <= 100)
    Tick = 10;
  else if (d <= 200)
    Tick = 25;
  else if (d <= 500)
    Tick = 50;
  else if (d <= 1000)
    Tick = 100;
  else if (d <= 10000)
    Tick = 1000;
  else
    Tick = 4096;
}

bool TDisplayVar::ExportHistoryText(const std::string& fileName, const std::string& separator, std::string* errorText) {
  return AtomicSave(
      fileName,
      [&](const std::string& tmp) {
        TStringFile f;
        if (!f.CreateNew(tmp)) return false;
        // Text files carry the 8-bit form of the unit and '.' as the decimal point.
        std::string header = "Time(s)" + separator + "Value(" + UnitText8Bit(Unit, *Owner->Context->Settings) + ")";
        bool ok = f.WriteLine(header) == header.size() + 2;
        // One write per batch of lines rather than one per sample.
        std::string batch;
        batch.reserve(1 << 16);
        int32_t n = SampleCount();
        char buf[700];
        TReadState state;
        for (int32_t i = 0; i < n && ok; ++i) {
          int len = std::snprintf(buf, sizeof buf, "%f%s%f\r\n", TimeAtIndex(i), separator.c_str(),
                                  GetValueAtIndex(Unit, i, state));
          if (len > 0) batch.append(buf, static_cast<size_t>(std::min<int>(len, sizeof buf - 1)));
          if (batch.size() >= (1 << 16) - 1024) {
            ok = f.WriteBytes(batch.data(), batch.size()) == batch.size();
            batch.clear();
          }
        }
        if (ok && !batch.empty()) ok = f.WriteBytes(batch.data(), batch.size()) == batch.size();
        return f.Close() && ok;
      },
      errorText);
}

// ---------------------------------------------------------------------------------------------
// Lists

TVar* TVarList::FindById(uint32_t id) const {
  for (TVar* v : *this)
    if (v->Id == id) return v;
  return nullptr;
}

TVar* TVarList::FindByIdIn(uint32_t id, uint8_t family) const {
  for (TVar* v : *this)
    if ((v->IsRaw ? static_cast<TRawVar*>(v)->IdIn(family) : v->Id.load()) == id) return v;
  return nullptr;
}

void TVarRefList::RemoveId(uint32_t id) {
  for (auto it = ids_.begin(); it != ids_.end(); ++it)
    if (*it == id) {
      ids_.erase(it);
      return;
    }
}

int TVarRefList::IndexOf(const TVar* var) const {
  if (!var) return -1;
  uint32_t id = var->Id;
  for (size_t i = 0; i < ids_.size(); ++i)
    if (ids_[i] == id) return static_cast<int>(i);
  return -1;
}

int TVarRefList::Remove(const TVar* var) {
  int i = IndexOf(var);
  if (i >= 0) ids_.erase(ids_.begin() + i);
  return i;
}

TVar* TVarRefList::Get(int i) const { return Vars.FindById(ids_[static_cast<size_t>(i)]); }

bool TVarRefList::ContainsId(uint32_t id) const {
  for (uint32_t x : ids_)
    if (x == id) return true;
  return false;
}

void TVarRefList::SaveToIni(TIniFile& ini, const std::string& section) const {
  ini.WriteInteger(section, "Count", Count());
  for (int k = 0; k < Count(); ++k) ini.WriteInteger(section, "Var" + std::to_string(k), ids_[static_cast<size_t>(k)]);
}

void TVarRefList::LoadFromIni(const TIniFile& ini, const std::string& section) {
  long long count = ini.ReadInteger(section, "Count", 0);
  // An absurd count in a hand-edited file must not stall start-up: no entry lies beyond the
  // highest "Var" key present.
  long long highest = -1;
  for (const std::string& key : ini.Keys(section)) {
    long long k;
    if (key.size() > 3 && strncasecmp(key.c_str(), "Var", 3) == 0 && ParseInteger(key.substr(3), k) && k > highest)
      highest = k;
  }
  count = std::min(count, highest + 1);
  for (long long k = 0; k < count; ++k) {
    long long id = ini.ReadInteger(section, "Var" + std::to_string(k), 0);
    if (id >= 0 && id <= 0xFFFFFFFFLL && Vars.FindById(static_cast<uint32_t>(id))) AddId(static_cast<uint32_t>(id));
  }
}

void TVarRefList::SaveToIni(const std::string& section, const std::string& iniPath) const {
  TIniFile ini;
  ini.Load(iniPath);
  SaveToIni(ini, section);
  ini.Save(iniPath);
}

void TVarRefList::LoadFromIni(const std::string& section, const std::string& iniPath) {
  TIniFile ini;
  ini.Load(iniPath);
  LoadFromIni(ini, section);
}

// ---------------------------------------------------------------------------------------------
// TSensorList

TSensorList::TSensorList(TCoreContext* context)
    : ownContext_(context ? nullptr : std::make_unique<TCoreContext>()), Context(context ? *context : *ownContext_) {
  Context.Sensors = this;
}

TSensorList::~TSensorList() {
  delete RawVars;
  delete DisplayVars;
  if (Context.Sensors == this) Context.Sensors = nullptr;
}

TDisplayVar* TSensorList::FindDisplayByName(const std::string& name) const {
  for (TVar* v : *DisplayVars)
    if (strcasecmp(v->Name, name.c_str()) == 0) return static_cast<TDisplayVar*>(v);
  return nullptr;
}

void TSensorList::SetDefaultRanges() {
  for (TVar* v : *DisplayVars) static_cast<TDisplayVar*>(v)->SetDefaultRange();
}
void TSensorList::AutoRangeFromHistories() {
  for (TVar* v : *DisplayVars) static_cast<TDisplayVar*>(v)->AutoRangeFromHistory();
}
void TSensorList::ExtendRanges() {
  for (TVar* v : *DisplayVars) static_cast<TDisplayVar*>(v)->ExtendRange();
}
