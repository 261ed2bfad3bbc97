#pragma once
// The main window's rules as plain values: the link and recording states and how every command
// and worker-thread message moves them, which commands are enabled, checked and captioned how,
// the status panels' texts and colours, the keys, the command table and menus, the auto-save file
// name, the window-image printout's layout, and the position track bar and resize arithmetic.
//
// The window stays a thin view: it gathers the inputs, calls one of these functions, stores the
// returned state, and then performs the returned effects in order. Nothing here touches a thread,
// a file or a control.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------------------
// State

// The link as the user sees it; written only by the main window.
enum class TLinkState : uint8_t { Connecting = 0, Connected = 1, ConnectionError = 2, Disconnecting = 3, Disconnected = 4 };

// RecordPending: Start Recording was chosen while the link was not up; the recording starts when
// the link comes up.
enum class TRecordState : uint8_t { NotRecording = 0, RecordPending = 1, Recording = 2 };

struct TMainState {
  TLinkState LinkState = TLinkState::Disconnected;
  TRecordState RecordState = TRecordState::NotRecording;
  int8_t PlaySpeedStep = 4;  // 0..7 for the player's SetSpeed; 4 is normal speed
  int RecordingCounter = 1;  // the number in the description of the next new recording
  double SeekStep = 0.05;    // seconds moved by the next Rewind or Fast Forward

  bool operator==(const TMainState&) const = default;
};

constexpr int8_t SlowestPlaySpeedStep = 0;
constexpr int8_t NormalPlaySpeedStep = 4;
constexpr int8_t FastestPlaySpeedStep = 7;
constexpr double InitialSeekStep = 0.05;
constexpr double MaxSeekStep = 5.0;
constexpr double SeekStepGrowth = 1.15;

// ---------------------------------------------------------------------------------------------
// Effects: what the window does after a transition, in the listed order.

enum class TMainEffectKind : uint8_t {
  PollOpenSerialPort,   // poll thread PollThread_OpenSerialPort
  PollConnect,          // poll thread PollThread_Connect
  PollDisconnect,       // poll thread PollThread_Disconnect
  PollCloseSerialPort,  // poll thread PollThread_CloseSerialPort
  PollRecord,           // poll thread Record: start time-stamping into the current recording
  PollStopRecording,    // poll thread StopRecording
  PlayerStop,           // playback thread Stop
  PlayerSetSpeed,       // playback thread SetSpeed (Number = the step)
  PlayerPlay,           // playback thread Play
  PlayerSetPosition,    // playback thread CurrentTime = Position (the player clamps it)
  ClearDashboard,
  // A new recording over the raw variables (one empty history each), made current, marked
  // modified, described RecordingDescription(Number) and added to the recording list.
  NewRecording,
  RebuildGraph,  // the graph control's Rebuild and a repaint
  // With the busy cursor: save the current recording (its SaveToFile, not Save As) under
  // AutoSaveFileName(FileDir setting, exists); when that succeeds its FileName becomes that path.
  AutoSave,
  CloseCurrentRecording,  // close the current recording without asking
  RefreshRecordings,
  UpdateActions,   // UpdateActionStates, then UpdateStatusPanels, applied to the controls
  UpdateDisplays,  // dashboard, sensor values, laps, graph, track bar, status panels
};

struct TMainEffect {
  TMainEffectKind Kind;
  int Number = 0;       // NewRecording: description number; PlayerSetSpeed: step
  double Position = 0;  // PlayerSetPosition: seconds

  bool operator==(const TMainEffect&) const = default;
};

// The outcome of one command or message. The window stores State first and then performs Effects,
// so that the refreshes among the effects already see the new state. A refresh the command would
// run part-way (one nested operation's own UpdateActions) is folded into the final UpdateActions.
struct TMainStep {
  TMainState State;
  std::vector<TMainEffect> Effects;
};

// The recording settings the transitions read.
struct TRecordingOptions {
  bool AutoSaveRecordings = false;
  bool AutoCloseRecordings = false;
};

// "Recording #<n>".
std::string RecordingDescription(int number);

// ---------------------------------------------------------------------------------------------
// Transitions. "playing" is the playback thread's playing flag.

// Connect (F10): disconnect while connecting or connected, otherwise connect.
TMainStep ECUConnectExecute(const TMainState& s, bool playing, const TRecordingOptions& o);
// Start/Stop Recording (F9): finish while pending or recording, otherwise start.
TMainStep ECURecordExecute(const TMainState& s, bool playing, const TRecordingOptions& o);

// Connecting, with playback stopped, the dashboard cleared and the port-open and connect requests.
TMainStep ConnectECU(const TMainState& s, bool playing);
// Finishes a pending or running recording; sends the disconnect requests only while connecting or
// connected. Always ends in Disconnecting: only the poll thread's report makes it Disconnected.
TMainStep DisconnectECU(const TMainState& s, const TRecordingOptions& o);
// Connected: a new recording at once. Otherwise pending, and connect (even when already connecting).
TMainStep StartRecording(const TMainState& s, bool playing);
// Stops the poll thread's recording. Only a recording that was running is auto-saved (and then
// auto-closed); a pending one saves and closes nothing.
TMainStep FinishRecording(const TMainState& s, const TRecordingOptions& o);

TMainStep OnPollConnected(const TMainState& s);
// Disconnected, except that a connection error stays on show until the next connect.
TMainStep OnPollDisconnected(const TMainState& s);
// The poll thread has already stopped recording: the recording stays open and modified, unsaved.
TMainStep OnPollError(const TMainState& s);
TMainStep OnPlayStopped(const TMainState& s);

// Play/Stop (Ctrl+P).
TMainStep PlayPlayExecute(const TMainState& s, bool playing, const TRecordingOptions& o);
// Disconnects first unless the link is Disconnected, then plays at PlaySpeedStep.
TMainStep StartPlayback(const TMainState& s, const TRecordingOptions& o);
TMainStep StopPlayback(const TMainState& s);
// Seek by SeekStep from currentTime, then SeekStep grows by 15 % up to 5 s. One step serves both
// directions.
TMainStep PlayRewindExecute(const TMainState& s, double currentTime);
TMainStep PlayForwardExecute(const TMainState& s, double currentTime);
// Playback speed menu: at either end Slower/Faster change nothing and send nothing.
TMainStep PlaySlowerExecute(const TMainState& s);
TMainStep PlayNormalSpeedExecute(const TMainState& s);
TMainStep PlayFasterExecute(const TMainState& s);

// The window is closing: a connected link is disconnected.
TMainStep FormClose(const TMainState& s, const TRecordingOptions& o);

// The idle check of the record switch on the DSR line. readDsr is called only when the line is to
// be read (the port is open and the link is not Disconnected, or a recording is running).
TMainStep OnIdleCheckDSR(const TMainState& s, bool useDsrForRecording, bool portOpen, bool playing,
                         const TRecordingOptions& o, const std::function<bool()>& readDsr);

// ---------------------------------------------------------------------------------------------
// Commands

enum class TCommand : uint8_t {
  actFileOpen,
  actFileSaveAs,
  actFileExport,
  actFileClose,
  actFilePrintSetup,
  actFilePrint,
  actFileSettings,
  actFileExit,
  actECUConnect,
  actECURecord,
  actECUClearErrors,
  actECUTypeOBD0,
  actECUTypeOBD1,
  actECU3BarMAP,
  actDatalogAll,
  actDatalogPerformance,
  actDatalogMixture,
  actPlayBeg,
  actPlayRewind,
  actPlayPlay,
  actPlayForward,
  actPlayEnd,
  mPlaySlower,
  mPlayNormalSpeed,
  mPlayFaster,
  actHelpContents,
  actHelpAbout,
  // Graph commands, all in the Graph menu.
  actGraphZoomIn,
  actGraphZoomOut,
  actGraphShowFullLength,
  actGraphAddSensors,
  actGraphRemoveSensors,
  actGraphRemoveAll,
  actGraphRevs,  // the first of the eighteen sensor toggles, in menu order
  actGraphSpeed,
  actGraphTPS,
  actGraphMAP,
  actGraphTW,
  actGraphTA,
  actGraphInjDur,
  actGraphDuty,
  actGraphAdvance,
  actGraphO2A,
  actGraphO2B,
  actGraphO2AImmediate,
  actGraphO2BImmediate,
  actGraphO2ALongTerm,
  actGraphO2BLongTerm,
  actGraphBrakes,
  actGraphClutch,
  actGraphGear,  // the last toggle
  Count
};
constexpr size_t CommandCount = static_cast<size_t>(TCommand::Count);

bool IsGraphCommand(TCommand c);
// The display-variable id a sensor toggle adds to or removes from the graph; 0 for other commands.
int GraphToggleVarId(TCommand c);
// The ECU type, 3-bar MAP and sensor toggle commands show a check mark.
bool IsCheckable(TCommand c);

// Caption (with its "&" accelerator), shortcut in portable text form ("Ctrl+O", "F10", "Home";
// empty for none) and hint of a command.
struct TCommandInfo {
  TCommand Command;
  const char* Name;  // the command's name, e.g. "actFileOpen"
  const char* Caption;
  const char* Shortcut;
  const char* Hint;
};
// Every command, in enum order.
const std::vector<TCommandInfo>& CommandTable();
// The entry of a command; nullptr for Count.
const TCommandInfo* FindCommandInfo(TCommand c);

// The "Errors" button beside the error status: selects the Error Codes page; the dashboard
// refresh enables it while an error code is reported.
constexpr const char* ErrorsButtonCaption = "Errors";

// Menus, in order. An item is a command, a separator, a submenu of commands, the recent-files
// submenu ("&Reopen", filled from the recent-file list) or, for the Recordings menu, nothing fixed.
struct TMenuItem {
  enum class TKind : uint8_t { Command, Separator, Submenu, RecentFiles };
  TKind Kind;
  TCommand Command = TCommand::Count;  // Command
  const char* Caption = nullptr;       // Submenu and RecentFiles
  std::vector<TCommand> Items = {};    // Submenu
};
struct TMenu {
  const char* Caption;
  std::vector<TMenuItem> Items;
};
const std::vector<TMenu>& MainMenus();
// Recordings menu item n: "&<n> <name>" (RecordingName), an "&" in the name doubled so that it
// shows as itself.
std::string RecordingsMenuCaption(int index, const std::string& name);

// ---------------------------------------------------------------------------------------------
// Enabled, checked and caption state of every command

struct TActionInputs {
  bool HasRecording = false;  // there is a current recording
  bool Playing = false;       // the playback thread is playing
  bool HasPrinter = false;    // the system has at least one printer
  int EcuFamily = 0;          // the ECU type's family: 1 pre-OBD1, 2 OBD1, 0 any
  bool MapIs3Bar = false;
  std::vector<int> GraphSelection;  // display-variable ids in the graph
};

struct TActionState {
  bool Enabled = true;
  bool Checked = false;
  const char* Caption = nullptr;  // the command table's caption unless the state changes it

  bool operator==(const TActionState&) const = default;
};

struct TActionStates {
  std::array<TActionState, CommandCount> Actions;
  bool TrackBarEnabled = false;  // the position track bar
  bool PlayShowsStop = false;    // the Play button shows the stop icon
  const TActionState& operator[](TCommand c) const { return Actions[static_cast<size_t>(c)]; }
};

TActionStates UpdateActionStates(const TMainState& s, const TActionInputs& in);

// ---------------------------------------------------------------------------------------------
// Status panels

enum class TStatusPanel : uint8_t { RecordingLength, RecordingSize, PlayPosition, ConnectionStatus, DatalogSpeed, ErrorStatus, Count };

struct TStatusPanelInfo {
  TStatusPanel Panel;
  int Width;  // pixels at 96 dots per inch
  const char* Hint;
};
// The six panels: the three recording panels on the top toolbar, the three link panels on the
// second.
const std::array<TStatusPanelInfo, 6>& StatusPanelTable();
constexpr const char* TrackBarHint = "Playback position";

// Background of the connection, datalog speed and error status panels. ButtonFace is the system's
// colour; the others have RGB values (PanelColourRgb).
enum class TPanelColour : uint8_t { ButtonFace, White, Yellow, Red, Teal };
// 0xRRGGBB; ButtonFace has none and gives 0xFFFFFFFF.
uint32_t PanelColourRgb(TPanelColour c);

struct TStatusInputs {
  int VarsPerSecond = 0;  // the poll thread's statistics
  int ErrorsPerSecond = 0;
  bool HasRecording = false;
  std::string LengthText;    // FormatMilliseconds of the current recording's LengthMs
  int64_t MemorySize = 0;    // of the current recording
  std::string PositionText;  // the play position shown (ShownPosition's Text)
};

struct TStatusPanels {
  std::string ConnectionStatus;
  std::string DatalogSpeed;
  std::string ErrorStatus;
  TPanelColour LinkColour = TPanelColour::ButtonFace;  // shared by the three link panels
  std::string RecordingLength;
  std::string RecordingSize;
  std::string PlayPosition;
};

TStatusPanels UpdateStatusPanels(const TMainState& s, const TStatusInputs& in);

// ---------------------------------------------------------------------------------------------
// Keys

enum class TKey : uint8_t { F1, F2, F3, F4, F5, F6, F7, PageUp, PageDown, Home, End, Left, Right, Up, Down, F, Escape, R, C, Other };

struct TKeyModifiers {
  bool Shift = false;
  bool Ctrl = false;
  bool Alt = false;
};

struct TKeyContext {
  // The focused control is the page control's tab strip or the position track bar.
  bool FocusOnTabsOrTrackBar = false;
  // The Graphs page is showing: the position keys act whatever has the focus.
  bool GraphsPageShowing = false;
  bool HasReference = false;  // the graph's reference cursor is set
  bool HasRecording = false;
  double CurrentTime = 0;  // the play position, seconds
  double GraphStartTime = 0;
  double GraphEndTime = 0;
  double LengthSeconds = 0;  // the current recording's length
};

enum class TKeyAction : uint8_t {
  PassOn,      // not handled: the key goes on to the focused control
  SelectPage,  // select Page (also the hidden Laps page) and swallow the key
  Seek,        // play position = Position, then UpdateDisplays, and swallow the key
  Command,     // run Command (a graph command), then UpdateDisplays, and swallow the key
  // On the Graphs page: R sets the reference cursor at the cursor, Esc clears it, Ctrl+C copies
  // the values at the cursors; each swallows the key.
  GraphSetReference,
  GraphClearReference,
  GraphCopyValues,
};

struct TKeyResult {
  TKeyAction Action = TKeyAction::PassOn;
  int Page = -1;
  double Position = 0;
  TCommand Command = TCommand::Count;
};

// The form sees every key before its controls (the position track bar shares this handling). The
// position keys act with the focus on the tabs or the track bar, or while the Graphs page shows.
TKeyResult FormKeyDown(TKey key, TKeyModifiers mods, const TKeyContext& ctx);

// Pages by index: 0 dashboard, 1 sensors, 2 graphs, 3 error codes, 4 recordings, 5 laps, 6 tables.
constexpr int ErrorCodesPageIndex = 3;  // what the "Errors" button selects

// ---------------------------------------------------------------------------------------------
// Auto-save, printing, track bar, resize, close query

// The first of <fileDir>/r1.rec, r2.rec, ... for which exists is false ('/' is not doubled when
// fileDir already ends in one). Empty when every number up to the largest int is taken.
std::string AutoSaveFileName(const std::string& fileDir, const std::function<bool(const std::string&)>& exists);

// The print job's title and the header of the window-image printout: "Revscope - <description>".
std::string PrintTitle(const std::string& description);
// The note after printing: "Printed to <file name>" for a printout into a file, else
// "Printed on <printer>".
std::string PrintedNote(const std::string& printer, const std::string& outputFile);

// Where the window image and its header go on a page of pageWidth x pageHeight device pixels:
// scaled to fit 90 % of the page keeping its aspect ratio, centred; the header centred at the top.
struct TPrintLayout {
  int HeaderX = 0;  // the header's left edge; its top is 0
  int ImageX = 0;
  int ImageY = 0;
  int ImageWidth = 0;
  int ImageHeight = 0;

  bool operator==(const TPrintLayout&) const = default;
};
// An image without pixels gets a zero-sized, centred rectangle.
TPrintLayout PrintWindowLayout(int pageWidth, int pageHeight, int imageWidth, int imageHeight, int headerWidth);
// a * b / c rounded to the nearest integer (halves away from zero), with a 64-bit product; -1
// when c is 0.
int MulDivRound(int a, int b, int c);

// The play position as the window shows it: one instant, where the chart's cursor stands and
// reads the values, written as its nearest whole millisecond (PositionMilliseconds) by the
// toolbar's panel and the cursor's box alike, the track bar at that millisecond.
struct TShownPosition {
  double Cursor = 0;  // seconds: where the chart's cursor stands and reads the values
  std::string Text;   // the toolbar's panel, as the cursor's box on the time axis writes it
  int TrackBar = 0;
};
TShownPosition ShownPosition(double currentTime);

// The position track bar counts milliseconds: range 0 .. the recording's LengthMs.
int TrackBarMaximum(uint32_t lengthMs);
// position x 0.001 seconds.
double TrackBarTime(int position);
// A move of the track bar: ignored while the window moves it itself or without a current
// recording; otherwise seek there and refresh.
std::vector<TMainEffect> TrackBarChanged(bool updatingPosition, bool hasRecording, int position);

// The graph's start while recording: end - timespan, or 0 when that is negative.
double ScrollingGraphStart(double endTime, double graphTimespan);

// The main window's smallest size.
constexpr int MinWindowWidth = 640;
constexpr int MinWindowHeight = 458;
// The dashboard's six side columns: client width / 10, at least 68.
int GaugeColumnWidth(int clientWidth);
// The bar gauges' pointer size: column width / 4.
int GaugePointerSize(int columnWidth);

// Closing the window with unsaved recordings.
enum class TCloseAnswer : uint8_t { Yes, No, Cancel };
constexpr const char* UnsavedRecordingsQuestion = "There are unsaved recordings.  Do you wish to save these?";
// Walks the recordings in order; for the first modified one asks the question once. Cancel refuses
// the close; No closes without saving; Yes runs saveAs for that one and every later modified one
// without asking again. A failed or cancelled save does not stop the close. True when the window
// may close.
bool FormCloseQuery(int recordingCount, const std::function<bool(int)>& isModified,
                    const std::function<TCloseAnswer()>& ask, const std::function<void(int)>& saveAs);
