#pragma once
// The sensor list page: one row per display variable with its log check box, value, unit and poll
// rate. The texts and the rate stepping come from rules/Dashboard; rows are found by the display
// variable's id kept as the row's data, never by position.
#include <QTreeWidget>

#include <cstdint>

class TSensorList;

class TSensorListView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TSensorListView(QWidget* parent = nullptr);

  // Empties the list and creates the five columns.
  void SetupSensorList();
  // Creates missing rows and rewrites every row's check box, name, unit and rate. The catalogue is
  // kept for the check boxes and the rate keys.
  void FillSensorList(TSensorList& sensors);
  // Rewrites the value cells whose text changed.
  void UpdateSensorValues(const TSensorList& sensors);

  // The row of a display variable; none when it has no row.
  QTreeWidgetItem* RowForId(uint32_t id) const;
  static uint32_t IdOf(const QTreeWidgetItem* row);

 signals:
  // A check box or a rate key changed what the poll thread reads on its next pass.
  void PollSettingsChanged();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnItemChanged(QTreeWidgetItem* row, int column);

  TSensorList* sensors_ = nullptr;
  bool filling_ = false;
};
