#pragma once
// A table that follows its source as samples arrive: a recording (its samples so far, then those
// the poll thread appends, read through the histories' published counts so the poll thread never
// waits) or, while connected without recording, every value the poll thread reads (its sample
// feed), each sensor held at its latest value as a recording's are. It also keeps the
// observations that fell in a cell for the scatter plot, the cell of the newest one, and finds the
// stretches of a cell for the cursor.
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/ObservationWalker.h"
#include "analysis/Table.h"
#include "history/SampleFeed.h"

class THistorySet;
class TDisplayVar;
class TRawVar;

struct TScatterPoint {
  float X, Y, Z;
};
// In pieces that never move: a table growing past a million points never copies them all in one
// update.
using TScatterPoints = std::deque<TScatterPoint>;

enum class TTableSource : uint8_t { None, Recording, Live };

class TTableTracker {
 public:
  explicit TTableTracker(const TSensorList& sensors);
  ~TTableTracker();

  const TTableSpec& Spec() const { return spec_; }
  // Another table starts over from the source's beginning.
  void SetSpec(const TTableSpec& spec);
  // Follows a recording (none: no source). Another recording than the one followed starts over;
  // the same one goes on from where it was.
  void FollowRecording(const THistorySet* recording);
  // Follows the values the poll thread reads from now on, through its feed; starts over unless
  // already following that feed.
  void FollowLive(const TSampleFeed* feed);
  // Forgets what was taken in and starts over from the source's beginning.
  void Restart();
  TTableSource Source() const { return source_; }
  const THistorySet* Recording() const { return recording_; }

  // Takes in what arrived since the last call; true when the table changed.
  bool Update();
  const TTable& Table() const { return table_; }
  // Live values the poll thread read that were gone from its feed before they were taken.
  uint64_t LostLive() const { return lostLive_; }
  // The observations in a cell, in order.
  const TScatterPoints& Points() const { return points_; }
  // The cell (cy x columns + cx) of the newest observation; -1 when it was in none.
  int NewestCell() const { return newestCell_; }
  // The cell of the observation at a time of the recording; -1 outside every cell or without one.
  int CellAt(TTicks ticks);

  // Where the cursor goes for a click on a cell of the followed recording: the time (ticks) of
  // the first sample of the first stretch of consecutive observations in the cell that starts
  // after `after`, or of the first stretch when none does (or when after is none). None when the
  // cell holds nothing.
  std::optional<TTicks> NextStretch(int cell, std::optional<TTicks> after);

 private:
  // A sensor of the live table and its latest value from the feed.
  struct TLiveChannel {
    TDisplayVar* Var = nullptr;  // none: the catalogue has no such sensor with a source
    bool Seen = false;           // a value came since following began
    TTicks At = 0;
    uint16_t Raw = 0;
    double Value() const;
  };
  void Take(TTableFiller& filler, const TObservation& o);
  void TakeLive();
  void ObserveLive(TTableFiller& filler, TTicks t);

  const TSensorList& sensors_;
  TTableSpec spec_;
  TTableSource source_ = TTableSource::None;
  const THistorySet* recording_ = nullptr;
  std::unique_ptr<TObservationWalker> walker_, probe_;
  TTable table_;
  TScatterPoints points_;
  int newestCell_ = -1;
  int64_t taken_ = 0;  // observations taken since the start
  // Live: Z first, then X, Y and the filter sensors.
  std::vector<TLiveChannel> live_;
  const TSampleFeed* feed_ = nullptr;
  uint64_t fed_ = 0;  // the feed's position taken up to
  std::vector<TSampleFeed::TEntry> entries_;
  std::vector<uint32_t> liveIds_;  // each channel's source's id
  TTickUnwrapper liveClock_;
  int32_t liveIndex_ = 0;
  uint64_t lostLive_ = 0;
};
