#pragma once
// The sensor list page: one row per display variable with its log check box, value, unit and poll
// rate, and while the link is up the lowest and highest value since it came up and how often the
// sensor is really read (a logged sensor that is not read shows its rate in red). The texts, the
// rate stepping and the columns' widths come from rules/Dashboard, the statistics from
// rules/SensorStats; rows are found by the display variable's id kept as the row's data, never by
// position. The columns share the list's whole width.
#include <QTreeWidget>

#include <cstdint>
#include <optional>
#include <vector>

#include "rules/SensorStats.h"

class TSensorList;

class TSensorListView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TSensorListView(QWidget* parent = nullptr);

  // Empties the list and creates the columns.
  void SetupSensorList();
  // Creates missing rows and rewrites every row's check box, name, unit and rate. The catalogue is
  // kept for the check boxes and the rate keys.
  void FillSensorList(TSensorList& sensors);
  // Rewrites the value and statistics cells whose text changed. liveMs: the time (a steady clock,
  // in milliseconds) of a refresh of the live link, which the statistics take in; none while the
  // link is down (the statistics then keep what they last showed).
  void UpdateSensorValues(const TSensorList& sensors, std::optional<int64_t> liveMs = std::nullopt);
  // The link has come up: the statistics start anew.
  void ResetStatistics();

  // The row of a display variable; none when it has no row.
  QTreeWidgetItem* RowForId(uint32_t id) const;
  static uint32_t IdOf(const QTreeWidgetItem* row);

 signals:
  // A check box or a rate key changed what the poll thread reads on its next pass.
  void PollSettingsChanged();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OnItemChanged(QTreeWidgetItem* row, int column);
  void SpreadColumnWidths();

  TSensorList* sensors_ = nullptr;
  bool filling_ = false;
  std::vector<int> narrowest_;  // each column's narrowest width in this font
  TSensorStats stats_;
};
