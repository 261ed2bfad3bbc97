#pragma once
// A recording's sensors as one CSV table on one time base: a time column, then one column per
// sensor. Each row holds every sensor's value at its latest sample at or before the row's time
// (sample and hold, never interpolated), converted and written as the .tdf export writes it; the
// field stays empty before the sensor's first sample. Rows come at a fixed rate (t = k / rate) or
// at every distinct sample time of the sensors' source histories; a row holds its values at the
// tick its time is written with (its five decimals). The text is made row by row
// into a buffer of fixed size, so memory does not grow with the number of rows.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/Ticks.h"

class TDisplayVar;
class TRecording;
class TSensorList;

struct TCsvOptions {
  // The columns, in order.
  std::vector<TDisplayVar*> Sensors;
  // Rows at t = k / RateHz (k = 0, 1, ...), or at every distinct sample time.
  double RateHz = 20;
  bool EverySample = false;
  // "<name> age (ms)" after each sensor's column: the time from its sample to the row's time.
  bool Age = false;
  // The rows' times lie within From..To seconds from the recording's start; To defaults to the
  // recording's length.
  double From = 0;
  std::optional<double> To;
};

// Called now and then with the share of the rows written (0..1); false cancels the export.
using TExportProgress = std::function<bool(double done)>;
// Takes the text piece by piece, in order; false when it could not be written.
using TTextSink = std::function<bool(const char* data, size_t size)>;

class TCsvExport {
 public:
  // The sensors read the recording through the variables, which the export makes current while
  // it reads (TBorrowCurrent); the histories' sample counts are taken once, here.
  TCsvExport(TRecording& recording, const TCsvOptions& options);
  ~TCsvExport();
  TCsvExport(const TCsvExport&) = delete;
  TCsvExport& operator=(const TCsvExport&) = delete;

  // The first line: "Time (s)", then "<name> (<unit>)" (or the name alone for a sensor without a
  // unit) and, with ages, "<name> age (ms)"; ended by LF.
  const std::string& Header() const { return header_; }
  // The most bytes one row takes: NextRows needs room for at least this much.
  size_t MaxRowBytes() const { return maxRow_; }
  // Writes as many whole rows as fit into out, which must have room for MaxRowBytes() at least
  // (std::invalid_argument otherwise: a row never waits for a buffer it cannot fit); the bytes
  // written, 0 once every row is written.
  size_t NextRows(char* out, size_t capacity);
  // Whether every row is written.
  bool Finished() const;

  // The share of the rows' time span written so far (0..1).
  double Done() const;
  int64_t Rows() const { return rows_; }
  // Fields written so far, the time fields included.
  int64_t Values() const;

 private:
  struct TSource;
  struct TColumn;
  struct TField;
  struct TGearState;
  struct TBatch;
  // A batch of rows is made (the histories followed, the values found), then written as text.
  int NextRowTimes(TBatch& batch);
  void MakeBatch(TBatch& batch);
  // Writes the batch's rows from batchNext_ on while there is room (p at or before last); true
  // when its last row is written.
  bool WriteBatch(char*& p, const char* last, const TBatch& batch);
  template <bool Age>
  char* WriteRow(char* p, const TBatch& batch, int r);
  // A time of ticks as seconds with five decimals, as WriteScaled writes it.
  char* WriteTime(char* p, TTicks ticks);

  TRecording& recording_;
  TCsvOptions options_;
  std::vector<TSource> sources_;
  // Each column as its rows are made, and as its fields are written.
  std::vector<TColumn> columns_;
  std::vector<TField> fields_;
  std::string header_;
  size_t maxRow_ = 0;
  // The rows' bounds in ticks of 10 microseconds.
  TTicks fromKey_ = 0, toKey_ = 0;
  int64_t k_ = 0;  // the next row's k of t = k / rate
  TTicks ticksPerRow_ = 0;  // 1 / rate in ticks, when that is whole
  bool ended_ = false;  // no more row times
  std::unique_ptr<TBatch> batch_;
  int batchNext_ = 0;  // the next row of the batch to write
  int64_t rows_ = 0;
  TTicks lastKey_ = 0;
  double lastSeconds_ = 0;
  // The text of the last row's whole seconds and the point, kept while they last.
  uint64_t timeWhole_ = 0;
  size_t timeLength_ = 0;
  char timeText_[32] = {};
};

struct TCsvResult {
  bool Ok = false;
  bool Cancelled = false;
  std::string Error;  // why it failed
  int64_t Rows = 0;
};

// The whole table (header and rows) into sink, a quarter of a megabyte at a time; progress is told
// after every piece. Fails when the sink fails or progress cancels.
TCsvResult WriteCsv(TCsvExport& table, const TTextSink& sink, const TExportProgress& progress = {});
// The table written to path atomically: a failed or cancelled export leaves no file behind and an
// existing file as it was.
TCsvResult ExportCsvFile(TRecording& recording, const TCsvOptions& options, const std::string& path,
                         const TExportProgress& progress = {});

// The sensors a table has when none are named: every display sensor, in the catalogue's (the
// sensor list's) order, whose source history in the recording holds samples.
std::vector<TDisplayVar*> DefaultCsvSensors(const TSensorList& sensors, const TRecording& recording);
// A field as RFC 4180 writes it: quoted, with its quotes doubled, when it holds a comma, a quote or
// a line break; as it is otherwise.
std::string CsvField(const std::string& text);
