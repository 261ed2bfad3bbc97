#pragma once
// The laps page: one row per lap of the current recording, its number and its time in seconds,
// recomputed from the recording on every refresh so the table grows while recording.
#include <QWidget>

class QTreeWidget;
class TSensorList;

class TLapDisplay : public QWidget {
  Q_OBJECT
 public:
  explicit TLapDisplay(TSensorList& sensors, QWidget* parent = nullptr);

  // Rebuilds the rows from the current recording: existing rows are reused, surplus ones
  // deleted; no rows without a current recording.
  void RefreshLaps();
  void UpdateLaps() { RefreshLaps(); }

  // The rows shown at the last refresh.
  int LapCount() const;
  bool HasLaps() const { return LapCount() > 0; }

  QTreeWidget* ListView() const { return list_; }

 private:
  TSensorList& sensors_;
  QTreeWidget* list_ = nullptr;
};
