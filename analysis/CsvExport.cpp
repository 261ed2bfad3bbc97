#include "analysis/CsvExport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "analysis/DecimalText.h"
#include "base/AtomicSave.h"
#include "base/BinFile.h"
#include "recording/FileOperations.h"
#include "vars/Conversions.h"
#include "vars/Settings.h"

namespace {
constexpr uint64_t kNoSample = std::numeric_limits<uint64_t>::max();
constexpr double kTicksPerSecond = 100000.0;
// The decimals of the exported numbers: values as the .tdf files have them ("%f"), the time as
// seconds, the age as milliseconds.
constexpr int kValueDecimals = 6, kTimeDecimals = 5, kAgeDecimals = 2;
// The longest time or age field (20 digits, a point, the decimals).
constexpr size_t kMaxNumberChars = 32;

// A time in seconds as ticks of 10 microseconds, a time within 10 nanoseconds of a tick counting
// as on it; rounded down (the last tick at or before t) or up (the first at or after it).
uint64_t TicksOf(double seconds, bool up) {
  const double x = seconds * kTicksPerSecond;
  const double nearest = std::nearbyint(x);
  const double ticks = std::fabs(x - nearest) <= 1e-3 ? nearest : up ? std::ceil(x) : std::floor(x);
  return ticks <= 0 ? 0 : static_cast<uint64_t>(ticks);
}
}  // namespace

struct TCsvExport::TColumn {
  TDisplayVar* Var = nullptr;
  // The source's history in the recording (none: the field stays empty) and its sample count.
  const TVarHist* History = nullptr;
  int32_t Count = 0;
  // The value is the conversion of the raw sample alone, so equal raw values give equal texts.
  bool FollowsRaw = true;
  // A gear sensor keeps the gear it found last (the bands between the ratios hold it), so every
  // one of its samples is evaluated in order, as the .tdf export evaluates them.
  TGearVar* Gear = nullptr;
  int32_t GearState = 0;
  double WalkedValue = 0;
  // The latest sample at or before the row, its time and the next sample's time; times are
  // unwrapped (the 32-bit tick counter wraps after 11.9 hours) so they always ascend.
  int32_t Index = -1;
  uint64_t IndexTicks = 0;
  uint64_t NextTicks = kNoSample;
  // The text of the value of sample TextIndex (raw value TextRaw).
  int32_t TextIndex = -1;
  bool HasRaw = false;
  uint16_t TextRaw = 0;
  uint16_t TextLength = 0;
  char Text[MaxFixedChars];

  void PeekNext() {
    if (Index + 1 >= Count) {
      NextTicks = kNoSample;
      return;
    }
    const uint32_t next = History->TicksOf(Index + 1);
    if (Index < 0) {
      NextTicks = next;
      return;
    }
    const auto current = static_cast<uint32_t>(IndexTicks);
    NextTicks = (IndexTicks - current) + next + (next < current ? (uint64_t{1} << 32) : 0);
  }

  void AdvanceTo(uint64_t key) {
    while (NextTicks <= key) {
      ++Index;
      IndexTicks = NextTicks;
      if (Gear) WalkedValue = Gear->GetValueAtIndex(Var->Unit, Index);
      PeekNext();
    }
  }

  // The value's text for the sample in force, made when that sample changed.
  void MakeText() {
    if (TextIndex == Index) return;
    TextIndex = Index;
    double value;
    if (Gear) {
      value = WalkedValue;
    } else if (FollowsRaw) {
      const uint16_t raw = History->RawOf(Index);
      if (HasRaw && raw == TextRaw) return;
      HasRaw = true;
      TextRaw = raw;
      value = Var->Convert(Var->Unit, raw);
    } else {
      value = Var->GetValueAtIndex(Var->Unit, Index);
    }
    TextLength = static_cast<uint16_t>(WriteFixed(Text, value, kValueDecimals) - Text);
  }
};

// While rows are made, the gear sensors hold the export's own last gear; the live displays get
// theirs back after each batch of rows.
struct TCsvExport::TGearState {
  explicit TGearState(std::vector<TColumn>& columns) : columns_(columns) { Swap(); }
  ~TGearState() { Swap(); }
  TGearState(const TGearState&) = delete;
  TGearState& operator=(const TGearState&) = delete;
  void Swap() {
    for (TColumn& c : columns_)
      if (c.Gear) std::swap(c.Gear->Gear, c.GearState);
  }
  std::vector<TColumn>& columns_;
};

TCsvExport::TCsvExport(TRecording& recording, const TCsvOptions& options) : recording_(recording), options_(options) {
  const double to = options.To ? *options.To : recording.LengthSeconds();
  options_.To = to;
  fromKey_ = TicksOf(options.From, true);
  toKey_ = TicksOf(to, false);
  header_ = "Time (s)";
  columns_.resize(options.Sensors.size());
  for (size_t i = 0; i < columns_.size(); ++i) {
    TColumn& c = columns_[i];
    c.Var = options.Sensors[i];
    const TRawVar* source = c.Var->Source;
    c.History = source ? recording.HistoryFor(*source) : nullptr;
    c.Count = c.History ? c.History->Count() : 0;
    c.FollowsRaw = c.Var->ValueFollowsRaw();
    c.Gear = dynamic_cast<TGearVar*>(c.Var);
    c.PeekNext();

    const TSettings* settings = c.Var->Owner && c.Var->Owner->Context ? c.Var->Owner->Context->Settings : nullptr;
    const std::string unit = settings ? UnitText(c.Var->Unit, *settings) : std::string();
    const std::string name = c.Var->Name;
    header_ += "," + CsvField(unit.empty() ? name : name + " (" + unit + ")");
    if (options.Age) header_ += "," + CsvField(name + " age (ms)");
  }
  header_ += "\n";
  maxRow_ = kMaxNumberChars + 1 + columns_.size() * (1 + MaxFixedChars + (options.Age ? 1 + kMaxNumberChars : 0));
}

TCsvExport::~TCsvExport() = default;

// Moves on to the next row: its time and the samples in force at it. False when the rows end.
bool TCsvExport::NextRowKey() {
  const bool first = !started_;
  started_ = true;
  if (options_.EverySample) {
    if (first && fromKey_ > 0) AdvanceTo(fromKey_ - 1);
    uint64_t key = kNoSample;
    for (const TColumn& c : columns_) key = std::min(key, c.NextTicks);
    if (key > toKey_) return false;
    rowKey_ = key;
  } else {
    const double rate = options_.RateHz;
    if (first) {
      // The first k with k / rate at or after From, each time computed as k / rate.
      k_ = static_cast<int64_t>(std::ceil(options_.From * rate));
      while (k_ > 0 && static_cast<double>(k_ - 1) / rate >= options_.From) --k_;
      while (static_cast<double>(k_) / rate < options_.From) ++k_;
    } else {
      ++k_;
    }
    rowSeconds_ = static_cast<double>(k_) / rate;
    if (rowSeconds_ > *options_.To) return false;
    rowKey_ = TicksOf(rowSeconds_, false);
  }
  AdvanceTo(rowKey_);
  return true;
}

void TCsvExport::AdvanceTo(uint64_t key) {
  for (TColumn& c : columns_) c.AdvanceTo(key);
}

char* TCsvExport::WriteRow(char* p) {
  const bool every = options_.EverySample;
  p = every ? WriteScaled(p, rowKey_, kTimeDecimals) : WriteFixed(p, rowSeconds_, kTimeDecimals);
  // The row's time in ticks, for the ages: whole at sample times, a fraction between them.
  const double rowTicks = every ? static_cast<double>(rowKey_) : rowSeconds_ * kTicksPerSecond;
  for (TColumn& c : columns_) {
    *p++ = ',';
    const bool held = c.Index >= 0;
    if (held) {
      c.MakeText();
      std::memcpy(p, c.Text, c.TextLength);
      p += c.TextLength;
    }
    if (!options_.Age) continue;
    *p++ = ',';
    if (!held) continue;
    // A tick is a hundredth of a millisecond.
    const double age = std::max(0.0, rowTicks - static_cast<double>(c.IndexTicks));
    p = WriteScaled(p, static_cast<uint64_t>(std::llround(age)), kAgeDecimals);
  }
  *p++ = '\n';
  return p;
}

size_t TCsvExport::NextRows(char* out, size_t capacity) {
  if (ended_) return 0;
  TBorrowCurrent borrow(&recording_);
  TGearState gears(columns_);
  char* p = out;
  while (static_cast<size_t>(out + capacity - p) >= maxRow_) {
    if (!NextRowKey()) {
      ended_ = true;
      break;
    }
    p = WriteRow(p);
    ++rows_;
  }
  return static_cast<size_t>(p - out);
}

double TCsvExport::Done() const {
  if (ended_) return 1.0;
  if (!started_) return 0.0;
  const double span = options_.EverySample ? static_cast<double>(toKey_ - fromKey_) : *options_.To - options_.From;
  const double done = options_.EverySample ? static_cast<double>(rowKey_ - fromKey_) : rowSeconds_ - options_.From;
  return span > 0 ? std::clamp(done / span, 0.0, 1.0) : 0.0;
}

int64_t TCsvExport::Values() const {
  return rows_ * static_cast<int64_t>(1 + columns_.size() * (options_.Age ? 2 : 1));
}

TCsvResult WriteCsv(TCsvExport& table, const TTextSink& sink, const TExportProgress& progress) {
  TCsvResult result;
  const std::string& header = table.Header();
  if (!sink(header.data(), header.size())) {
    result.Error = "cannot write";
    return result;
  }
  const size_t capacity = std::max<size_t>(size_t{1} << 20, 4 * table.MaxRowBytes());
  std::unique_ptr<char[]> buffer(new char[capacity]);
  for (size_t n; (n = table.NextRows(buffer.get(), capacity)) > 0;) {
    if (!sink(buffer.get(), n)) {
      result.Error = "cannot write";
      result.Rows = table.Rows();
      return result;
    }
    if (progress && !progress(table.Done())) {
      result.Cancelled = true;
      result.Error = "cancelled";
      result.Rows = table.Rows();
      return result;
    }
  }
  result.Ok = true;
  result.Rows = table.Rows();
  return result;
}

TCsvResult ExportCsvFile(TRecording& recording, const TCsvOptions& options, const std::string& path,
                         const TExportProgress& progress) {
  TCsvExport table(recording, options);
  TCsvResult result;
  std::string why;
  const bool saved = AtomicSave(
      path,
      [&](const std::string& tmp) {
        TBinFile file;
        if (!file.CreateNew(tmp)) return false;
        result = WriteCsv(
            table, [&](const char* data, size_t size) { return file.WriteBytes(data, size) == size; }, progress);
        return file.Close() && result.Ok;
      },
      &why);
  if (!saved && !result.Cancelled) result.Error = why;
  result.Ok = saved;
  return result;
}

std::vector<TDisplayVar*> DefaultCsvSensors(const TSensorList& sensors, const TRecording& recording) {
  std::vector<TDisplayVar*> chosen;
  for (int i = 0; i < sensors.DisplayVars->Count(); ++i) {
    TDisplayVar* var = sensors.Display(i);
    const TRawVar* source = var->Source;
    const TVarHist* history = source ? recording.HistoryFor(*source) : nullptr;
    if (history && history->Count() > 0) chosen.push_back(var);
  }
  return chosen;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}
