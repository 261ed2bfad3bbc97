#include "rules/MainLogic.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "vars/Formatters.h"

namespace {

using TEffects = std::vector<TMainEffect>;
using K = TMainEffectKind;

void Emit(TEffects& e, K kind, int number = 0, double position = 0) { e.push_back({kind, number, position}); }

bool LinkIsUp(TLinkState l) { return l == TLinkState::Connecting || l == TLinkState::Connected; }

// The operations below change the state and collect effects without the closing UpdateActions;
// the public entry points add that once, at the end.

void DoConnect(TMainState& s, bool playing, TEffects& e) {
  s.LinkState = TLinkState::Connecting;
  if (playing) Emit(e, K::PlayerStop);
  Emit(e, K::ClearDashboard);
  Emit(e, K::PollOpenSerialPort);
  Emit(e, K::PollConnect);
}

void DoBeginRecording(TMainState& s, TEffects& e) {
  Emit(e, K::NewRecording, s.RecordingCounter);
  ++s.RecordingCounter;
  Emit(e, K::RefreshRecordings);
  Emit(e, K::RebuildGraph);
  Emit(e, K::PollRecord);
  s.RecordState = TRecordState::Recording;
}

void DoStartRecording(TMainState& s, bool playing, TEffects& e) {
  if (s.LinkState == TLinkState::Connected) {
    DoBeginRecording(s, e);
  } else {
    // Even while already connecting: the requests are repeated.
    s.RecordState = TRecordState::RecordPending;
    DoConnect(s, playing, e);
  }
}

void DoFinishRecording(TMainState& s, const TRecordingOptions& o, TEffects& e) {
  Emit(e, K::PollStopRecording);
  const bool wasRecording = s.RecordState == TRecordState::Recording;
  s.RecordState = TRecordState::NotRecording;
  if (wasRecording && o.AutoSaveRecordings) {
    Emit(e, K::AutoSave);
    // Closed even when the save failed.
    if (o.AutoCloseRecordings) Emit(e, K::CloseCurrentRecording);
  }
  Emit(e, K::RefreshRecordings);
}

void DoDisconnect(TMainState& s, const TRecordingOptions& o, TEffects& e) {
  if (s.RecordState != TRecordState::NotRecording) DoFinishRecording(s, o, e);
  // After a connection error or a second disconnect the poll thread has nothing to drop.
  if (LinkIsUp(s.LinkState)) {
    Emit(e, K::PollDisconnect);
    Emit(e, K::PollCloseSerialPort);
  }
  s.LinkState = TLinkState::Disconnecting;
}

TMainStep Done(TMainState s, TEffects e) {
  Emit(e, K::UpdateActions);
  return {s, std::move(e)};
}

// One command that changes the state through one of the Do* steps above.
template <typename Step>
TMainStep Run(const TMainState& s, Step step) {
  TMainState n = s;
  TEffects e;
  step(n, e);
  return Done(n, std::move(e));
}

TMainStep Unchanged(const TMainState& s) { return {s, {}}; }

TMainStep Seek(const TMainState& s, double position) {
  TMainStep step{s, {}};
  Emit(step.Effects, K::PlayerSetPosition, 0, position);
  step.State.SeekStep = std::min(s.SeekStep * SeekStepGrowth, MaxSeekStep);
  Emit(step.Effects, K::UpdateDisplays);
  return step;
}

TMainStep SetSpeed(const TMainState& s, int8_t speedStep) {
  TMainStep step{s, {}};
  step.State.PlaySpeedStep = speedStep;
  Emit(step.Effects, K::PlayerSetSpeed, speedStep);
  return step;
}

}  // namespace

std::string RecordingDescription(int number) { return "Recording #" + std::to_string(number); }

// ---------------------------------------------------------------------------------------------
// Transitions

TMainStep ECUConnectExecute(const TMainState& s, bool playing, const TRecordingOptions& o) {
  return LinkIsUp(s.LinkState) ? DisconnectECU(s, o) : ConnectECU(s, playing);
}

TMainStep ECURecordExecute(const TMainState& s, bool playing, const TRecordingOptions& o) {
  return s.RecordState != TRecordState::NotRecording ? FinishRecording(s, o) : StartRecording(s, playing);
}

TMainStep ConnectECU(const TMainState& s, bool playing) {
  return Run(s, [&](TMainState& n, TEffects& e) { DoConnect(n, playing, e); });
}

TMainStep DisconnectECU(const TMainState& s, const TRecordingOptions& o) {
  return Run(s, [&](TMainState& n, TEffects& e) { DoDisconnect(n, o, e); });
}

TMainStep StartRecording(const TMainState& s, bool playing) {
  return Run(s, [&](TMainState& n, TEffects& e) { DoStartRecording(n, playing, e); });
}

TMainStep FinishRecording(const TMainState& s, const TRecordingOptions& o) {
  return Run(s, [&](TMainState& n, TEffects& e) { DoFinishRecording(n, o, e); });
}

TMainStep OnPollConnected(const TMainState& s) {
  TMainState n = s;
  TEffects e;
  n.LinkState = TLinkState::Connected;
  if (n.RecordState == TRecordState::RecordPending) DoBeginRecording(n, e);
  return Done(n, std::move(e));
}

TMainStep OnPollDisconnected(const TMainState& s) {
  TMainState n = s;
  TEffects e;
  if (n.LinkState != TLinkState::ConnectionError) n.LinkState = TLinkState::Disconnected;
  Emit(e, K::ClearDashboard);
  return Done(n, std::move(e));
}

TMainStep OnPollError(const TMainState& s) {
  TMainState n = s;
  n.LinkState = TLinkState::ConnectionError;
  n.RecordState = TRecordState::NotRecording;
  return Done(n, {});
}

TMainStep OnPlayStopped(const TMainState& s) {
  TMainStep step = Done(s, {});
  Emit(step.Effects, K::UpdateDisplays);
  return step;
}

TMainStep PlayPlayExecute(const TMainState& s, bool playing, const TRecordingOptions& o) {
  return playing ? StopPlayback(s) : StartPlayback(s, o);
}

TMainStep StartPlayback(const TMainState& s, const TRecordingOptions& o) {
  TMainState n = s;
  TEffects e;
  if (n.LinkState != TLinkState::Disconnected) DoDisconnect(n, o, e);
  Emit(e, K::PlayerSetSpeed, n.PlaySpeedStep);
  Emit(e, K::PlayerPlay);
  return Done(n, std::move(e));
}

TMainStep StopPlayback(const TMainState& s) {
  TEffects e;
  Emit(e, K::PlayerStop);
  return Done(s, std::move(e));
}

TMainStep PlayRewindExecute(const TMainState& s, double currentTime) { return Seek(s, currentTime - s.SeekStep); }

TMainStep PlayForwardExecute(const TMainState& s, double currentTime) { return Seek(s, currentTime + s.SeekStep); }

TMainStep PlaySlowerExecute(const TMainState& s) {
  if (s.PlaySpeedStep <= SlowestPlaySpeedStep) return Unchanged(s);
  return SetSpeed(s, static_cast<int8_t>(s.PlaySpeedStep - 1));
}

TMainStep PlayNormalSpeedExecute(const TMainState& s) { return SetSpeed(s, NormalPlaySpeedStep); }

TMainStep PlayFasterExecute(const TMainState& s) {
  if (s.PlaySpeedStep >= FastestPlaySpeedStep) return Unchanged(s);
  return SetSpeed(s, static_cast<int8_t>(s.PlaySpeedStep + 1));
}

TMainStep FormClose(const TMainState& s, const TRecordingOptions& o) {
  if (s.LinkState != TLinkState::Connected) return Unchanged(s);
  return DisconnectECU(s, o);
}

TMainStep OnIdleCheckDSR(const TMainState& s, bool useDsrForRecording, bool portOpen, bool playing,
                         const TRecordingOptions& o, const std::function<bool()>& readDsr) {
  if (!useDsrForRecording) return Unchanged(s);
  switch (s.RecordState) {
    case TRecordState::NotRecording:
      // Keeps the link up on its own; a closed switch starts a recording once the port is held.
      if (!portOpen) return ConnectECU(s, playing);
      if (s.LinkState != TLinkState::Disconnected && readDsr()) return StartRecording(s, playing);
      return Unchanged(s);
    case TRecordState::Recording:
      if (!readDsr()) return FinishRecording(s, o);
      return Unchanged(s);
    case TRecordState::RecordPending:
      break;
  }
  return Unchanged(s);
}

// ---------------------------------------------------------------------------------------------
// Commands

bool IsGraphCommand(TCommand c) { return c >= TCommand::actGraphZoomIn && c < TCommand::Count; }

int GraphToggleVarId(TCommand c) {
  // Display-variable ids, in the toggles' menu order.
  static constexpr int ids[] = {1008, 1126, 1002, 1007, 1003, 1004, 1010, 1011, 1012,
                                1000, 1001, 1056, 1057, 1054, 1055, 1014, 1060, 1035};
  static_assert(std::size(ids) == static_cast<size_t>(TCommand::actGraphGear) - static_cast<size_t>(TCommand::actGraphRevs) + 1);
  if (c < TCommand::actGraphRevs || c > TCommand::actGraphGear) return 0;
  return ids[static_cast<size_t>(c) - static_cast<size_t>(TCommand::actGraphRevs)];
}

bool IsCheckable(TCommand c) {
  return c == TCommand::actECUTypeOBD0 || c == TCommand::actECUTypeOBD1 || c == TCommand::actECU3BarMAP ||
         GraphToggleVarId(c) != 0;
}

const std::vector<TCommandInfo>& CommandTable() {
  using C = TCommand;
  static const std::vector<TCommandInfo> table = {
      {C::actFileOpen, "actFileOpen", "&Open...", "Ctrl+O", "Open recording"},
      {C::actFileSaveAs, "actFileSaveAs", "Save &As...", "", ""},
      {C::actFileExport, "actFileExport", "&Export...", "", ""},
      {C::actFileClose, "actFileClose", "&Close", "", ""},
      {C::actFilePrintSetup, "actFilePrintSetup", "Print Se&tup...", "", ""},
      {C::actFilePrint, "actFilePrint", "&Print...", "", ""},
      {C::actFileSettings, "actFileSettings", "Se&ttings...", "Ctrl+T", ""},
      {C::actFileExit, "actFileExit", "E&xit", "", "Close Revscope"},
      {C::actECUConnect, "actECUConnect", "&Connect", "F10", "Connect to the ECU"},
      {C::actECURecord, "actECURecord", "&Start Recording", "F9", "Record from the ECU"},
      {C::actECUClearErrors, "actECUClearErrors", "Clear &Error Codes", "Ctrl+E", "Clear any error codes from the ECU"},
      {C::actECUTypeOBD0, "actECUTypeOBD0", "Pre OBDI", "", ""},
      {C::actECUTypeOBD1, "actECUTypeOBD1", "OBDI", "", ""},
      {C::actECU3BarMAP, "actECU3BarMAP", "3 Bar &MAP Sensor", "", ""},
      {C::actDatalogAll, "actDatalogAll", "&All Sensors", "", "Datalog all sensors"},
      {C::actDatalogPerformance, "actDatalogPerformance", "&Performance Sensors Only", "", "Datalog performance sensors only"},
      {C::actDatalogMixture, "actDatalogMixture", "&Mixture Sensors Only", "", "Datalog mixture sensors only"},
      {C::actPlayBeg, "actPlayBeg", "&Beginning", "Home", "Go to the beginning of the recording"},
      {C::actPlayRewind, "actPlayRewind", "&Rewind", "", "Rewind the recording"},
      {C::actPlayPlay, "actPlayPlay", "&Play", "Ctrl+P", "Play the recording"},
      {C::actPlayForward, "actPlayForward", "&Fast Forward", "", "Fast Forward"},
      {C::actPlayEnd, "actPlayEnd", "&End", "End", "Go to the end of the recording"},
      {C::mPlaySlower, "mPlaySlower", "&Slower", "", ""},
      {C::mPlayNormalSpeed, "mPlayNormalSpeed", "&Normal Speed", "", ""},
      {C::mPlayFaster, "mPlayFaster", "&Faster", "", ""},
      {C::actHelpContents, "actHelpContents", "&Contents", "", ""},
      {C::actHelpAbout, "actHelpAbout", "&About...", "", ""},
      {C::actGraphZoomIn, "actGraphZoomIn", "Zoom &In", "Ctrl+Up", ""},
      {C::actGraphZoomOut, "actGraphZoomOut", "Zoom &Out", "Ctrl+Down", ""},
      {C::actGraphShowFullLength, "actGraphShowFullLength", "Show &Full Length", "Ctrl+F", ""},
      {C::actGraphAddSensors, "actGraphAddSensors", "&Add Sensors...", "", ""},
      {C::actGraphRemoveSensors, "actGraphRemoveSensors", "&Remove Sensors...", "", ""},
      {C::actGraphRemoveAll, "actGraphRemoveAll", "Remove All Sensors", "", ""},
      {C::actGraphRevs, "actGraphRevs", "&Revs", "Ctrl+1", ""},
      {C::actGraphSpeed, "actGraphSpeed", "&Speed", "Ctrl+2", ""},
      {C::actGraphTPS, "actGraphTPS", "&TPS", "Ctrl+3", ""},
      {C::actGraphMAP, "actGraphMAP", "&MAP", "Ctrl+4", ""},
      {C::actGraphTW, "actGraphTW", "&Water Temperature", "Ctrl+5", ""},
      {C::actGraphTA, "actGraphTA", "&Air Temperature", "Ctrl+6", ""},
      {C::actGraphInjDur, "actGraphInjDur", "&Injector Duration", "Ctrl+7", ""},
      {C::actGraphDuty, "actGraphDuty", "&Duty Cycle", "Ctrl+8", ""},
      {C::actGraphAdvance, "actGraphAdvance", "Ignition &Advance", "Ctrl+9", ""},
      {C::actGraphO2A, "actGraphO2A", "O2 A", "Alt+1", "Graph O2A"},
      {C::actGraphO2B, "actGraphO2B", "O2 B", "Alt+2", ""},
      {C::actGraphO2AImmediate, "actGraphO2AImmediate", "O2 A Short Term Mixture Adjustment", "Alt+3",
       "Graph O2 A closed loop immediate mixture modifier"},
      {C::actGraphO2BImmediate, "actGraphO2BImmediate", "O2 B Short Term Mixture Adjustment", "Alt+4",
       "Graph O2 B closed loop immediate mixture modifier"},
      {C::actGraphO2ALongTerm, "actGraphO2ALongTerm", "O2 A Long Term Mixture Adjustment", "Alt+5", ""},
      {C::actGraphO2BLongTerm, "actGraphO2BLongTerm", "O2 B Long Term Mixture Adjustment", "Alt+6", ""},
      {C::actGraphBrakes, "actGraphBrakes", "&Brakes", "Shift+1", ""},
      {C::actGraphClutch, "actGraphClutch", "&Clutch", "Shift+2", ""},
      {C::actGraphGear, "actGraphGear", "&Gear", "Shift+3", ""},
  };
  return table;
}

const TCommandInfo* FindCommandInfo(TCommand c) {
  const auto& table = CommandTable();
  const size_t i = static_cast<size_t>(c);
  return i < table.size() ? &table[i] : nullptr;
}

const std::vector<TMenu>& MainMenus() {
  using C = TCommand;
  using I = TMenuItem;
  using Kd = TMenuItem::TKind;
  static const std::vector<TMenu> menus = [] {
    const I sep{Kd::Separator};
    auto cmd = [](C c) { return I{Kd::Command, c}; };
    std::vector<TMenu> m;
    m.push_back({"&File",
                 {cmd(C::actFileOpen), I{Kd::RecentFiles, C::Count, "&Reopen"}, cmd(C::actFileSaveAs),
                  cmd(C::actFileExport), cmd(C::actFileClose), sep, cmd(C::actFilePrintSetup), cmd(C::actFilePrint), sep,
                  cmd(C::actFileSettings), sep, cmd(C::actFileExit)}});
    m.push_back({"&ECU",
                 {cmd(C::actECUConnect), cmd(C::actECURecord), sep, cmd(C::actECUClearErrors), sep,
                  I{Kd::Submenu, C::Count, "ECU &Type", {C::actECUTypeOBD0, C::actECUTypeOBD1}},
                  cmd(C::actECU3BarMAP)}});
    m.push_back({"&Datalog", {cmd(C::actDatalogAll), cmd(C::actDatalogPerformance), cmd(C::actDatalogMixture)}});
    m.push_back({"&Play",
                 {cmd(C::actPlayBeg), cmd(C::actPlayRewind), cmd(C::actPlayPlay), cmd(C::actPlayForward),
                  cmd(C::actPlayEnd), sep,
                  I{Kd::Submenu, C::Count, "Playback &Speed", {C::mPlaySlower, C::mPlayNormalSpeed, C::mPlayFaster}}}});
    TMenu graph{"&Graph",
                {cmd(C::actGraphZoomIn), cmd(C::actGraphZoomOut), cmd(C::actGraphShowFullLength), sep,
                 cmd(C::actGraphAddSensors), cmd(C::actGraphRemoveSensors), cmd(C::actGraphRemoveAll), sep}};
    for (auto c = static_cast<int>(C::actGraphRevs); c <= static_cast<int>(C::actGraphGear); ++c)
      graph.Items.push_back(cmd(static_cast<C>(c)));
    m.push_back(std::move(graph));
    m.push_back({"&Recordings", {}});
    m.push_back({"&Help", {cmd(C::actHelpContents), sep, cmd(C::actHelpAbout)}});
    return m;
  }();
  return menus;
}

std::string RecordingsMenuCaption(int index, const std::string& name) {
  std::string caption = "&" + std::to_string(index) + " ";
  for (char c : name) caption += c == '&' ? std::string("&&") : std::string(1, c);
  return caption;
}

// ---------------------------------------------------------------------------------------------
// Enabled, checked and caption state

TActionStates UpdateActionStates(const TMainState& s, const TActionInputs& in) {
  TActionStates out;
  for (size_t i = 0; i < CommandCount; ++i) {
    const TCommandInfo* info = FindCommandInfo(static_cast<TCommand>(i));
    out.Actions[i].Caption = info ? info->Caption : nullptr;
  }
  auto at = [&out](TCommand c) -> TActionState& { return out.Actions[static_cast<size_t>(c)]; };
  using C = TCommand;

  const bool idle = s.RecordState == TRecordState::NotRecording;
  const bool recordingIdle = in.HasRecording && idle;

  at(C::actECUConnect).Caption = LinkIsUp(s.LinkState) ? "&Disconnect" : "&Connect";
  at(C::actFilePrintSetup).Enabled = in.HasPrinter;
  // Printing to a PDF file needs no installed printer, so only the recording is required.
  at(C::actFilePrint).Enabled = in.HasRecording;
  at(C::actECUClearErrors).Enabled = s.LinkState == TLinkState::Connected;
  at(C::actECUTypeOBD0).Checked = in.EcuFamily == 1;
  at(C::actECUTypeOBD1).Checked = in.EcuFamily == 2;
  at(C::actECU3BarMAP).Checked = in.MapIs3Bar;
  at(C::actFileOpen).Enabled = idle;
  at(C::actFileSaveAs).Enabled = recordingIdle;
  at(C::actFileExport).Enabled = recordingIdle;
  at(C::actFileClose).Enabled = recordingIdle;
  at(C::actECURecord).Caption = idle ? "&Start Recording" : "&Stop Recording";
  for (C c : {C::actPlayBeg, C::actPlayRewind, C::actPlayPlay, C::actPlayForward, C::actPlayEnd})
    at(c).Enabled = recordingIdle;
  out.TrackBarEnabled = recordingIdle;
  at(C::actPlayPlay).Caption = in.Playing ? "&Stop" : "&Play";
  out.PlayShowsStop = in.Playing;
  for (C c : {C::actGraphZoomIn, C::actGraphZoomOut, C::actGraphShowFullLength}) at(c).Enabled = in.HasRecording;
  const bool anyGraphed = !in.GraphSelection.empty();
  at(C::actGraphRemoveSensors).Enabled = anyGraphed;
  at(C::actGraphRemoveAll).Enabled = anyGraphed;
  for (auto c = static_cast<int>(C::actGraphRevs); c <= static_cast<int>(C::actGraphGear); ++c) {
    const int id = GraphToggleVarId(static_cast<C>(c));
    at(static_cast<C>(c)).Checked =
        std::find(in.GraphSelection.begin(), in.GraphSelection.end(), id) != in.GraphSelection.end();
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Status panels

const std::array<TStatusPanelInfo, 6>& StatusPanelTable() {
  static const std::array<TStatusPanelInfo, 6> table = {{
      {TStatusPanel::RecordingLength, 77, "Recording length"},
      {TStatusPanel::RecordingSize, 42, "Recording size"},
      {TStatusPanel::PlayPosition, 72, "Playback position"},
      {TStatusPanel::ConnectionStatus, 92, "Connection status"},
      {TStatusPanel::DatalogSpeed, 60, "Datalog speed"},
      {TStatusPanel::ErrorStatus, 60, "Error status"},
  }};
  return table;
}

uint32_t PanelColourRgb(TPanelColour c) {
  switch (c) {
    case TPanelColour::White: return 0xFFFFFF;
    case TPanelColour::Yellow: return 0xFFFF00;
    case TPanelColour::Red: return 0xFF0000;
    case TPanelColour::Teal: return 0x008080;
    case TPanelColour::ButtonFace: break;
  }
  return 0xFFFFFFFFu;
}


TStatusPanels UpdateStatusPanels(const TMainState& s, const TStatusInputs& in) {
  TStatusPanels p;
  if (s.RecordState == TRecordState::Recording) {
    p.ConnectionStatus = "Recording";
    p.LinkColour = TPanelColour::Red;
  } else {
    switch (s.LinkState) {
      case TLinkState::Connecting:
        p.ConnectionStatus = "Connecting";
        p.LinkColour = TPanelColour::White;
        break;
      case TLinkState::Connected:
        p.ConnectionStatus = "Connected";
        p.LinkColour = TPanelColour::Yellow;
        break;
      case TLinkState::ConnectionError:
        p.ConnectionStatus = "Connection error";
        p.LinkColour = TPanelColour::Teal;
        break;
      case TLinkState::Disconnecting:
        p.ConnectionStatus = "Disconnecting";
        p.LinkColour = TPanelColour::White;
        break;
      case TLinkState::Disconnected:
        p.LinkColour = TPanelColour::ButtonFace;
        break;
      default:
        p.ConnectionStatus = "?";
        p.LinkColour = TPanelColour::ButtonFace;
        break;
    }
  }
  if (s.LinkState == TLinkState::Connected) {
    p.ErrorStatus = std::to_string(in.ErrorsPerSecond) + " errs/s";
    p.DatalogSpeed = std::to_string(in.VarsPerSecond) + " vars/s";
  }
  if (in.HasRecording) {
    p.RecordingLength = in.LengthText;
    p.RecordingSize = RecordingSizeText(in.MemorySize);
    p.PlayPosition = in.PositionText;
  }
  return p;
}

// ---------------------------------------------------------------------------------------------
// Keys

TKeyResult FormKeyDown(TKey key, TKeyModifiers mods, const TKeyContext& ctx) {
  TKeyResult r;
  if (key >= TKey::F1 && key <= TKey::F7) {
    r.Action = TKeyAction::SelectPage;
    r.Page = static_cast<int>(key) - static_cast<int>(TKey::F1);
    return r;
  }
  if (!ctx.HasRecording) return r;
  if (ctx.GraphsPageShowing) {
    const bool plain = !mods.Shift && !mods.Ctrl && !mods.Alt;
    if (key == TKey::R && plain) r.Action = TKeyAction::GraphSetReference;
    if (key == TKey::Escape && plain && ctx.HasReference) r.Action = TKeyAction::GraphClearReference;
    if (key == TKey::C && mods.Ctrl && !mods.Shift && !mods.Alt) r.Action = TKeyAction::GraphCopyValues;
    if (r.Action != TKeyAction::PassOn) return r;
  } else if (!ctx.FocusOnTabsOrTrackBar) {
    return r;
  }

  auto seek = [&r](double position) {
    r.Action = TKeyAction::Seek;
    r.Position = position;
  };
  auto command = [&r](TCommand c) {
    r.Action = TKeyAction::Command;
    r.Command = c;
  };
  const double page = ctx.GraphEndTime - ctx.GraphStartTime;
  const double arrowStep = mods.Ctrl ? (mods.Shift ? 0.01 : 0.1) : (mods.Shift ? 10.0 : 1.0);
  switch (key) {
    case TKey::PageUp: seek(ctx.CurrentTime - page); break;
    case TKey::PageDown: seek(ctx.CurrentTime + page); break;
    case TKey::End: seek(ctx.LengthSeconds); break;
    case TKey::Home: seek(0); break;
    case TKey::Left: seek(ctx.CurrentTime - arrowStep); break;
    case TKey::Right: seek(ctx.CurrentTime + arrowStep); break;
    case TKey::Up: command(TCommand::actGraphZoomIn); break;
    case TKey::Down: command(TCommand::actGraphZoomOut); break;
    case TKey::F: command(TCommand::actGraphShowFullLength); break;
    default: break;
  }
  return r;
}

// ---------------------------------------------------------------------------------------------
// Auto-save, printing, track bar, resize, close query

std::string AutoSaveFileName(const std::string& fileDir, const std::function<bool(const std::string&)>& exists) {
  std::string folder = fileDir;
  if (folder.empty() || folder.back() != '/') folder += '/';
  for (long long n = 1; n <= INT_MAX; ++n) {
    std::string name = folder + "r" + std::to_string(n) + ".rec";
    if (!exists(name)) return name;
  }
  return {};
}

std::string PrintTitle(const std::string& description) { return "Revscope - " + description; }

std::string PrintedNote(const std::string& printer, const std::string& outputFile) {
  if (outputFile.empty()) return "Printed on " + printer;
  const size_t slash = outputFile.rfind('/');
  return "Printed to " + (slash == std::string::npos ? outputFile : outputFile.substr(slash + 1));
}

int MulDivRound(int a, int b, int c) {
  if (c == 0) return -1;
  const long long product = static_cast<long long>(a) * b;
  const bool negative = (product < 0) != (c < 0);
  const long long num = product < 0 ? -product : product;
  const long long den = c < 0 ? -static_cast<long long>(c) : c;
  const long long q = (num + den / 2) / den;
  if (q > INT_MAX) return -1;
  return static_cast<int>(negative ? -q : q);
}

TPrintLayout PrintWindowLayout(int pageWidth, int pageHeight, int imageWidth, int imageHeight, int headerWidth) {
  const int maxW = static_cast<int>(pageWidth * 0.9);
  const int maxH = static_cast<int>(pageHeight * 0.9);
  int dw = 0;
  int dh = 0;
  if (imageWidth > 0 && imageHeight > 0) {
    // Fit the height first; when that is too wide, fit the width instead.
    dw = MulDivRound(imageWidth, maxH, imageHeight);
    if (dw < maxW) {
      dh = maxH;
    } else {
      dh = MulDivRound(imageHeight, maxW, imageWidth);
      dw = maxW;
    }
  }
  TPrintLayout l;
  l.HeaderX = (pageWidth - headerWidth) / 2;
  l.ImageX = (pageWidth - dw) / 2;
  l.ImageY = (pageHeight - dh) / 2;
  l.ImageWidth = dw;
  l.ImageHeight = dh;
  return l;
}

int TrackBarMaximum(uint32_t lengthMs) { return static_cast<int>(std::min<uint32_t>(lengthMs, INT_MAX)); }

TShownPosition ShownPosition(double currentTime) {
  // The cursor stands at the position itself (a sample a click on the tables seeks to is held
  // there); both texts of it and the track bar give its nearest millisecond.
  const uint32_t ms = PositionMilliseconds(currentTime);
  return {std::max(currentTime, 0.0), FormatMilliseconds(ms), static_cast<int>(std::min<uint32_t>(ms, INT_MAX))};
}

double TrackBarTime(int position) { return position * 0.001; }

std::vector<TMainEffect> TrackBarChanged(bool updatingPosition, bool hasRecording, int position) {
  if (updatingPosition || !hasRecording) return {};
  return {{K::PlayerSetPosition, 0, TrackBarTime(position)}, {K::UpdateDisplays}};
}

double ScrollingGraphStart(double endTime, double graphTimespan) {
  const double start = endTime - graphTimespan;
  return start < 0 ? 0 : start;
}


int GaugeColumnWidth(int clientWidth) { return std::max(clientWidth / 10, 68); }

int GaugePointerSize(int columnWidth) { return columnWidth / 4; }

bool FormCloseQuery(int recordingCount, const std::function<bool(int)>& isModified,
                    const std::function<TCloseAnswer()>& ask, const std::function<void(int)>& saveAs) {
  bool asked = false;
  for (int i = 0; i < recordingCount; ++i) {
    if (!isModified(i)) continue;
    if (!asked) {
      asked = true;
      const TCloseAnswer answer = ask();
      if (answer == TCloseAnswer::Cancel) return false;
      if (answer == TCloseAnswer::No) return true;
    }
    saveAs(i);
  }
  return true;
}
