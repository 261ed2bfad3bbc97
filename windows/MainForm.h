#pragma once
// The main window: menus, two toolbars with the status panels and the position track bar, and
// the page control with the dashboard, sensor list, graph, error codes, recordings, laps and
// tables pages. Its rules (states, enabling, status texts, keys) are plain functions of rules/MainLogic;
// the window gathers their inputs, stores the state they return and carries out their effects.
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "windows/BaseForm.h"
#include "rules/JournalNotice.h"
#include "rules/MainLogic.h"

class QAction;
class QLabel;
class QMenu;
class QSlider;
class QTabWidget;
class QToolBar;
class QToolButton;
class QWidget;
class QPrinter;
class TQtMessageTarget;
class TRecording;
class TDashboardPage;
class TSensorListView;
class TErrorList;
class TRecMan;
class TLapDisplay;
class TTablesPage;
class TGraphControl;
class TGraphListForm;
class TGraphOverlayMenu;
class TProgram;

// What the window asks the user; tests replace these to answer without a dialog.
struct TMainFormPrompts {
  // "Do you want to save this recording?" / the unsaved-recordings question: Yes, No or Cancel.
  std::function<TCloseAnswer(const std::string& question)> Ask;
  // A message box with a failure ("Could not save recording '<path>' - <reason>") or a load
  // message; every failure the window reports comes here.
  std::function<void(const std::string& text)> ShowMessage;
  // In place of the Open dialog: the chosen path, or empty when cancelled. Unset: the dialog.
  std::function<std::string()> ChooseOpenPath;
  // In place of the Save As dialog: the chosen path, or empty when cancelled. Unset: the dialog.
  std::function<std::string(TRecording&)> ChooseSavePath;
  // In place of running the graph list dialog: true for OK. Unset: the dialog runs.
  std::function<bool(TGraphListForm&)> RunGraphList;
};

class TMainForm : public TBaseForm {
  Q_OBJECT
 public:
  // The window over the program's state; its placement is kept in the program's INI file.
  explicit TMainForm(TProgram& program, QWidget* parent = nullptr);
  ~TMainForm() override;

  enum Page { tsECU = 0, tsSensors, tsGraphs, tsErrorCodes, tsRecordings, tsLaps, tsTables, PageCount };

  QTabWidget* Pages() const { return pages_; }
  QWidget* PageWidget(Page p) const { return pageWidgets_[p]; }
  // Shows the page and its tab (the laps tab stays while that page is on show or there are laps).
  void SelectPage(Page p);
  bool IsPageVisible(Page p) const;
  void SetPageVisible(Page p, bool visible);
  TQtMessageTarget* MessageTarget() const { return messages_.get(); }

  QAction* Action(TCommand c) const { return actions_[static_cast<size_t>(c)]; }
  QLabel* StatusPanel(TStatusPanel p) const { return panels_[static_cast<size_t>(p)]; }
  QSlider* PositionTrackBar() const { return trackBar_; }
  QToolButton* ErrorsButton() const { return errorsButton_; }
  // The status bar's warning while a run goes without its journal (hidden otherwise).
  QLabel* JournalNotice() const { return journalNotice_; }
  // "Simulated ECU" beside the connection status, shown while the link is the built-in simulator.
  QAction* SimulatedPanel() const { return simulatedPanel_; }
  QMenu* RecordingsMenu() const { return recordingsMenu_; }
  QMenu* ReopenMenu() const { return reopenMenu_; }
  TDashboardPage* Dashboard() const { return dashboard_; }
  TSensorListView* SensorListView() const { return sensorList_; }
  TErrorList* ErrorListView() const { return errorList_; }
  TRecMan* RecordingsView() const { return recMan_; }
  TLapDisplay* LapView() const { return lapDisplay_; }
  TTablesPage* TablesView() const { return tables_; }
  TGraphControl* GraphView() const { return graph_; }
  TGraphOverlayMenu* GraphOverlayMenu() const { return overlayMenu_; }
  const TMainState& State() const { return state_; }
  TMainFormPrompts Prompts;

  // The operations the rest of the program calls on the window.
  void UpdateActions();
  void UpdateDisplays();
  void UpdateRecordingsMenu();
  void ClearDashboard();
  // How long a note of a success stays in the status bar.
  static constexpr int NoteMs = 8000;
  // Open as the Reopen submenu and dropped files do: on success the recording becomes current.
  bool OpenRecentFile(const std::string& path);
  // Files dropped on the window, opened in the order given.
  void OnDropFiles(const QStringList& files);
  // Offers, through Prompts.Ask, the recordings that runs left unsaved in the journal folder
  // (JournalFolder() when empty); called once at start.
  void OfferRecovery(const std::string& folder = {});
  // The window's image under the title "Revscope - <description>", scaled to 90 % of the page;
  // false without a current recording or when the printer cannot start.
  bool PrintWindow(QPrinter& printer);
  // The chart's visible window on one page under the same title; false as above.
  bool PrintGraph(QPrinter& printer);

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateToolBars();
  void CreatePages();
  void Execute(TCommand c);
  // Stores the step's state and carries out its effects in order.
  void Apply(const TMainStep& step);
  void Perform(const TMainEffect& effect);
  TRecordingOptions Options() const;
  bool Playing() const;
  void SeekTo(double seconds);
  // Reads the player's time once and shows it (ShownPosition): the toolbar's text, the track bar
  // and the chart's cursor. While a run is recorded the chart follows the run and only the text
  // changes, unless the recording shown has just changed.
  void ShowPlayPosition(bool recordingChanged = false);
  void RefreshViews();
  void UpdateStatusPanels();
  void UpdateJournalNotice();
  // The link's device is the built-in simulated ECU (asked only when it can have changed: reading
  // a COM port's device reads the per-machine settings file).
  bool Simulated() const;
  void RebuildReopenMenu();
  void NewRecording(int number);
  void AutoSave();
  bool SaveRecordingAs(TRecording* recording);
  void OpenCommand();
  void ExportCommand();
  void PrintCommand();
  void PrintSetupCommand();
  void CheckDSR();
  bool HasPrinter() const;
  void ShowAbout();
  // A failure, through Prompts.ShowMessage; a short note of a success in the status bar.
  void Report(const std::string& text);
  void Note(const std::string& text);
  void GraphCommand(TCommand c);
  // Layout and repaint; valuesChanged: units, settings or the ECU type changed what is drawn.
  void RebuildGraph(bool valuesChanged);
  void SettingsCommand();
  // The pages' parts of the refreshes: values, the recording that changed, the column widths.
  void FillSensorList();
  void UpdatePages();
  void RefreshPages();
  void UpdateLaps();
  void UpdateLapsTab();
  void RefreshTables(bool force);
  void ResizePages();

  TProgram& p_;
  TMainState state_;
  bool updatingPosition_ = false;
  TShownPosition shown_ = ShownPosition(0);  // the play position on show
  QTabWidget* pages_ = nullptr;
  std::array<QWidget*, PageCount> pageWidgets_{};
  std::array<QAction*, CommandCount> actions_{};
  std::array<QLabel*, static_cast<size_t>(TStatusPanel::Count)> panels_{};
  QSlider* trackBar_ = nullptr;
  QToolBar* topBar_ = nullptr;
  QToolButton* errorsButton_ = nullptr;
  QMenu* reopenMenu_ = nullptr;
  QMenu* recordingsMenu_ = nullptr;
  TDashboardPage* dashboard_ = nullptr;
  TSensorListView* sensorList_ = nullptr;
  TErrorList* errorList_ = nullptr;
  TRecMan* recMan_ = nullptr;
  TLapDisplay* lapDisplay_ = nullptr;
  TTablesPage* tables_ = nullptr;
  TGraphControl* graph_ = nullptr;
  TGraphOverlayMenu* overlayMenu_ = nullptr;  // the Graph menu's laps and compare commands
  std::pair<const TRecording*, int32_t> lapsShown_{};  // the recording and lap count on the laps page
  QLabel* journalNotice_ = nullptr;
  QAction* simulatedPanel_ = nullptr;
  std::string journalError_;  // why the running recording has no journal; empty when it has one
  TJournalWatch journalWatch_;
  std::unique_ptr<TQtMessageTarget> messages_;
  std::unique_ptr<QPrinter> printer_;
};
