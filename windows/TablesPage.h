#pragma once
// The Tables page: where the engine ran and what the mixture was there. The choices on top (the
// sensors across, down and in the cells with their edges, the statistic, the colour scale, the
// filters, the oldest held value, the fewest samples a cell shows), the grid beside the scatter
// plot, and a line saying what the table holds. It fills while connected or recording; a click on
// a cell asks for the cursor to go to the cell's next stretch of samples. Its rules are
// analysis/TablesPageModel and rules/TableLayout.
#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "analysis/TablesPageModel.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QSplitter;
class TTableGrid;
class TScatterPlot;
class TRecording;

// What the page follows at a refresh.
struct TTablesPageState {
  bool Connected = false;  // the link is up
  bool Recording = false;  // a run is being recorded into the current recording
  TRecording* Current = nullptr;
  double Position = 0;  // the play position, seconds
  const TSampleFeed* Feed = nullptr;  // every value the link reads, for the live table
};

class TTablesPage : public QWidget {
  Q_OBJECT
 public:
  TTablesPage(TSettings& settings, const TSensorList& sensors, QWidget* parent = nullptr);

  TTablesPageModel& Model() { return model_; }

  // Follows the source the state gives, takes in what arrived (at most every quarter of a second
  // unless forced), shown or not, and while the page is shown frames the cursor's cell. The recording
  // followed is the current one: a recording is made not current before it is closed, and the
  // window refreshes then, so the page never holds one that is gone.
  void Refresh(const TTablesPageState& state, bool force = false);
  // The settings changed (units, the MAP sensor, the lambda table): the table starts over.
  void SettingsChanged();

  // The table as tab-separated text on the clipboard.
  void CopyTable();
  // The table as CSV in a file; false with the reason.
  bool SaveTable(const std::string& path, std::string* error);
  // The table's text with a separator, as copied or saved.
  std::string TableText(char separator) const;

  // In place of the Save Table dialog (tests): the chosen path, empty when cancelled.
  std::function<std::string()> ChooseSavePath;
  // Shows a failure; a message box unless replaced.
  std::function<void(const std::string&)> ShowMessage;

  // The controls, for tests.
  QComboBox* SensorBox(TTableAxis axis) const { return sensorBoxes_[static_cast<int>(axis)]; }
  QLineEdit* EdgesEdit(TTableAxis axis) const { return axis == TTableAxis::X ? xEdges_ : yEdges_; }
  QLineEdit* FiltersEdit() const { return filters_; }
  QComboBox* StatBox() const { return stat_; }
  QSpinBox* MinCountBox() const { return minCount_; }
  QSpinBox* MaxAgeBox() const { return maxAge_; }
  QLineEdit* TargetEdit() const { return target_; }
  QLineEdit* SpanEdit() const { return span_; }
  QPushButton* CopyButton() const { return copy_; }
  QPushButton* SaveButton() const { return save_; }
  QLabel* StatusLine() const { return status_; }
  TTableGrid* Grid() const { return grid_; }
  TScatterPlot* Scatter() const { return scatter_; }
  QSplitter* Splitter() const { return splitter_; }

 signals:
  // A click on a cell: the cursor is to go to this time (seconds).
  void SeekRequested(double seconds);

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  QWidget* BuildChoices();
  // The controls show the model's choices.
  void ShowChoices();
  // The widgets take the model's table, names and scale anew.
  void Rebind();
  void Take();
  void ShowStatus();
  void ShowProblem(const std::string& what, const std::string& why);
  void SaveCommand();
  void CellClicked(int cell);

  TSettings& settings_;
  const TSensorList& sensors_;
  TTablesPageModel model_;
  TTablesPageState state_;
  QElapsedTimer sinceTaken_;
  std::string problem_;  // the last choice refused, until the next one taken
  std::string notice_;   // feedback after a copy or a save, shown for a few seconds
  QElapsedTimer sinceNotice_;
  QComboBox* sensorBoxes_[3] = {};
  QLineEdit* xEdges_ = nullptr;
  QLineEdit* yEdges_ = nullptr;
  QLineEdit* filters_ = nullptr;
  QComboBox* stat_ = nullptr;
  QSpinBox* minCount_ = nullptr;
  QSpinBox* maxAge_ = nullptr;
  QLineEdit* target_ = nullptr;
  QLineEdit* span_ = nullptr;
  QPushButton* copy_ = nullptr;
  QPushButton* save_ = nullptr;
  QLabel* status_ = nullptr;
  QSplitter* splitter_ = nullptr;
  TTableGrid* grid_ = nullptr;
  TScatterPlot* scatter_ = nullptr;
};
