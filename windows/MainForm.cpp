#include "windows/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <optional>

#include "windows/AboutForm.h"
#include "windows/DashboardPage.h"
#include "windows/ErrorList.h"
#include "windows/FileDialogs.h"
#include "windows/GraphOverlayMenu.h"
#include "windows/HelpForm.h"
#include "windows/RecordingsPage.h"
#include "windows/SensorListView.h"
#include "windows/SettingsForm.h"
#include "windows/TablesPage.h"
#include "analysis/GearLearning.h"
#include "analysis/Laps.h"
#include "program/Program.h"
#include "windows/QtMessageTarget.h"
#include "rules/PortList.h"
#include "rules/Recovery.h"
#include "windows/GraphListForm.h"
#include "windows/GraphPaneMenu.h"
#include "widgets/GraphControl.h"
#include "widgets/GraphPrint.h"
#include "widgets/TrackBar.h"
#include "widgets/LapDisplay.h"
#include "ecu/DatalogPreset.h"
#include "ecu/PollThreadRS.h"
#include "recording/FileOperations.h"
#include "vars/Formatters.h"
#include "recording/RecordingManager.h"
#include "recording/PlayThread.h"

namespace {
const char* const kCaptions[TMainForm::PageCount] = {"F1 Dash", "F2 Sensors", "F3 Graphs",
                                                     "F4 Error Codes", "F5 Recordings", "F6 Laps", "F7 Tables"};

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Runs work with the wait cursor, restoring the previous cursor afterwards.
void Busy(const std::function<void()>& work) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  work();
  QGuiApplication::restoreOverrideCursor();
}

// Small toolbar pictures that the style does not provide: a printer, a plug and a record dot.
QIcon DrawnIcon(char kind) {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 40, 40), 2));
  switch (kind) {
    case 'p':  // printer
      p.setBrush(QColor(230, 230, 230));
      p.drawRect(9, 4, 14, 10);
      p.setBrush(QColor(120, 120, 130));
      p.drawRoundedRect(3, 13, 26, 11, 2, 2);
      p.setBrush(Qt::white);
      p.drawRect(9, 20, 14, 8);
      break;
    case 'c':  // plug
      p.setBrush(QColor(70, 110, 170));
      p.drawRoundedRect(8, 12, 16, 12, 3, 3);
      p.drawLine(12, 12, 12, 5);
      p.drawLine(20, 12, 20, 5);
      p.drawLine(16, 24, 16, 30);
      break;
    case 'r':  // record
      p.setBrush(QColor(210, 30, 30));
      p.drawEllipse(QPointF(16, 16), 10, 10);
      break;
    default: break;
  }
  return QIcon(pm);
}

TKey ToKey(int key) {
  if (key >= Qt::Key_F1 && key <= Qt::Key_F7) return static_cast<TKey>(static_cast<int>(TKey::F1) + (key - Qt::Key_F1));
  switch (key) {
    case Qt::Key_PageUp: return TKey::PageUp;
    case Qt::Key_PageDown: return TKey::PageDown;
    case Qt::Key_Home: return TKey::Home;
    case Qt::Key_End: return TKey::End;
    case Qt::Key_Left: return TKey::Left;
    case Qt::Key_Right: return TKey::Right;
    case Qt::Key_Up: return TKey::Up;
    case Qt::Key_Down: return TKey::Down;
    case Qt::Key_F: return TKey::F;
    case Qt::Key_Escape: return TKey::Escape;
    case Qt::Key_R: return TKey::R;
    case Qt::Key_C: return TKey::C;
    default: return TKey::Other;
  }
}

// The panel texts that decide a panel's width besides its design width.
const char* LongestPanelText(TStatusPanel p) {
  switch (p) {
    case TStatusPanel::RecordingLength: return "99:59:59.999s";
    case TStatusPanel::RecordingSize: return "99999k";
    case TStatusPanel::PlayPosition: return "99:59:59.999s";
    case TStatusPanel::ConnectionStatus: return "Connection error";
    case TStatusPanel::DatalogSpeed: return "9999 vars/s";
    case TStatusPanel::ErrorStatus: return "999 errs/s";
    default: return "";
  }
}
}  // namespace

TMainForm::TMainForm(TProgram& program, QWidget* parent)
    : TBaseForm(program.Config.IniPath, parent), p_(program), messages_(std::make_unique<TQtMessageTarget>(this)) {
  setObjectName("MainForm");
  setWindowTitle("Revscope");
  setWindowIcon(ProgramIcon());
  setMinimumSize(MinWindowWidth, MinWindowHeight);
  // From now on the worker threads report to this window.
  if (p_.PollThread) p_.PollThread->SetMessageTarget(messages_.get());
  if (p_.PlayThread) p_.PlayThread->SetMessageTarget(messages_.get());

  CreateActions();
  CreatePages();
  CreateMenus();
  for (QAction* menu : menuBar()->actions())
    if (menu->menu() && menu->menu()->actions().contains(Action(TCommand::actGraphShowFullLength)))
      overlayMenu_ = new TGraphOverlayMenu(this, *menu->menu(), Action(TCommand::actGraphShowFullLength), *graph_, p_.Core,
                                           [this](const std::string& text) { Report(text); });
  CreateToolBars();
  statusBar()->setObjectName("StatusBar");
  journalNotice_ = new QLabel(statusBar());
  journalNotice_->setObjectName("JournalNotice");
  journalNotice_->setStyleSheet("QLabel { background-color: #ffd34d; color: black; padding: 0 6px; }");
  journalNotice_->hide();
  statusBar()->addPermanentWidget(journalNotice_);
  // What an export wrote goes to the status bar like every other note.
  recMan_->ExportReports.OnDone = [this](const std::string& text) { Note(text); };

  // The recording manager's window parts.
  p_.Recordings.Hooks.WithBusyCursor = Busy;
  p_.Recordings.Hooks.ShowError = [this](const std::string& text) { Report(text); };
  p_.Recordings.Hooks.ShowMessage = [this](const std::string& text) { Report(text); };
  p_.Recordings.Hooks.ShowStatus = [this](const std::string& text) { Note(text); };
  p_.Recordings.Hooks.RefreshViews = [this] { RefreshViews(); };
  p_.Recordings.Hooks.RefreshRecordingList = [this] {
    UpdateRecordingsMenu();
    recMan_->RefreshList();
    UpdateActions();
  };
  p_.Recordings.Hooks.AskSave = [this](TRecording*) {
    switch (Prompts.Ask("Do you want to save this recording?")) {
      case TCloseAnswer::Yes: return TSaveAnswer::Yes;
      case TCloseAnswer::No: return TSaveAnswer::No;
      default: return TSaveAnswer::Cancel;
    }
  };
  p_.Recordings.Hooks.SaveRecordingAs = [this](TRecording* r) { return SaveRecordingAs(r); };

  Prompts.Ask = [this](const std::string& question) {
    auto answer = QMessageBox::warning(this, "Revscope", Q(question),
                                       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    return answer == QMessageBox::Yes ? TCloseAnswer::Yes : answer == QMessageBox::No ? TCloseAnswer::No
                                                                                      : TCloseAnswer::Cancel;
  };
  Prompts.ShowMessage = [this](const std::string& text) { QMessageBox::critical(this, "Revscope", Q(text)); };

  p_.RecentFiles.OnUpdateMenu = [this] { RebuildReopenMenu(); };
  RebuildReopenMenu();
  RestorePlacement();
  UpdateActions();
  ClearDashboard();
  // The laps page's tab appears only when there are laps to show or the page is chosen (F6).
  SetPageVisible(tsLaps, false);
  RefreshRecordings(p_.Core);
  setAcceptDrops(true);
  qApp->installEventFilter(this);

  // The record switch on the DSR line is looked at a few times a second rather than on every idle
  // moment: with the port closed each look asks the link to connect.
  auto* dsr = new QTimer(this);
  connect(dsr, &QTimer::timeout, this, [this] { CheckDSR(); });
  dsr->start(200);
}

TMainForm::~TMainForm() {
  qApp->removeEventFilter(this);
  // Before the message target goes: once these return, neither thread posts to it again.
  if (p_.PollThread) p_.PollThread->SetMessageTarget(nullptr);
  if (p_.PlayThread) p_.PlayThread->SetMessageTarget(nullptr);
  p_.Recordings.Hooks = {};
  p_.RecentFiles.OnUpdateMenu = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Construction

void TMainForm::CreateActions() {
  for (const TCommandInfo& info : CommandTable()) {
    auto* act = new QAction(QString::fromUtf8(info.Caption), this);
    if (*info.Shortcut) act->setShortcut(QKeySequence(QString::fromLatin1(info.Shortcut)));
    act->setShortcutContext(Qt::WindowShortcut);
    if (*info.Hint) {
      act->setToolTip(QString::fromUtf8(info.Hint));
      act->setStatusTip(QString::fromUtf8(info.Hint));
    }
    act->setCheckable(IsCheckable(info.Command));
    const TCommand c = info.Command;
    connect(act, &QAction::triggered, this, [this, c] { Execute(c); });
    actions_[static_cast<size_t>(c)] = act;
    addAction(act);
  }
  QStyle* st = style();
  auto icon = [this](TCommand c, const QIcon& i) { Action(c)->setIcon(i); };
  icon(TCommand::actFileOpen, st->standardIcon(QStyle::SP_DialogOpenButton));
  icon(TCommand::actFileSaveAs, st->standardIcon(QStyle::SP_DialogSaveButton));
  icon(TCommand::actFileClose, st->standardIcon(QStyle::SP_DialogCloseButton));
  icon(TCommand::actFilePrint, DrawnIcon('p'));
  icon(TCommand::actPlayBeg, st->standardIcon(QStyle::SP_MediaSkipBackward));
  icon(TCommand::actPlayRewind, st->standardIcon(QStyle::SP_MediaSeekBackward));
  icon(TCommand::actPlayPlay, st->standardIcon(QStyle::SP_MediaPlay));
  icon(TCommand::actPlayForward, st->standardIcon(QStyle::SP_MediaSeekForward));
  icon(TCommand::actPlayEnd, st->standardIcon(QStyle::SP_MediaSkipForward));
  icon(TCommand::actECUConnect, DrawnIcon('c'));
  icon(TCommand::actECURecord, DrawnIcon('r'));
}

void TMainForm::CreateMenus() {
  for (const TMenu& m : MainMenus()) {
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(m.Caption));
    if (m.Items.empty()) recordingsMenu_ = menu;
    for (const TMenuItem& item : m.Items) {
      switch (item.Kind) {
        case TMenuItem::TKind::Command: menu->addAction(Action(item.Command)); break;
        case TMenuItem::TKind::Separator: menu->addSeparator(); break;
        case TMenuItem::TKind::Submenu: {
          QMenu* sub = menu->addMenu(QString::fromUtf8(item.Caption));
          for (TCommand c : item.Items) sub->addAction(Action(c));
          break;
        }
        case TMenuItem::TKind::RecentFiles: reopenMenu_ = menu->addMenu(QString::fromUtf8(item.Caption)); break;
      }
    }
  }
}

void TMainForm::CreateToolBars() {
  auto panel = [this](TStatusPanel which) {
    const TStatusPanelInfo& info = StatusPanelTable()[static_cast<size_t>(which)];
    auto* label = new QLabel(this);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setToolTip(QString::fromUtf8(info.Hint));
    // The design width, or wider where this font makes the longest text wider.
    const int text = label->fontMetrics().horizontalAdvance(QString::fromUtf8(LongestPanelText(which))) + 12;
    label->setFixedWidth(std::max(info.Width, text));
    panels_[static_cast<size_t>(which)] = label;
    return label;
  };

  // Toolbar pictures at the size of the panels' text, so the bars stay compact.
  setIconSize(QSize(20, 20));
  topBar_ = addToolBar("Recording");
  topBar_->setObjectName("RecordingBar");
  topBar_->setMovable(false);
  for (TCommand c : {TCommand::actFileOpen, TCommand::actFileSaveAs, TCommand::actFileClose, TCommand::actFilePrint})
    topBar_->addAction(Action(c));
  topBar_->addSeparator();
  topBar_->addWidget(panel(TStatusPanel::RecordingLength));
  topBar_->addWidget(panel(TStatusPanel::RecordingSize));
  topBar_->addSeparator();
  for (TCommand c : {TCommand::actPlayBeg, TCommand::actPlayRewind, TCommand::actPlayPlay, TCommand::actPlayForward,
                     TCommand::actPlayEnd})
    topBar_->addAction(Action(c));
  topBar_->addSeparator();
  topBar_->addWidget(panel(TStatusPanel::PlayPosition));
  topBar_->addSeparator();
  trackBar_ = new TTrackBar(this);
  trackBar_->setToolTip(TrackBarHint);
  trackBar_->setRange(0, 10000);
  trackBar_->setSingleStep(100);
  trackBar_->setPageStep(1000);
  trackBar_->setTickPosition(QSlider::NoTicks);
  // The track bar takes whatever width the toolbar has left, at least one pixel.
  trackBar_->setMinimumWidth(1);
  trackBar_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  topBar_->addWidget(trackBar_);
  connect(trackBar_, &QSlider::valueChanged, this, [this](int position) {
    const bool has = p_.CurrentRecording() != nullptr;
    for (const TMainEffect& e : TrackBarChanged(updatingPosition_, has, position)) Perform(e);
  });

  addToolBarBreak();
  QToolBar* link = addToolBar("Link");
  link->setObjectName("LinkBar");
  link->setMovable(false);
  link->addAction(Action(TCommand::actECUConnect));
  link->addAction(Action(TCommand::actECURecord));
  link->addSeparator();
  // The link's far end when it is the built-in simulated ECU rather than a car.
  auto* sim = new QLabel(SimulatedEcuCaption, this);
  sim->setObjectName("SimulatedPanel");
  sim->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  sim->setAlignment(Qt::AlignCenter);
  sim->setToolTip("The link talks to the built-in simulated ECU, not to a car");
  sim->setStyleSheet("QLabel { background-color: #cfe0ff; color: black; padding: 0 6px; }");
  simulatedPanel_ = link->addWidget(sim);
  simulatedPanel_->setVisible(Simulated());
  link->addWidget(panel(TStatusPanel::ConnectionStatus));
  link->addWidget(panel(TStatusPanel::DatalogSpeed));
  link->addWidget(panel(TStatusPanel::ErrorStatus));
  link->addSeparator();
  errorsButton_ = new QToolButton(this);
  errorsButton_->setText(ErrorsButtonCaption);
  errorsButton_->setMinimumSize(46, 22);
  // Red while enabled; the disabled look stays the style's own.
  QPalette pal = errorsButton_->palette();
  pal.setColor(QPalette::Active, QPalette::ButtonText, Qt::red);
  pal.setColor(QPalette::Inactive, QPalette::ButtonText, Qt::red);
  errorsButton_->setPalette(pal);
  errorsButton_->setEnabled(false);
  connect(errorsButton_, &QToolButton::clicked, this, [this] { SelectPage(tsErrorCodes); });
  link->addWidget(errorsButton_);
}

void TMainForm::CreatePages() {
  pages_ = new QTabWidget(this);
  pages_->setDocumentMode(true);
  for (int p = 0; p < PageCount; ++p) {
    auto* page = new QWidget(pages_);
    page->setObjectName(kCaptions[p]);
    pageWidgets_[static_cast<size_t>(p)] = page;
    pages_->addTab(page, kCaptions[p]);
  }
  setCentralWidget(pages_);

  auto fill = [](QWidget* page, QWidget* content) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
  };
  dashboard_ = new TDashboardPage(p_.ErrorCodes, pageWidgets_[tsECU]);
  fill(pageWidgets_[tsECU], dashboard_);
  connect(dashboard_, &TDashboardPage::ErrorsButtonState, this, [this](bool on) { errorsButton_->setEnabled(on); });
  sensorList_ = new TSensorListView(pageWidgets_[tsSensors]);
  fill(pageWidgets_[tsSensors], sensorList_);
  sensorList_->SetupSensorList();
  dashboard_->ApplyDisplaySettings(p_.Config, p_.Sensors);
  sensorList_->FillSensorList(p_.Sensors);
  errorList_ = new TErrorList(pageWidgets_[tsErrorCodes], p_.ErrorCodes);
  fill(pageWidgets_[tsErrorCodes], errorList_);
  graph_ = new TGraphControl(pageWidgets_[tsGraphs], p_.GraphSensors, p_.Core);
  graph_->setPalette(palette());
  fill(pageWidgets_[tsGraphs], graph_);
  // A click on the chart moves the play position, as the arrow keys do.
  connect(graph_, &TGraphControl::CursorPicked, this, [this](double t) { SeekTo(t); });
  connect(graph_, &TGraphControl::PaneMenuRequested, this, [this](int pane, const QPoint& at) {
    TGraphPaneMenu menu(this, *graph_, p_.GraphSensors, pane, [this](TCommand c) { return Action(c); }, [this] {
      graph_->Rebuild();
      UpdateActions();
    });
    menu.exec(at);
  });
  recMan_ = new TRecMan(p_.Core, pageWidgets_[tsRecordings]);
  fill(pageWidgets_[tsRecordings], recMan_);
  lapDisplay_ = new TLapDisplay(p_.Sensors, pageWidgets_[tsLaps]);
  fill(pageWidgets_[tsLaps], lapDisplay_);
  // Leaving the laps page hides its tab again while there are no laps.
  connect(pages_, &QTabWidget::currentChanged, this, [this] { UpdateLapsTab(); });
  tables_ = new TTablesPage(p_.Config, p_.Sensors, pageWidgets_[tsTables]);
  fill(pageWidgets_[tsTables], tables_);
  connect(tables_, &TTablesPage::SeekRequested, this, [this](double t) { SeekTo(t); });
}

void TMainForm::SelectPage(Page p) {
  // A page is never on show without its tab, so the tab bar always marks the page shown.
  if (!IsPageVisible(p)) SetPageVisible(p, true);
  pages_->setCurrentIndex(p);
}
bool TMainForm::IsPageVisible(Page p) const { return pages_->isTabVisible(p); }
void TMainForm::SetPageVisible(Page p, bool visible) { pages_->setTabVisible(p, visible); }

// ---------------------------------------------------------------------------------------------
// State

TRecordingOptions TMainForm::Options() const {
  TRecordingOptions o;
  o.AutoSaveRecordings = p_.Config.AutoSaveRecordings;
  o.AutoCloseRecordings = p_.Config.AutoCloseRecordings;
  return o;
}

bool TMainForm::Playing() const { return p_.PlayThread && p_.PlayThread->IsPlaying(); }

void TMainForm::Apply(const TMainStep& step) {
  // The link coming up starts the sensor list's statistics anew.
  if (step.State.LinkState == TLinkState::Connected && state_.LinkState != TLinkState::Connected)
    sensorList_->ResetStatistics();
  state_ = step.State;
  for (const TMainEffect& e : step.Effects) Perform(e);
  // A run also ends without a request of the window's (a link error): its journal is finished.
  if (state_.RecordState != TRecordState::Recording) p_.Journals.EndAll();
}

void TMainForm::Perform(const TMainEffect& e) {
  using K = TMainEffectKind;
  switch (e.Kind) {
    case K::PollOpenSerialPort: if (p_.PollThread) p_.PollThread->PollThread_OpenSerialPort(); break;
    case K::PollConnect: if (p_.PollThread) p_.PollThread->PollThread_Connect(); break;
    case K::PollDisconnect: if (p_.PollThread) p_.PollThread->PollThread_Disconnect(); break;
    case K::PollCloseSerialPort: if (p_.PollThread) p_.PollThread->PollThread_CloseSerialPort(); break;
    case K::PollRecord:
      if (p_.PollThread) p_.PollThread->Record(p_.CurrentRecording());
      // The run's samples reach its journal about once a second; without one it still records,
      // and the window says why (UpdateJournalNotice).
      journalError_.clear();
      if (TRecording* r = p_.CurrentRecording(); r && !p_.Journals.Begin(*r, {}, &journalError_)) {
        if (journalError_.empty()) journalError_ = "the journal cannot be made";
      }
      break;
    case K::PollStopRecording:
      if (p_.PollThread) p_.PollThread->StopRecording();
      p_.Journals.EndAll();
      break;
    case K::PlayerStop: if (p_.PlayThread) p_.PlayThread->Stop(); break;
    case K::PlayerSetSpeed: if (p_.PlayThread) p_.PlayThread->SetSpeed(e.Number); break;
    case K::PlayerPlay: if (p_.PlayThread) p_.PlayThread->Play(); break;
    case K::PlayerSetPosition: SeekTo(e.Position); break;
    case K::ClearDashboard: ClearDashboard(); break;
    case K::NewRecording: NewRecording(e.Number); break;
    case K::RebuildGraph: if (graph_) graph_->Rebuild(); break;
    case K::AutoSave: AutoSave(); break;
    case K::CloseCurrentRecording:
      if (p_.CurrentRecording()) CloseRecording(p_.Core, p_.CurrentRecording());
      break;
    case K::RefreshRecordings: RefreshRecordings(p_.Core); break;
    case K::UpdateActions: UpdateActions(); break;
    case K::UpdateDisplays: UpdateDisplays(); break;
  }
}

void TMainForm::SeekTo(double seconds) {
  if (p_.PlayThread) p_.PlayThread->SetCurrentTime(seconds);
  UpdateDisplays();
}

void TMainForm::Execute(TCommand c) {
  using C = TCommand;
  const bool playing = Playing();
  switch (c) {
    case C::actFileOpen: OpenCommand(); break;
    case C::actFileSaveAs:
      if (TRecording* r = p_.CurrentRecording()) {
        SaveRecordingAs(r);
        RefreshRecordings(p_.Core);
      }
      break;
    case C::actFileExport: ExportCommand(); break;
    case C::actFileClose:
      if (TRecording* r = p_.CurrentRecording()) QueryCloseRecording(p_.Core, r);
      break;
    case C::actFilePrintSetup: PrintSetupCommand(); break;
    case C::actFilePrint: PrintCommand(); break;
    case C::actFileSettings: SettingsCommand(); break;
    case C::actFileExit: close(); break;
    case C::actECUConnect: Apply(ECUConnectExecute(state_, playing, Options())); break;
    case C::actECURecord: Apply(ECURecordExecute(state_, playing, Options())); break;
    case C::actECUClearErrors:
      if (p_.PollThread) p_.PollThread->SendCommand(0xFD, 0);
      errorsButton_->setEnabled(false);
      break;
    case C::actECUTypeOBD0:
    case C::actECUTypeOBD1:
      p_.EcuType.SetFamily(c == C::actECUTypeOBD0 ? FAMILY_OBD0 : FAMILY_OBD1);
      RebuildGraph(true);
      UpdateActions();
      break;
    case C::actECU3BarMAP:
      {
        p_.Config.MapIs3Bar = !p_.Config.MapIs3Bar;
        p_.EcuType.SetMapIs3Bar(p_.Config.MapIs3Bar ? 1 : 0);
      }
      RebuildGraph(true);
      UpdateActions();
      break;
    case C::actDatalogAll:
    case C::actDatalogPerformance:
    case C::actDatalogMixture:
      {
        ApplyDatalogPreset(p_.Sensors, c == C::actDatalogAll           ? TDatalogPreset::All
                                        : c == C::actDatalogPerformance ? TDatalogPreset::Performance
                                                                        : TDatalogPreset::Mixture);
      }
      FillSensorList();
      break;
    case C::actPlayBeg:
      if (p_.PlayThread) p_.PlayThread->GoToStart();
      UpdateDisplays();
      break;
    case C::actPlayEnd:
      if (p_.PlayThread) p_.PlayThread->GoToEnd();
      UpdateDisplays();
      break;
    case C::actPlayRewind: Apply(PlayRewindExecute(state_, p_.PlayThread ? p_.PlayThread->CurrentTime() : 0)); break;
    case C::actPlayForward: Apply(PlayForwardExecute(state_, p_.PlayThread ? p_.PlayThread->CurrentTime() : 0)); break;
    case C::actPlayPlay: Apply(PlayPlayExecute(state_, playing, Options())); break;
    case C::mPlaySlower: Apply(PlaySlowerExecute(state_)); break;
    case C::mPlayNormalSpeed: Apply(PlayNormalSpeedExecute(state_)); break;
    case C::mPlayFaster: Apply(PlayFasterExecute(state_)); break;
    case C::actHelpContents: THelpForm::ShowHelp(this); break;
    case C::actHelpAbout: ShowAbout(); break;
    default:
      if (IsGraphCommand(c)) GraphCommand(c);
      break;
  }
}

// ---------------------------------------------------------------------------------------------
// Refreshes

void TMainForm::UpdateActions() {
  TActionInputs in;
  in.HasRecording = p_.CurrentRecording() != nullptr;
  in.Playing = Playing();
  in.HasPrinter = HasPrinter();
  in.EcuFamily = p_.EcuType.Family.load();
  in.MapIs3Bar = p_.Config.MapIs3Bar;
  for (int i = 0; i < p_.GraphSensors.Count(); ++i) in.GraphSelection.push_back(static_cast<int>(p_.GraphSensors.IdAt(i)));
  const TActionStates states = UpdateActionStates(state_, in);
  for (size_t i = 0; i < CommandCount; ++i) {
    QAction* act = actions_[i];
    if (!act) continue;
    const TActionState& s = states.Actions[i];
    act->setEnabled(s.Enabled);
    if (act->isCheckable()) act->setChecked(s.Checked);
    if (s.Caption) act->setText(QString::fromUtf8(s.Caption));
  }
  trackBar_->setEnabled(states.TrackBarEnabled);
  if (overlayMenu_) overlayMenu_->Update();
  Action(TCommand::actPlayPlay)
      ->setIcon(style()->standardIcon(states.PlayShowsStop ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
  UpdateStatusPanels();
}

void TMainForm::UpdateStatusPanels() {
  TStatusInputs in;
  if (p_.PollThread) {
    in.VarsPerSecond = p_.PollThread->VarsPerSecond;
    in.ErrorsPerSecond = p_.PollThread->ErrorsPerSecond;
  }
  if (TRecording* r = p_.CurrentRecording()) {
    in.HasRecording = true;
    in.LengthText = FormatMilliseconds(r->LengthMs);
    in.MemorySize = r->MemorySize();
    in.PositionText = shown_.Text;
  }
  const TStatusPanels p = ::UpdateStatusPanels(state_, in);
  auto set = [this](TStatusPanel which, const std::string& text) {
    QLabel* label = StatusPanel(which);
    if (label->text() != Q(text)) label->setText(Q(text));
  };
  set(TStatusPanel::RecordingLength, p.RecordingLength);
  set(TStatusPanel::RecordingSize, p.RecordingSize);
  set(TStatusPanel::PlayPosition, p.PlayPosition);
  set(TStatusPanel::ConnectionStatus, p.ConnectionStatus);
  set(TStatusPanel::DatalogSpeed, p.DatalogSpeed);
  set(TStatusPanel::ErrorStatus, p.ErrorStatus);
  // The three link panels share one background; dark backgrounds (red, teal) take white text.
  QString sheet;
  if (p.LinkColour != TPanelColour::ButtonFace) {
    const QColor back = QColor::fromRgb(PanelColourRgb(p.LinkColour));
    const bool dark = p.LinkColour == TPanelColour::Red || p.LinkColour == TPanelColour::Teal;
    sheet = QString("QLabel { background-color: %1; color: %2; }").arg(back.name(), dark ? "white" : "black");
  }
  for (TStatusPanel which : {TStatusPanel::ConnectionStatus, TStatusPanel::DatalogSpeed, TStatusPanel::ErrorStatus}) {
    QLabel* label = StatusPanel(which);
    if (label->styleSheet() != sheet) label->setStyleSheet(sheet);
  }
  UpdateJournalNotice();
}

bool TMainForm::Simulated() const {
  return p_.PollThread && p_.PollThread->Port()->DevicePath() == SimulatedDevicePath();
}

// A run that goes without its journal is said once, and shown in the status bar while it lasts.
void TMainForm::UpdateJournalNotice() {
  const bool recording = state_.RecordState == TRecordState::Recording;
  std::string problem = journalError_;
  if (const TJournal* j = recording && problem.empty() ? p_.Journals.Of(p_.CurrentRecording()) : nullptr)
    problem = j->Failing() ? j->ErrorText() : std::string();
  const TJournalNotice n = journalWatch_.Update(recording, problem);
  const QString status = journalNotice_->fontMetrics().elidedText(Q(n.Status), Qt::ElideRight, width() / 2);
  if (journalNotice_->text() != status) {
    journalNotice_->setText(status);
    journalNotice_->setToolTip(Q(n.Status));
    journalNotice_->setVisible(!status.isEmpty());
  }
  // Said after the refresh that found it, not from inside it.
  if (!n.Message.empty()) QTimer::singleShot(0, this, [this, m = n.Message] { Report(m); });
}

void TMainForm::ShowPlayPosition(bool recordingChanged) {
  shown_ = ShownPosition(p_.PlayThread ? p_.PlayThread->CurrentTime() : 0);
  if (state_.RecordState == TRecordState::Recording && !recordingChanged) return;
  updatingPosition_ = true;
  trackBar_->setValue(shown_.TrackBar);
  updatingPosition_ = false;
  if (graph_) graph_->SetPosition(shown_.Cursor);
}

void TMainForm::UpdateDisplays() {
  UpdatePages();
  ShowPlayPosition();
  if (state_.RecordState == TRecordState::Recording) {
    p_.Sensors.ExtendRanges();
    if (graph_) {
      // The graph follows the growing recording: its last GraphTimespan seconds.
      graph_->SetEndTime(p_.PlayThread ? p_.PlayThread->CurrentTime() : 0);
      graph_->SetStartTime(ScrollingGraphStart(graph_->EndTime(), p_.Config.GraphTimespan));
    }
  }
  UpdateStatusPanels();
}

// The common refresh after a recording is opened, closed, saved, started, ended or switched.
void TMainForm::RefreshViews() {
  setWindowTitle(Q(MainWindowTitle(p_.Core)));
  UpdateActions();
  TRecording* r = p_.CurrentRecording();
  updatingPosition_ = true;
  trackBar_->setRange(0, TrackBarMaximum(r ? r->LengthMs.load() : 0));
  updatingPosition_ = false;
  UpdateRecordingsMenu();
  if (graph_) graph_->RecordingChanged();
  // The player was reset for the recording now current: the chart's cursor, the track bar and
  // the toolbar go where it is.
  ShowPlayPosition(true);
  RefreshPages();
  if (state_.LinkState != TLinkState::Connected) ClearDashboard();
  UpdateStatusPanels();
}

void TMainForm::UpdateRecordingsMenu() {
  if (!recordingsMenu_) return;
  const QList<QAction*> items = recordingsMenu_->actions();
  const int count = p_.Recordings.Count();
  TRecording* current = p_.CurrentRecording();
  for (int n = 0; n < count; ++n) {
    TRecording* r = p_.Recordings.Items(n);
    QAction* item = n < items.size() ? items[n] : nullptr;
    if (!item) {
      item = recordingsMenu_->addAction(QString());
      item->setCheckable(true);
      item->setData(n);
      connect(item, &QAction::triggered, this, [this, n] {
        if (n >= p_.Recordings.Count()) return;
        TRecording* chosen = p_.Recordings.Items(n);
        if (chosen != p_.CurrentRecording()) SelectRecording(p_.Core, chosen);
        UpdateRecordingsMenu();
      });
    }
    item->setText(Q(RecordingsMenuCaption(n, RecordingName(p_.Core, *r))));
    item->setChecked(r == current);
  }
  for (int n = count; n < items.size(); ++n) delete items[n];
  recordingsMenu_->setEnabled(count > 0);
}

void TMainForm::RebuildReopenMenu() {
  if (!reopenMenu_) return;
  reopenMenu_->clear();
  const int n = std::min<int>(p_.RecentFiles.MaxCount, static_cast<int>(p_.RecentFiles.Files.size()));
  for (int k = 0; k < n; ++k) {
    const std::string path = p_.RecentFiles.Files[static_cast<size_t>(k)];
    QAction* item = reopenMenu_->addAction(Q(p_.RecentFiles.Caption(k)));
    connect(item, &QAction::triggered, this, [this, path] { OpenRecentFile(path); });
  }
  reopenMenu_->setEnabled(n > 0);
}

// ---------------------------------------------------------------------------------------------
// Recordings and files

void TMainForm::NewRecording(int number) {
  auto* r = new TRecording(*p_.Sensors.RawVars);
  r->CreateHistories();
  r->Modified = true;
  r->SetDescription(RecordingDescription(number));
  p_.Recordings.Add(r);
  SetCurrentRecording(p_.Core, r);
  RefreshRecordings(p_.Core);
}

void TMainForm::AutoSave() {
  TRecording* r = p_.CurrentRecording();
  if (!r) return;
  std::error_code ec;
  const std::string path =
      AutoSaveFileName(p_.Config.FileDir, [&ec](const std::string& p) { return std::filesystem::exists(p, ec); });
  // A failed save leaves the recording open and modified, so the close query offers it again.
  if (path.empty())
    Report(FileFailureText("Could not save recording", p_.Config.FileDir, "every numbered file name is taken"));
  else
    SaveRecordingTo(*r, path);
}

bool TMainForm::SaveRecordingAs(TRecording* r) {
  if (!r) return false;
  bool saved;
  if (Prompts.ChooseSavePath) {
    const std::string path = Prompts.ChooseSavePath(*r);
    saved = !path.empty() && SaveRecordingTo(*r, path);
  } else {
    saved = ::SaveRecordingAs(*r, this);
  }
  if (saved && p_.Core.AddRecentFile) p_.Core.AddRecentFile(r->FileName);
  return saved;
}

bool TMainForm::OpenRecentFile(const std::string& path) {
  return OpenRecording(p_.Core, path) != nullptr;
}

void TMainForm::OpenCommand() {
  if (!Prompts.ChooseOpenPath) {
    OpenRecordingDialog(p_.Core, this);
    return;
  }
  const std::string path = Prompts.ChooseOpenPath();
  if (!path.empty()) OpenRecording(p_.Core, path);
}

// ---------------------------------------------------------------------------------------------
// Thread messages, keys, drops, closing, resizing

bool TMainForm::event(QEvent* e) {
  switch (static_cast<uint32_t>(e->type())) {
    case WM_UPDATE_UI:
      UpdateDisplays();
      if (p_.PollThread) p_.PollThread->DelayUIUpdate(p_.Config.UIUpdateDelayRecording);
      if (p_.PlayThread) p_.PlayThread->DelayUIUpdate(static_cast<uint32_t>(p_.Config.UIUpdateDelayPlaying.load()));
      // A burst of refresh requests costs one refresh.
      messages_->RemovePosted(WM_UPDATE_UI);
      return true;
    case WM_POLL_CONNECTED: Apply(OnPollConnected(state_)); return true;
    case WM_POLL_DISCONNECTED: Apply(OnPollDisconnected(state_)); return true;
    case WM_POLL_ERROR: Apply(OnPollError(state_)); return true;
    case WM_PLAY_STOPPED: Apply(OnPlayStopped(state_)); return true;
    default: return TBaseForm::event(e);
  }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() != QEvent::KeyPress || !watched->isWidgetType()) return TBaseForm::eventFilter(watched, e);
  auto* w = static_cast<QWidget*>(watched);
  if (w->window() != this) return TBaseForm::eventFilter(watched, e);
  auto* key = static_cast<QKeyEvent*>(e);
  TKeyModifiers mods;
  mods.Shift = key->modifiers() & Qt::ShiftModifier;
  mods.Ctrl = key->modifiers() & Qt::ControlModifier;
  mods.Alt = key->modifiers() & Qt::AltModifier;
  TKeyContext ctx;
  QWidget* focus = QApplication::focusWidget();
  ctx.FocusOnTabsOrTrackBar = focus == pages_->tabBar() || focus == trackBar_ || focus == pages_;
  // The menu bar, reached by Alt, keeps its arrow keys.
  ctx.GraphsPageShowing = pages_->currentIndex() == tsGraphs && graph_ && focus != menuBar();
  ctx.HasReference = graph_ && graph_->Reference();
  TRecording* r = p_.CurrentRecording();
  ctx.HasRecording = r != nullptr;
  ctx.CurrentTime = p_.PlayThread ? p_.PlayThread->CurrentTime() : 0;
  ctx.LengthSeconds = r ? r->LengthSeconds() : 0;
  ctx.GraphStartTime = graph_ ? graph_->StartTime() : 0;
  ctx.GraphEndTime = graph_ ? graph_->EndTime() : ctx.LengthSeconds;
  const TKeyResult result = FormKeyDown(ToKey(key->key()), mods, ctx);
  switch (result.Action) {
    case TKeyAction::PassOn: return TBaseForm::eventFilter(watched, e);
    case TKeyAction::SelectPage: SelectPage(static_cast<Page>(result.Page)); return true;
    case TKeyAction::Seek: SeekTo(result.Position); return true;
    case TKeyAction::Command:
      Execute(result.Command);
      UpdateDisplays();
      return true;
    case TKeyAction::GraphSetReference: graph_->SetReference(graph_->Position()); return true;
    case TKeyAction::GraphClearReference: graph_->ClearReference(); return true;
    case TKeyAction::GraphCopyValues: graph_->CopyValues(); return true;
  }
  return TBaseForm::eventFilter(watched, e);
}

void TMainForm::closeEvent(QCloseEvent* e) {
  TCloseAnswer answer = TCloseAnswer::Yes;
  const bool mayClose = FormCloseQuery(
      p_.Recordings.Count(), [this](int i) { return p_.Recordings.Items(i)->Modified; },
      [this, &answer] { return answer = Prompts.Ask(UnsavedRecordingsQuestion); },
      [this](int i) { SaveRecordingAs(p_.Recordings.Items(i)); });
  if (!mayClose) {
    e->ignore();
    return;
  }
  Apply(FormClose(state_, Options()));
  // Saved recordings, and those given up with "No", leave nothing to recover.
  ReleaseJournalsAtClose(p_.Core, answer == TCloseAnswer::No);
  e->accept();
}

void TMainForm::OfferRecovery(const std::string& folder) {
  OfferJournalRecovery(p_.Core, folder.empty() ? JournalFolder() : folder, Prompts.Ask,
                       [this](const std::string& text) { Report(text); });
}

void TMainForm::resizeEvent(QResizeEvent* e) {
  TBaseForm::resizeEvent(e);
  ResizePages();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* e) {
  QStringList files;
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) files << url.toLocalFile();
  OnDropFiles(files);
  e->acceptProposedAction();
}

void TMainForm::OnDropFiles(const QStringList& files) {
  for (const QString& file : files) OpenRecentFile(file.toStdString());
}

void TMainForm::CheckDSR() {
  if (!p_.Config.UseDSRForRecording || !p_.PollThread) return;
  TComPort* port = p_.PollThread->Port();
  Apply(OnIdleCheckDSR(state_, true, port->IsOpen(), Playing(), Options(), [port] { return port->DSR(); }));
}

// ---------------------------------------------------------------------------------------------
// Printing

bool TMainForm::HasPrinter() const { return !QPrinterInfo::availablePrinters().isEmpty(); }

void TMainForm::PrintSetupCommand() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  QPageSetupDialog dialog(printer_.get(), this);
  dialog.exec();
}

void TMainForm::PrintCommand() {
  if (!p_.CurrentRecording()) return;
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  // Qt's dialog always offers printing to a PDF file, so this works without a printer too.
  QPrintDialog dialog(printer_.get(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  const bool graphs = pages_->currentIndex() == tsGraphs && graph_;
  bool printed = false;
  Busy([&] { printed = graphs ? PrintGraph(*printer_) : PrintWindow(*printer_); });
  const std::string file = printer_->outputFileName().toStdString();
  if (printed)
    Note(PrintedNote(printer_->printerName().toStdString(), file));
  else
    Report(file.empty() ? "Could not print on '" + printer_->printerName().toStdString() + "'"
                        : FileFailureText("Could not print to", file, "the file cannot be written"));
}

bool TMainForm::PrintWindow(QPrinter& printer) {
  TRecording* r = p_.CurrentRecording();
  if (!r) return false;
  const std::string title = PrintTitle(r->Description);
  printer.setDocName(Q(title));
  const QImage image = grab().toImage();
  QPainter p;
  if (!p.begin(&printer)) return false;
  const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  const int headerWidth = p.fontMetrics().horizontalAdvance(Q(title));
  const TPrintLayout layout = PrintWindowLayout(page.width(), page.height(), image.width(), image.height(), headerWidth);
  p.setPen(Qt::black);
  p.drawText(layout.HeaderX, p.fontMetrics().ascent(), Q(title));
  p.drawImage(QRect(layout.ImageX, layout.ImageY, layout.ImageWidth, layout.ImageHeight), image);
  return p.end();
}

bool TMainForm::PrintGraph(QPrinter& printer) {
  TRecording* r = p_.CurrentRecording();
  if (!r || !graph_) return false;
  printer.setDocName(Q(PrintTitle(r->Description)));
  QPainter p;
  if (!p.begin(&printer)) return false;
  TGraphPrint page(printer, p_.GraphSensors, p_.Core);
  page.SetStartTime(graph_->StartTime());
  page.SetEndTime(graph_->EndTime());
  page.Print(p);
  return p.end();
}

// ---------------------------------------------------------------------------------------------
// Graph

void TMainForm::RebuildGraph(bool valuesChanged) {
  if (!graph_) return;
  if (valuesChanged) graph_->InvalidateTraces();
  graph_->Rebuild();
}

void TMainForm::GraphCommand(TCommand c) {
  using C = TCommand;
  if (!graph_) return;
  const double position = graph_->Position();
  switch (c) {
    case C::actGraphZoomIn:
    case C::actGraphZoomOut:
    case C::actGraphShowFullLength: {
      const TTimeWindow w = c == C::actGraphZoomIn    ? ZoomInWindow(position, graph_->Range())
                            : c == C::actGraphZoomOut ? ZoomOutWindow(position, graph_->Range())
                                                      : TTimeWindow{0, graph_->MaxTime()};
      Busy([&] { graph_->SetWindow(w.Start, w.End); });
      return;
    }
    case C::actGraphAddSensors:
    case C::actGraphRemoveSensors: {
      const bool adding = c == C::actGraphAddSensors;
      TVarRefList chosen(p_.GraphSensors.Vars);
      std::unique_ptr<TGraphListForm> dialog =
          adding ? std::make_unique<TGraphListForm>(this, chosen, p_.GraphSensors.Vars, true)
                 : std::make_unique<TGraphListForm>(this, chosen, p_.GraphSensors, true);
      dialog->setWindowTitle(adding ? QStringLiteral("Select sensors to add") : QStringLiteral("Select sensors to remove"));
      if (Prompts.RunGraphList ? Prompts.RunGraphList(*dialog) : dialog->exec() == QDialog::Accepted) {
        for (int i = 0; i < chosen.Count(); ++i) {
          const uint32_t id = chosen.IdAt(i);
          if (adding && !p_.GraphSensors.ContainsId(id)) p_.GraphSensors.AddId(id);
          if (!adding) p_.GraphSensors.RemoveId(id);
        }
      }
      break;
    }
    case C::actGraphRemoveAll: p_.GraphSensors.Clear(); break;
    default: {
      const auto id = static_cast<uint32_t>(GraphToggleVarId(c));
      if (id == 0) return;
      if (p_.GraphSensors.ContainsId(id))
        p_.GraphSensors.RemoveId(id);
      else
        p_.GraphSensors.AddId(id);
      break;
    }
  }
  graph_->Rebuild();
  UpdateActions();
}

// ---------------------------------------------------------------------------------------------
// Pages

// Settings (Ctrl+T): on OK the settings are already written back and saved; they take effect here.
void TMainForm::SettingsCommand() {
  // A run on the simulator (--simulate) shows it chosen in the Port list.
  bool portChosen = false;
  std::function<TGearLearning(double, double)> learn;
  if (TRecording* r = p_.CurrentRecording())
    learn = [this, r](double finalDrive, double circumference) {
      return LearnGears(p_.Sensors, *r, {finalDrive, circumference});
    };
  const bool accepted = ExecuteSettingsDialog(
      this, p_.Config, [this](std::string* error) { return p_.Config.Save(&p_.Sensors, &p_.GraphSensors, error); },
      [this](const std::string& error) { Report("Could not save the settings:\n" + error); },
      Simulated() ? SimulatedDevicePath() : "", &portChosen, learn);
  if (!accepted) return;
  p_.ApplyPriorities();
  p_.ApplyLinkSettings();
  // A port chosen anew is used from the next connect (a run started with --simulate keeps the
  // simulator while it stays chosen).
  if (p_.PollThread && portChosen) p_.PollThread->Port()->SetDevicePath(p_.Config.PortDevice);
  simulatedPanel_->setVisible(Simulated());
  dashboard_->ApplyDisplaySettings(p_.Config, p_.Sensors);
  tables_->SettingsChanged();
  if (p_.CurrentRecording()) {
    FillSensorList();
    p_.Sensors.AutoRangeFromHistories();
  }
  // Units, ranges and the lambda table may have changed what the graph draws.
  RebuildGraph(true);
  UpdateDisplays();
}

// Every failure the window reports, the file operations' included, goes through here.
void TMainForm::Report(const std::string& text) { Prompts.ShowMessage(text); }

void TMainForm::Note(const std::string& text) { statusBar()->showMessage(Q(text), NoteMs); }

void TMainForm::ShowAbout() {
  TAboutForm about(p_.EcuType, p_.Config.IniPath, this);
  about.exec();
}

void TMainForm::ExportCommand() {
  if (TRecording* r = p_.CurrentRecording()) ExportRecordingDialog(p_.Core, *r, this, recMan_->ExportReports);
}
void TMainForm::FillSensorList() {
  sensorList_->FillSensorList(p_.Sensors);
}

void TMainForm::ClearDashboard() {
  dashboard_->ClearDashboard();
  errorsButton_->setEnabled(false);
  errorList_->ClearAll();
}

void TMainForm::UpdatePages() {
  dashboard_->UpdateDashboard(p_.Sensors);
  errorList_->Refresh();
  // The sensor list's statistics take in the values of a live link only.
  using namespace std::chrono;
  std::optional<int64_t> live;
  if (state_.LinkState == TLinkState::Connected)
    live = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  sensorList_->UpdateSensorValues(p_.Sensors, live);
  UpdateLaps();
  RefreshTables(false);
}

void TMainForm::RefreshPages() {
  if (recMan_) recMan_->RefreshList();
  lapsShown_ = {};
  UpdateLaps();
  RefreshTables(true);
}

void TMainForm::RefreshTables(bool force) {
  if (!tables_) return;
  TTablesPageState s;
  s.Connected = state_.LinkState == TLinkState::Connected;
  s.Recording = state_.RecordState == TRecordState::Recording;
  s.Current = p_.CurrentRecording();
  s.Position = ShownPosition(p_.PlayThread ? p_.PlayThread->CurrentTime() : 0).Cursor;
  s.Feed = p_.PollThread ? &p_.PollThread->Feed : nullptr;
  tables_->Refresh(s, force);
}

// The laps page's tab shows while the current recording has laps. The rows are rebuilt only when
// the recording or its number of lap signals changed, not on every refresh of a playback.
void TMainForm::UpdateLaps() {
  if (!lapDisplay_) return;
  const TRawVar* lap = p_.Sensors.FindRaw(static_cast<uint32_t>(LapSignalVarId));
  const std::pair<const TRecording*, int32_t> shown{p_.CurrentRecording(), lap ? lap->SampleCount() : 0};
  if (shown == lapsShown_) return;
  lapsShown_ = shown;
  lapDisplay_->UpdateLaps();
  UpdateLapsTab();
}

void TMainForm::UpdateLapsTab() {
  const bool visible = lapDisplay_->HasLaps() || pages_->currentIndex() == tsLaps;
  if (IsPageVisible(tsLaps) != visible) SetPageVisible(tsLaps, visible);
}

void TMainForm::ResizePages() { dashboard_->SetColumnWidth(GaugeColumnWidth(width())); }
