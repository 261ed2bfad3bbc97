#include "analysis/CsvExport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "analysis/DecimalText.h"
#include "base/AtomicSave.h"
#include "base/BinFile.h"
#include "history/HistoryCursor.h"
#include "recording/FileOperations.h"
#include "vars/Conversions.h"
#include "vars/Settings.h"

namespace {
// The decimals of the exported numbers: values as the .tdf files have them ("%f"), the time as
// seconds, the age as milliseconds.
constexpr int kValueDecimals = 6, kTimeDecimals = 5, kAgeDecimals = 2;
// The longest time or age field (20 digits, a point, the decimals).
constexpr size_t kMaxNumberChars = 32;

// A bound in seconds as ticks of 10 microseconds: the last tick at or before it, or the first at
// or after it; none before the recording's start.
TTicks BoundTicks(double seconds, bool up) {
  return std::max<TTicks>(0, up ? TicksAtOrAfter(seconds) : TicksAtOrBefore(seconds));
}

// The tick a row's time in seconds is written with (its five decimals): the row holds its values
// there.
TTicks RowTicks(double seconds) {
  uint64_t ticks = 0;
  if (!RoundScaled(seconds, 5, ticks)) return ticks_detail::Clamped(seconds * static_cast<double>(kTicksPerSecond));
  return seconds < 0 ? 0 : static_cast<TTicks>(ticks);
}

// Rows are made in batches: each history is followed over the batch's rows in one stretch, the
// values that are not conversions of a raw value found column by column, and then the rows
// written, each field copied from its column's texts.
constexpr int kBatchRows = 256;
// A value's text of up to this many characters is copied as one block of this size.
constexpr size_t kSlot = 16;

// Asks the memory for the next n samples' times and raw values after a cursor's: a pass over many
// histories at once reads each one a little at a time, too little for the processor to see the
// stream.
void Prefetch(const THistoryCursor& c, int32_t n) {
  int32_t next = c.Index() + 1;
  n = std::min(n, c.Count() - next);
  for (int32_t start = c.SpanStart(); n > 0;) {
    const TVarHist::TSpan run = start == c.SpanStart() ? c.Span() : c.History()->SpanAt(start, c.Count());
    const int32_t from = next - start, to = std::min(run.Length, from + n);
    for (int32_t k = from; k < to; k += 16) __builtin_prefetch(run.Times + k);
    for (int32_t k = from; k < to; k += 32) __builtin_prefetch(run.Raws + k);
    n -= to - from;
    next = start += run.Length;
  }
}

// The last texts made for keys (raw values or values), one place for each group of them; a text
// of up to kSlot characters is kept and copied as one block of that size.
template <typename Key, size_t Places>
struct TTextCache {
  Key Keys[Places] = {};
  uint8_t Length[Places] = {};  // 0: the place is empty
  alignas(kSlot) char Text[Places][kSlot] = {};

  // The text of key (in place) at p, which has room for the longest; made by make(p), which
  // returns the text's end, when it is not kept. The end of the text.
  template <typename Make>
  char* Write(char* p, Key key, size_t place, const Make& make) {
    if (Keys[place] == key && Length[place] != 0) {
      std::memcpy(p, Text[place], kSlot);
      return p + Length[place];
    }
    return Miss(p, key, place, make);
  }

  template <typename Make>
  [[gnu::noinline]] char* Miss(char* p, Key key, size_t place, const Make& make) {
    char* end = make(p);
    const auto length = static_cast<size_t>(end - p);
    if (length <= kSlot) {
      Keys[place] = key;
      Length[place] = static_cast<uint8_t>(length);
      std::memcpy(Text[place], p, kSlot);
    }
    return end;
  }
};
// Raw values by their low 12 bits and high 4 (a raw value may hold two bytes); only the places
// in use take cache lines. Values by a hash of their bits.
using TRawTexts = TTextCache<uint16_t, 4096>;
using TValueTexts = TTextCache<uint64_t, 4096>;
}  // namespace

// A source history as the rows see it: the sample in force at each row of the batch.
struct TCsvExport::TSource {
  THistoryCursor Follow;  // the rows' samples
  THistoryCursor Merge;   // every sample, for the rows' times
  int Index = 0;   // in the export's sources, and so in a batch's rows
  // Gear columns, which see every sample.
  std::vector<TColumn*> Walkers;
  // The batch's rows before the history's first sample, whose fields stay empty.
  int FirstRow = 0;
  int32_t RowIndex[kBatchRows];
  bool Ages = false;

  void FollowRows(TBatch& batch);
};

// The rows of a batch as they are written: their times and what each field shows.
struct TCsvExport::TBatch {
  TBatch(size_t sources, size_t columns)
      : HeldFrom(columns), Raws(sources * kBatchRows), Ticks(sources * kBatchRows), Values(columns * kBatchRows) {}
  int Rows = 0;
  // The tick each row holds its values at (the one its time is written with) and, at a rate, its
  // time in seconds.
  TTicks Keys[kBatchRows] = {};
  double Seconds[kBatchRows] = {};
  // Each column's first row that holds a sample (kBatchRows: none).
  std::vector<int> HeldFrom;
  // Each source's rows' raw values and sample times (the latter for the ages), kBatchRows apiece.
  std::vector<uint16_t> Raws;
  std::vector<TTicks> Ticks;
  // The rows' values of each column kept by value, kBatchRows apiece.
  std::vector<double> Values;
};

// A column as its rows are made.
struct TCsvExport::TColumn {
  TSource* Source = nullptr;  // none: the recording has no history of it and the field stays empty
  int Index = 0;              // in the export's columns
  TDisplayVar* Var = nullptr;
  // A gear sensor's value follows from the samples before (the bands between the ratios hold the
  // gear found last), so every one of its samples is evaluated in order, as the .tdf export
  // evaluates them.
  bool Gear = false;
  double WalkedValue = 0;
  // The values of a column whose value is not the conversion of its raw sample alone, for
  // samples asked in ascending order.
  std::unique_ptr<TValuesInOrder> InOrder;

  // The values of the batch's rows, for a column kept by value whose values the rows do not
  // already have; a row whose sample is the row before's has its value.
  void FindValues(TBatch& batch) const {
    if (!Source || !InOrder || Gear) return;
    double* values = batch.Values.data() + static_cast<size_t>(Index) * kBatchRows;
    for (int r = Source->FirstRow; r < batch.Rows; ++r) {
      const int32_t index = Source->RowIndex[r];
      values[r] = r > Source->FirstRow && index == Source->RowIndex[r - 1] ? values[r - 1] : InOrder->At(index);
    }
  }
};

// A column as its fields are written: what the rows read, field after field, kept together.
struct TCsvExport::TField {
  TDisplayVar* Var = nullptr;
  int Index = 0;         // in the export's columns
  int SourceIndex = -1;  // in the export's sources; -1: none
  // The batch being written: its rows from HeldFrom on hold a sample; a column kept by raw value
  // reads the rows' raw values at Raws, one kept by value their values at Values.
  int HeldFrom = kBatchRows;
  const uint16_t* Raws = nullptr;
  const double* Values = nullptr;
  const TTicks* Ticks = nullptr;
  // The last field written: its key (below) and text; kNoKey when its text is not kept (or none
  // was written yet). No raw value is that, and no value: it is a NaN no arithmetic on numbers makes.
  static constexpr uint64_t kNoKey = UINT64_MAX;
  uint64_t LastKey = kNoKey;
  uint8_t LastLength = 0;
  char LastText[kSlot] = {};
  // Where the value is the conversion of the raw sample alone, equal raw values give equal
  // texts: they are kept by raw value. Other columns are given each row's value and keep their
  // texts by value.
  std::unique_ptr<TRawTexts> RawTexts;
  std::unique_ptr<TValueTexts> ValueTexts;

  // The batch's rows as this column reads them.
  void Bind(const TBatch& batch) {
    HeldFrom = batch.HeldFrom[static_cast<size_t>(Index)];
    if (SourceIndex < 0) return;
    const size_t rows = static_cast<size_t>(SourceIndex) * kBatchRows;
    Raws = RawTexts ? batch.Raws.data() + rows : nullptr;
    Ticks = batch.Ticks.data() + rows;
    Values = batch.Values.data() + static_cast<size_t>(Index) * kBatchRows;
  }

  // The field of row r at p, which has room for the longest; the end of the text.
  char* Write(char* p, int r) {
    uint64_t key = 0;
    if (Raws)
      key = Raws[r];
    else
      std::memcpy(&key, &Values[r], sizeof key);
    // Most fields repeat the row before's, whose text is here, in a line the rows keep warm.
    if (key == LastKey) {
      std::memcpy(p, LastText, kSlot);
      return p + LastLength;
    }
    char* end = Raws ? WriteRaw(p, static_cast<uint16_t>(key)) : WriteValue(p, key, Values[r]);
    const auto length = static_cast<size_t>(end - p);
    LastKey = length <= kSlot ? key : kNoKey;
    LastLength = static_cast<uint8_t>(length);
    std::memcpy(LastText, p, kSlot);
    return end;
  }

  char* WriteRaw(char* p, uint16_t raw) {
    return RawTexts->Write(p, raw, (raw ^ (raw >> 12)) & 0xFFFu,
                           [&](char* at) { return WriteFixed(at, Var->ConvertRecorded(Var->Unit, raw), kValueDecimals); });
  }

  char* WriteValue(char* p, uint64_t bits, double value) {
    return ValueTexts->Write(p, bits, (bits * 0x9E3779B97F4A7C15u) >> 52,
                             [&](char* at) { return WriteFixed(at, value, kValueDecimals); });
  }
};

void TCsvExport::TSource::FollowRows(TBatch& batch) {
  const TTicks* const keys = batch.Keys;
  const int rows = batch.Rows;
  uint16_t* const rowRaw = batch.Raws.data() + static_cast<size_t>(Index) * kBatchRows;
  TTicks* const rowTicks = batch.Ticks.data() + static_cast<size_t>(Index) * kBatchRows;
  double* const values = batch.Values.data();
  // The cursor in a local, which the compiler keeps in registers.
  THistoryCursor follow = Follow;
  FirstRow = 0;
  const int32_t start = follow.Index();
  if (!Walkers.empty()) {
    for (int r = 0; r < rows; ++r) {
      const TTicks key = keys[r];
      while (follow.NextTicks() <= key) {
        follow.Step();
        for (TColumn* c : Walkers) c->WalkedValue = c->InOrder->At(follow.Index());
      }
      for (TColumn* c : Walkers) values[static_cast<size_t>(c->Index) * kBatchRows + static_cast<size_t>(r)] = c->WalkedValue;
      if (!follow.Holds()) FirstRow = r + 1;
      RowIndex[r] = follow.Index();
      rowRaw[r] = follow.Raw();
      rowTicks[r] = follow.Ticks();
    }
  } else {
    // Within a plain block (history/History.h) a sample's time is the block's offset plus its
    // ticks: there the held sample moves on by plain comparisons of ticks, short of the block's
    // last sample, which the cursor steps onto and past.
    const uint32_t* times = nullptr;
    const uint16_t* raws = nullptr;
    int32_t held = 0;            // in the block
    TTicks base = 0, end = 0;    // end: the block's last time; 0 where the cursor steps
    int32_t runStart = 0;
    const auto enter = [&] {
      end = 0;
      const TVarHist::TSpan& run = follow.Span();
      const int32_t k = follow.Index() - follow.SpanStart();
      if (k < 0 || k + 1 >= run.Length || !run.Plain()) return;
      times = run.Times;
      raws = run.Raws;
      held = k;
      runStart = follow.SpanStart();
      base = run.Offset;
      end = base + times[run.Length - 1];
    };
    const auto leave = [&] { follow.MoveTo(runStart + held); };
    enter();
    for (int r = 0; r < rows;) {
      if (keys[r] < end) {
        // The rows within the block, with what they need in locals the stores cannot touch.
        const uint32_t* const t = times;
        const uint16_t* const w = raws;
        const TTicks b = base, e = end;
        const int32_t first = runStart;
        const bool ages = Ages;
        int32_t h = held;
        for (; r < rows && keys[r] < e; ++r) {
          const auto ticks = static_cast<uint32_t>(keys[r] - b);
          while (t[h + 1] <= ticks) ++h;
          RowIndex[r] = first + h;
          rowRaw[r] = w[h];
          if (ages) rowTicks[r] = b + t[h];
        }
        held = h;
        continue;
      }
      if (end) leave();
      follow.HoldAt(keys[r]);
      if (!follow.Holds()) FirstRow = r + 1;
      RowIndex[r] = follow.Index();
      rowRaw[r] = follow.Raw();
      rowTicks[r] = follow.Ticks();
      enter();
      ++r;
    }
    if (end) leave();
  }
  Follow = follow;
  // The next batch takes about as many samples as this one.
  Prefetch(follow, follow.Index() - start + (follow.Index() - start) / 4 + 16);
}

TCsvExport::TCsvExport(TRecording& recording, const TCsvOptions& options)
    : recording_(recording), options_(options) {
  const double to = options.To ? *options.To : recording.LengthSeconds();
  options_.To = to;
  fromKey_ = BoundTicks(options.From, true);
  toKey_ = BoundTicks(to, false);
  header_ = "Time (s)";
  // Columns and sources keep their places: they point at each other.
  columns_.resize(options.Sensors.size());
  fields_.resize(options.Sensors.size());
  sources_.reserve(options.Sensors.size());
  for (size_t i = 0; i < columns_.size(); ++i) {
    TColumn& c = columns_[i];
    TField& f = fields_[i];
    c.Index = f.Index = static_cast<int>(i);
    c.Var = f.Var = options.Sensors[i];
    c.Gear = dynamic_cast<TGearVar*>(c.Var) != nullptr;
    if (const TVarHist* history = c.Var->HistoryIn(recording)) {
      auto same = std::find_if(sources_.begin(), sources_.end(), [&](const TSource& s) { return s.Follow.History() == history; });
      if (same == sources_.end()) {
        same = sources_.emplace(sources_.end());
        same->Index = static_cast<int>(sources_.size() - 1);
        same->Follow = THistoryCursor(history);
        same->Ages = options.Age;
        same->Merge = same->Follow;
      }
      c.Source = &*same;
      f.SourceIndex = same->Index;
      if (c.Gear) same->Walkers.push_back(&c);
      if (c.Var->ValueFollowsRaw()) {
        f.RawTexts = std::make_unique<TRawTexts>();
      } else {
        f.ValueTexts = std::make_unique<TValueTexts>();
        c.InOrder = std::make_unique<TValuesInOrder>(*c.Var);
      }
    }

    const TSettings* settings = c.Var->Owner && c.Var->Owner->Context ? c.Var->Owner->Context->Settings : nullptr;
    const std::string unit = settings ? UnitText(c.Var->Unit, *settings) : std::string();
    const std::string name = c.Var->Name;
    header_ += "," + CsvField(unit.empty() ? name : name + " (" + unit + ")");
    if (options.Age) header_ += "," + CsvField(name + " age (ms)");
  }
  header_ += "\n";
  maxRow_ = kMaxNumberChars + 1 + columns_.size() * (1 + MaxFixedChars + (options.Age ? 1 + kMaxNumberChars : 0));
  // The first row at a rate: the first k with k / rate at or after From, each time computed as
  // k / rate. At sample times the first row is the first sample time at or after From.
  const double rate = options_.RateHz;
  // A whole rate that divides a second into whole ticks puts every row on a tick.
  if (rate >= 1 && rate == std::floor(rate) && std::fmod(static_cast<double>(kTicksPerSecond), rate) == 0)
    ticksPerRow_ = static_cast<TTicks>(static_cast<double>(kTicksPerSecond) / rate);
  if (!options_.EverySample) {
    k_ = static_cast<int64_t>(std::ceil(options_.From * rate));
    while (k_ > 0 && static_cast<double>(k_ - 1) / rate >= options_.From) --k_;
    while (static_cast<double>(k_) / rate < options_.From) ++k_;
  } else if (fromKey_ > 0) {
    for (TSource& s : sources_) s.Merge.HoldAt(fromKey_ - 1);
  }
  batch_ = std::make_unique<TBatch>(sources_.size(), columns_.size());
}

TCsvExport::~TCsvExport() = default;

// The times of the next batch of rows; fewer than a batch once the rows end.
int TCsvExport::NextRowTimes(TBatch& batch) {
  int rows = 0;
  for (; rows < kBatchRows; ++rows) {
    if (options_.EverySample) {
      TTicks key = kNeverTicks;
      for (const TSource& s : sources_) key = std::min(key, s.Merge.NextTicks());
      if (key > toKey_) break;
      for (TSource& s : sources_) s.Merge.HoldAt(key);
      batch.Keys[rows] = key;
    } else {
      const double seconds = static_cast<double>(k_) / options_.RateHz;
      if (seconds > *options_.To) break;
      ++k_;
      batch.Seconds[rows] = seconds;
      batch.Keys[rows] = ticksPerRow_ ? k_ * ticksPerRow_ - ticksPerRow_ : RowTicks(seconds);
    }
  }
  if (rows < kBatchRows) ended_ = true;
  return rows;
}

void TCsvExport::MakeBatch(TBatch& batch) {
  batchNext_ = 0;
  batch.Rows = NextRowTimes(batch);
  if (batch.Rows == 0) return;
  for (TSource& s : sources_) s.FollowRows(batch);
  for (TColumn& c : columns_) {
    batch.HeldFrom[static_cast<size_t>(c.Index)] = c.Source ? c.Source->FirstRow : kBatchRows;
    c.FindValues(batch);
  }
}

char* TCsvExport::WriteTime(char* p, TTicks ticks) {
  // The whole seconds stay the same for many rows: their text ("12.") is kept.
  const auto whole = static_cast<uint64_t>(ticks) / 100000;
  if (whole != timeWhole_ || timeLength_ == 0) {
    timeWhole_ = whole;
    timeLength_ = static_cast<size_t>(WriteScaled(timeText_, whole * 100000, kTimeDecimals) - timeText_) - kTimeDecimals;
  }
  std::memcpy(p, timeText_, sizeof timeText_);
  p += timeLength_;
  auto fraction = static_cast<uint32_t>(static_cast<uint64_t>(ticks) - whole * 100000);
  for (int i = kTimeDecimals - 1; i >= 0; --i, fraction /= 10) p[i] = static_cast<char>('0' + fraction % 10);
  return p + kTimeDecimals;
}

template <bool Age>
char* TCsvExport::WriteRow(char* p, const TBatch& batch, int r) {
  const TTicks key = batch.Keys[r];
  p = WriteTime(p, key);
  for (TField& c : fields_) {
    *p++ = ',';
    const bool held = r >= c.HeldFrom;
    if (held) p = c.Write(p, r);
    if constexpr (!Age) continue;
    *p++ = ',';
    if (!held) continue;
    // A tick is a hundredth of a millisecond.
    p = WriteScaled(p, static_cast<uint64_t>(std::max<TTicks>(0, key - c.Ticks[r])), kAgeDecimals);
  }
  *p++ = '\n';
  return p;
}

bool TCsvExport::WriteBatch(char*& p, const char* last, const TBatch& batch) {
  for (TField& f : fields_) f.Bind(batch);
  const int first = batchNext_;
  int r = first;
  if (options_.Age)
    for (; r < batch.Rows && p <= last; ++r) p = WriteRow<true>(p, batch, r);
  else
    for (; r < batch.Rows && p <= last; ++r) p = WriteRow<false>(p, batch, r);
  if (r > first) {
    rows_ += r - first;
    lastKey_ = batch.Keys[r - 1];
    lastSeconds_ = batch.Seconds[r - 1];
  }
  batchNext_ = r;
  return r == batch.Rows;
}

size_t TCsvExport::NextRows(char* out, size_t capacity) {
  if (capacity < maxRow_) throw std::invalid_argument("a CSV row needs a buffer of " + std::to_string(maxRow_) + " bytes");
  // Room for one more row while p is at or before last.
  const char* const last = out + (capacity - maxRow_);
  TBorrowCurrent borrow(&recording_);
  TBatch& batch = *batch_;
  char* p = out;
  // A batch's rows that do not fit wait for the next call.
  for (;;) {
    if (batchNext_ == batch.Rows) {
      if (ended_) break;
      MakeBatch(batch);
      if (batch.Rows == 0) break;
    }
    if (!WriteBatch(p, last, batch)) break;
  }
  return static_cast<size_t>(p - out);
}

bool TCsvExport::Finished() const { return ended_ && batchNext_ == batch_->Rows; }

double TCsvExport::Done() const {
  if (Finished()) return 1.0;
  if (rows_ == 0) return 0.0;
  const double span = options_.EverySample ? static_cast<double>(toKey_ - fromKey_) : *options_.To - options_.From;
  const double done = options_.EverySample ? static_cast<double>(lastKey_ - fromKey_) : lastSeconds_ - options_.From;
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
  const size_t capacity = std::max<size_t>(size_t{1} << 18, 4 * table.MaxRowBytes());
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
    const TVarHist* history = var->HistoryIn(recording);
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
