// The main window's rules: link and recording transitions, command states, status panels, keys,
// command table, auto-save names, printout layout and the track bar and resize arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "rules/GraphCursors.h"
#include "rules/MainLogic.h"
#include "vars/Formatters.h"

namespace {

using K = TMainEffectKind;
using L = TLinkState;
using R = TRecordState;
using C = TCommand;
using Ks = std::vector<K>;

Ks Kinds(const TMainStep& step) {
  Ks kinds;
  for (const TMainEffect& e : step.Effects) kinds.push_back(e.Kind);
  return kinds;
}

TMainState State(L link, R record = R::NotRecording) {
  TMainState s;
  s.LinkState = link;
  s.RecordState = record;
  return s;
}

bool Up(L l) { return l == L::Connecting || l == L::Connected; }

const L kAllLinks[] = {L::Connecting, L::Connected, L::ConnectionError, L::Disconnecting, L::Disconnected};
const TRecordingOptions kNoAutoSave{};
const TRecordingOptions kAutoSave{true, false};
const Ks kConnect = {K::ClearDashboard, K::PollOpenSerialPort, K::PollConnect, K::UpdateActions};
const Ks kBegin = {K::NewRecording, K::RefreshRecordings, K::RebuildGraph, K::PollRecord, K::UpdateActions};

TEST(MainLink, TransitionsFromEveryState) {
  const TMainState start;
  EXPECT_TRUE(start.LinkState == L::Disconnected && start.RecordState == R::NotRecording);
  EXPECT_TRUE(start.PlaySpeedStep == 4 && start.RecordingCounter == 1 && start.SeekStep == 0.05);
  EXPECT_EQ(static_cast<int>(L::Disconnected), 4);
  for (L from : kAllLinks) {
    SCOPED_TRACE(static_cast<int>(from));
    EXPECT_EQ(ConnectECU(State(from), false).State.LinkState, L::Connecting);
    EXPECT_EQ(Kinds(ConnectECU(State(from), false)), kConnect);
    EXPECT_EQ(Kinds(ConnectECU(State(from), true)).front(), K::PlayerStop);
    // Disconnecting in every case; only a link that is up is torn down.
    const TMainStep down = DisconnectECU(State(from), kNoAutoSave);
    EXPECT_EQ(down.State.LinkState, L::Disconnecting);
    EXPECT_EQ(Kinds(down), (Up(from) ? Ks{K::PollDisconnect, K::PollCloseSerialPort, K::UpdateActions} : Ks{K::UpdateActions}));
    EXPECT_EQ(ECUConnectExecute(State(from), false, kNoAutoSave).State.LinkState, Up(from) ? L::Disconnecting : L::Connecting);
    const TMainStep reported = OnPollDisconnected(State(from));
    EXPECT_EQ(reported.State.LinkState, from == L::ConnectionError ? L::ConnectionError : L::Disconnected);
    EXPECT_EQ(Kinds(reported), (Ks{K::ClearDashboard, K::UpdateActions}));
    const TMainStep error = OnPollError(State(from, R::Recording));
    EXPECT_EQ(error.State, State(L::ConnectionError));
    EXPECT_EQ(Kinds(error), Ks{K::UpdateActions});  // no stop request, no save
    EXPECT_EQ(FormClose(State(from), kNoAutoSave).State.LinkState, from == L::Connected ? L::Disconnecting : from);
  }
}

TEST(MainRecord, StartWhileConnectedRecordsAtOnceWithARunningNumber) {
  const TMainStep first = ECURecordExecute(State(L::Connected), false, kNoAutoSave);
  EXPECT_EQ(first.State.RecordState, R::Recording);
  EXPECT_EQ(Kinds(first), kBegin);
  EXPECT_EQ(RecordingDescription(first.Effects[0].Number), "Recording #1");
  const TMainStep second = StartRecording(FinishRecording(first.State, kNoAutoSave).State, false);
  EXPECT_EQ(second.Effects[0].Number, 2);
  EXPECT_EQ(second.State.RecordingCounter, 3);
}

TEST(MainRecord, StartWhileNotConnectedIsPendingUntilTheLinkComesUp) {
  for (L from : {L::Disconnected, L::Connecting, L::ConnectionError}) {
    const TMainStep pending = StartRecording(State(from), false);
    EXPECT_EQ(pending.State, State(L::Connecting, R::RecordPending));
    EXPECT_EQ(Kinds(pending), kConnect);  // repeated even while already connecting
  }
  const TMainState pending = State(L::Connecting, R::RecordPending);
  EXPECT_STREQ(UpdateActionStates(pending, {})[C::actECURecord].Caption, "&Stop Recording");
  EXPECT_EQ(UpdateStatusPanels(pending, {}).ConnectionStatus, "Connecting");
  const TMainStep up = OnPollConnected(pending);
  EXPECT_EQ(up.State.LinkState, L::Connected);
  EXPECT_EQ(up.State.RecordState, R::Recording);
  EXPECT_EQ(Kinds(up), kBegin);
  EXPECT_EQ(up.Effects[0].Number, 1);
  EXPECT_EQ(Kinds(OnPollConnected(State(L::Connecting))), Ks{K::UpdateActions});
}

TEST(MainRecord, StoppingSavesOnlyARunningRecordingAsTheSettingsSay) {
  const struct {
    R from;
    TRecordingOptions options;
    Ks effects;
  } rows[] = {
      {R::Recording, kNoAutoSave, {K::PollStopRecording, K::RefreshRecordings, K::UpdateActions}},
      {R::Recording, kAutoSave, {K::PollStopRecording, K::AutoSave, K::RefreshRecordings, K::UpdateActions}},
      {R::Recording, {true, true}, {K::PollStopRecording, K::AutoSave, K::CloseCurrentRecording, K::RefreshRecordings, K::UpdateActions}},
      {R::Recording, {false, true}, {K::PollStopRecording, K::RefreshRecordings, K::UpdateActions}},
      {R::RecordPending, {true, true}, {K::PollStopRecording, K::RefreshRecordings, K::UpdateActions}},
  };
  for (const auto& row : rows) {
    const L link = row.from == R::Recording ? L::Connected : L::Connecting;
    const TMainStep step = ECURecordExecute(State(link, row.from), false, row.options);
    EXPECT_EQ(step.State, State(link));  // a pending recording's link keeps connecting
    EXPECT_EQ(Kinds(step), row.effects);
  }
}

TEST(MainRecord, DisconnectingFinishesTheRecordingFirst) {
  EXPECT_EQ(Kinds(ECUConnectExecute(State(L::Connected, R::Recording), false, kAutoSave)),
            (Ks{K::PollStopRecording, K::AutoSave, K::RefreshRecordings, K::PollDisconnect, K::PollCloseSerialPort,
                K::UpdateActions}));
  // Connect pressed while a recording waits for the link: both are given up, nothing is saved.
  const TMainStep step = ECUConnectExecute(State(L::Connecting, R::RecordPending), false, kAutoSave);
  EXPECT_EQ(step.State, State(L::Disconnecting));
  EXPECT_EQ(Kinds(step), (Ks{K::PollStopRecording, K::RefreshRecordings, K::PollDisconnect, K::PollCloseSerialPort,
                             K::UpdateActions}));
}

TEST(MainPlayback, PlayDisconnectsAnyLinkNotDisconnectedThenPlaysAtTheCurrentStep) {
  TMainState connected = State(L::Connected);
  connected.PlaySpeedStep = 6;
  const TMainStep step = PlayPlayExecute(connected, false, kNoAutoSave);
  EXPECT_EQ(step.State.LinkState, L::Disconnecting);
  EXPECT_EQ(Kinds(step), (Ks{K::PollDisconnect, K::PollCloseSerialPort, K::PlayerSetSpeed, K::PlayerPlay, K::UpdateActions}));
  EXPECT_EQ(step.Effects[2].Number, 6);
  // After a connection error the status turns to "Disconnecting" and stays so.
  const TMainStep afterError = StartPlayback(State(L::ConnectionError), kNoAutoSave);
  EXPECT_EQ(Kinds(afterError), (Ks{K::PlayerSetSpeed, K::PlayerPlay, K::UpdateActions}));
  EXPECT_EQ(UpdateStatusPanels(afterError.State, {}).ConnectionStatus, "Disconnecting");
  EXPECT_EQ(StartPlayback(TMainState{}, kNoAutoSave).State.LinkState, L::Disconnected);
  EXPECT_EQ(Kinds(PlayPlayExecute(TMainState{}, true, kNoAutoSave)), (Ks{K::PlayerStop, K::UpdateActions}));
  EXPECT_EQ(Kinds(OnPlayStopped(TMainState{})), (Ks{K::UpdateActions, K::UpdateDisplays}));
}

TEST(MainPlayback, SpeedStepsStopAtBothEnds) {
  for (int from = 0; from <= 7; ++from) {
    TMainState s;
    s.PlaySpeedStep = static_cast<int8_t>(from);
    const TMainStep slower = PlaySlowerExecute(s);
    const TMainStep faster = PlayFasterExecute(s);
    EXPECT_EQ(slower.State.PlaySpeedStep, std::max(from - 1, 0));
    EXPECT_EQ(faster.State.PlaySpeedStep, std::min(from + 1, 7));
    // At a limit nothing reaches the player.
    EXPECT_EQ(slower.Effects, (from == 0 ? std::vector<TMainEffect>{} : std::vector<TMainEffect>{{K::PlayerSetSpeed, from - 1}}));
    EXPECT_EQ(faster.Effects.empty(), from == 7);
    EXPECT_EQ(PlayNormalSpeedExecute(s).Effects, (std::vector<TMainEffect>{{K::PlayerSetSpeed, 4}}));
  }
}

TEST(MainPlayback, SeekStepGrowsByFifteenPercentUpToFiveSecondsForBothDirections) {
  TMainState s;
  for (double distance : {0.05, 0.0575, 0.066125}) {
    const TMainStep step = PlayRewindExecute(s, 10.0);
    ASSERT_EQ(Kinds(step), (Ks{K::PlayerSetPosition, K::UpdateDisplays}));
    EXPECT_NEAR(10.0 - step.Effects[0].Position, distance, 1e-12);
    s = step.State;
  }
  for (int press = 4; press <= 32; ++press) s = PlayForwardExecute(s, 0).State;
  EXPECT_LT(s.SeekStep, 5.0);
  s = PlayRewindExecute(s, 0).State;
  EXPECT_DOUBLE_EQ(s.SeekStep, 5.0);  // capped from the 33rd press on
  const TMainStep later = PlayForwardExecute(s, 1.0);
  EXPECT_DOUBLE_EQ(later.Effects[0].Position, 6.0);
  EXPECT_DOUBLE_EQ(later.State.SeekStep, 5.0);
}

TEST(MainDsrSwitch, IdleCheckRules) {
  const struct {
    bool use;
    L link;
    R record;
    bool portOpen, dsr, readsDsr;
    L linkAfter;
    R recordAfter;
  } rows[] = {
      {false, L::Disconnected, R::NotRecording, false, true, false, L::Disconnected, R::NotRecording},
      {true, L::Disconnected, R::NotRecording, false, true, false, L::Connecting, R::NotRecording},
      {true, L::Disconnected, R::NotRecording, true, true, false, L::Disconnected, R::NotRecording},
      {true, L::Connected, R::NotRecording, true, true, true, L::Connected, R::Recording},
      {true, L::Connected, R::NotRecording, true, false, true, L::Connected, R::NotRecording},
      {true, L::ConnectionError, R::NotRecording, true, true, true, L::Connecting, R::RecordPending},
      {true, L::Connected, R::Recording, true, true, true, L::Connected, R::Recording},
      {true, L::Connected, R::Recording, true, false, true, L::Connected, R::NotRecording},
      {true, L::Connecting, R::RecordPending, true, false, false, L::Connecting, R::RecordPending},
  };
  for (const auto& row : rows) {
    int reads = 0;
    const TMainStep step = OnIdleCheckDSR(State(row.link, row.record), row.use, row.portOpen, false, kAutoSave, [&] {
      ++reads;
      return row.dsr;
    });
    SCOPED_TRACE(testing::Message() << int(row.link) << " " << int(row.record) << " " << row.portOpen << row.dsr);
    EXPECT_EQ(reads > 0, row.readsDsr);
    EXPECT_EQ(step.State.LinkState, row.linkAfter);
    EXPECT_EQ(step.State.RecordState, row.recordAfter);
    if (row.record == R::Recording && !row.dsr) {
      EXPECT_EQ(Kinds(step)[1], K::AutoSave);
    }
  }
}

TEST(MainActions, CaptionsFollowTheStates) {
  for (L link : kAllLinks) {
    const TActionStates a = UpdateActionStates(State(link), {});
    EXPECT_STREQ(a[C::actECUConnect].Caption, Up(link) ? "&Disconnect" : "&Connect");
    EXPECT_EQ(a[C::actECUClearErrors].Enabled, link == L::Connected);
  }
  for (R rec : {R::NotRecording, R::RecordPending, R::Recording})
    EXPECT_STREQ(UpdateActionStates(State(L::Connected, rec), {})[C::actECURecord].Caption,
                 rec == R::NotRecording ? "&Start Recording" : "&Stop Recording");
  TActionInputs playing;
  playing.Playing = true;
  EXPECT_STREQ(UpdateActionStates({}, playing)[C::actPlayPlay].Caption, "&Stop");
  EXPECT_TRUE(UpdateActionStates({}, playing).PlayShowsStop);
  EXPECT_STREQ(UpdateActionStates({}, {})[C::actPlayPlay].Caption, "&Play");
  EXPECT_STREQ(UpdateActionStates({}, {})[C::actFileOpen].Caption, "&Open...");
}

TEST(MainActions, EnablingRules) {
  const struct {
    R record;
    bool hasRecording, printer;
    bool open, fileOps, playback, zoom, print;
  } rows[] = {
      {R::NotRecording, false, true, true, false, false, false, false},
      {R::NotRecording, true, false, true, true, true, true, true},  // no printer: print to a file
      {R::RecordPending, true, true, false, false, false, true, true},
      {R::Recording, true, true, false, false, false, true, true},
  };
  for (const auto& row : rows) {
    TActionInputs in;
    in.HasRecording = row.hasRecording;
    in.HasPrinter = row.printer;
    const TActionStates a = UpdateActionStates(State(L::Connected, row.record), in);
    EXPECT_EQ(a[C::actFileOpen].Enabled, row.open);
    for (C c : {C::actFileSaveAs, C::actFileExport, C::actFileClose}) EXPECT_EQ(a[c].Enabled, row.fileOps);
    for (C c : {C::actPlayBeg, C::actPlayRewind, C::actPlayPlay, C::actPlayForward, C::actPlayEnd})
      EXPECT_EQ(a[c].Enabled, row.playback);
    EXPECT_EQ(a.TrackBarEnabled, row.playback);
    for (C c : {C::actGraphZoomIn, C::actGraphZoomOut, C::actGraphShowFullLength}) EXPECT_EQ(a[c].Enabled, row.zoom);
    EXPECT_EQ(a[C::actFilePrint].Enabled, row.print);
    EXPECT_EQ(a[C::actFilePrintSetup].Enabled, row.printer);
    EXPECT_TRUE(a[C::actGraphAddSensors].Enabled && a[C::actFileSettings].Enabled);
  }
}

TEST(MainActions, CheckMarksShowTheFamilyTheMapSensorAndTheGraphSelection) {
  TActionInputs in;
  in.EcuFamily = 2;
  in.MapIs3Bar = true;
  in.GraphSelection = {1008, 1035, 1999};
  const TActionStates a = UpdateActionStates({}, in);
  EXPECT_FALSE(a[C::actECUTypeOBD0].Checked);
  EXPECT_TRUE(a[C::actECUTypeOBD1].Checked && a[C::actECU3BarMAP].Checked);
  EXPECT_TRUE(a[C::actGraphRevs].Checked && a[C::actGraphGear].Checked);
  EXPECT_FALSE(a[C::actGraphSpeed].Checked);
  EXPECT_TRUE(a[C::actGraphRemoveSensors].Enabled);
  in.EcuFamily = 0;
  in.GraphSelection.clear();
  const TActionStates b = UpdateActionStates({}, in);
  EXPECT_FALSE(b[C::actECUTypeOBD0].Checked || b[C::actECUTypeOBD1].Checked);
  EXPECT_FALSE(b[C::actGraphRemoveSensors].Enabled || b[C::actGraphRemoveAll].Enabled);
}

TEST(MainStatusPanels, ConnectionTextColourAndRates) {
  const struct {
    L link;
    const char* text;
    TPanelColour colour;
  } rows[] = {{L::Connecting, "Connecting", TPanelColour::White},
              {L::Connected, "Connected", TPanelColour::Yellow},
              {L::ConnectionError, "Connection error", TPanelColour::Teal},
              {L::Disconnecting, "Disconnecting", TPanelColour::White},
              {L::Disconnected, "", TPanelColour::ButtonFace},
              {static_cast<L>(9), "?", TPanelColour::ButtonFace}};
  TStatusInputs in;
  in.VarsPerSecond = 187;
  for (const auto& row : rows) {
    const TStatusPanels p = UpdateStatusPanels(State(row.link), in);
    EXPECT_EQ(p.ConnectionStatus, row.text);
    EXPECT_EQ(p.LinkColour, row.colour);
    EXPECT_EQ(p.DatalogSpeed, row.link == L::Connected ? "187 vars/s" : "");
    EXPECT_EQ(p.ErrorStatus, row.link == L::Connected ? "0 errs/s" : "");
    const TStatusPanels rec = UpdateStatusPanels(State(row.link, R::Recording), in);
    EXPECT_EQ(rec.ConnectionStatus, "Recording");
    EXPECT_EQ(rec.LinkColour, TPanelColour::Red);
  }
  EXPECT_EQ(PanelColourRgb(TPanelColour::Teal), 0x008080u);
}

TEST(MainStatusPanels, RecordingTextsOnlyWithACurrentRecording) {
  TStatusInputs in;
  in.LengthText = "0:00:01.500s";
  in.PositionText = "0:00:00.250s";
  in.MemorySize = 5000;
  EXPECT_EQ(UpdateStatusPanels({}, in).RecordingLength + UpdateStatusPanels({}, in).PlayPosition, "");
  in.HasRecording = true;
  const TStatusPanels p = UpdateStatusPanels({}, in);
  EXPECT_EQ(p.RecordingLength, "0:00:01.500s");
  EXPECT_EQ(p.RecordingSize, "4k");
  EXPECT_EQ(p.PlayPosition, "0:00:00.250s");
  EXPECT_EQ(RecordingSizeText(172), "1k");  // an empty recording
  EXPECT_EQ(RecordingSizeText(2047), "1k");
  EXPECT_EQ(RecordingSizeText(2048), "2k");
  EXPECT_EQ(RecordingSizeText(3071), "2k");
}

TKeyContext Focused() {
  TKeyContext ctx;
  ctx.FocusOnTabsOrTrackBar = true;
  ctx.HasRecording = true;
  ctx.CurrentTime = 20;
  ctx.GraphStartTime = 5;
  ctx.GraphEndTime = 12.5;
  ctx.LengthSeconds = 90;
  return ctx;
}

TEST(MainKeys, FunctionKeysAlwaysSelectPagesOtherKeysNeedFocusAndARecording) {
  for (int k = 0; k < 7; ++k) {
    const TKeyResult r = FormKeyDown(static_cast<TKey>(static_cast<int>(TKey::F1) + k), {}, TKeyContext{});
    EXPECT_EQ(r.Action, TKeyAction::SelectPage);
    EXPECT_EQ(r.Page, k);
  }
  TKeyContext noFocus = Focused(), noRecording = Focused();
  noFocus.FocusOnTabsOrTrackBar = false;
  noRecording.HasRecording = false;
  for (TKey key : {TKey::Left, TKey::Home, TKey::Up})
    EXPECT_TRUE(FormKeyDown(key, {}, noFocus).Action == TKeyAction::PassOn &&
                FormKeyDown(key, {}, noRecording).Action == TKeyAction::PassOn);
  EXPECT_EQ(FormKeyDown(TKey::Other, {}, Focused()).Action, TKeyAction::PassOn);
  EXPECT_EQ(FormKeyDown(TKey::Up, {}, Focused()).Command, C::actGraphZoomIn);
  EXPECT_EQ(FormKeyDown(TKey::Down, {}, Focused()).Command, C::actGraphZoomOut);
  EXPECT_EQ(FormKeyDown(TKey::F, {}, Focused()).Command, C::actGraphShowFullLength);
}

TEST(MainKeys, OnTheGraphsPageKeysActWhateverHasFocusAndRule) {
  TKeyContext graphs = Focused();
  graphs.FocusOnTabsOrTrackBar = false;
  graphs.GraphsPageShowing = true;
  EXPECT_EQ(FormKeyDown(TKey::Right, {}, graphs).Action, TKeyAction::Seek);
  EXPECT_EQ(FormKeyDown(TKey::Up, {}, graphs).Command, C::actGraphZoomIn);
  const TKeyModifiers none{}, ctrl{false, true, false}, shift{true, false, false};
  const struct {
    TKey key;
    TKeyModifiers mods;
    bool reference;
    TKeyAction action;
  } rows[] = {
      {TKey::R, none, false, TKeyAction::GraphSetReference},   {TKey::R, ctrl, false, TKeyAction::PassOn},
      {TKey::Escape, none, true, TKeyAction::GraphClearReference},
      {TKey::Escape, none, false, TKeyAction::PassOn},          // nothing to clear
      {TKey::C, ctrl, false, TKeyAction::GraphCopyValues},     {TKey::C, none, false, TKeyAction::PassOn},
      {TKey::C, TKeyModifiers{true, true, false}, false, TKeyAction::PassOn},
      {TKey::R, shift, false, TKeyAction::PassOn},
  };
  for (const auto& row : rows) {
    graphs.HasReference = row.reference;
    EXPECT_EQ(FormKeyDown(row.key, row.mods, graphs).Action, row.action) << static_cast<int>(row.key);
  }
  // Elsewhere those keys pass on, and without a recording nothing acts.
  EXPECT_EQ(FormKeyDown(TKey::R, {}, Focused()).Action, TKeyAction::PassOn);
  graphs.HasRecording = false;
  EXPECT_EQ(FormKeyDown(TKey::R, {}, graphs).Action, TKeyAction::PassOn);
  EXPECT_EQ(FormKeyDown(TKey::Left, {}, graphs).Action, TKeyAction::PassOn);
}

TEST(MainKeys, SeekKeys) {
  const struct {
    TKey key;
    TKeyModifiers mods;
    double position;
  } rows[] = {
      {TKey::Left, {}, 19},         {TKey::Right, {}, 21},      {TKey::Left, {true, false, false}, 10},
      {TKey::Right, {false, true, false}, 20.1},                {TKey::Left, {true, true, false}, 19.99},
      {TKey::PageUp, {}, 12.5},     {TKey::PageDown, {}, 27.5}, {TKey::Home, {}, 0},
      {TKey::End, {}, 90},
  };
  for (const auto& row : rows) {
    const TKeyResult r = FormKeyDown(row.key, row.mods, Focused());
    EXPECT_EQ(r.Action, TKeyAction::Seek);
    EXPECT_NEAR(r.Position, row.position, 1e-9) << static_cast<int>(row.key);
  }
}

TEST(MainCommandTable, EveryCommandInOrderAndTheGraphToggles) {
  const auto& table = CommandTable();
  ASSERT_EQ(table.size(), CommandCount);
  for (size_t i = 0; i < CommandCount; ++i) EXPECT_EQ(FindCommandInfo(static_cast<C>(i))->Command, static_cast<C>(i));
  EXPECT_EQ(FindCommandInfo(C::Count), nullptr);
  const TCommandInfo* rec = FindCommandInfo(C::actECURecord);
  EXPECT_EQ(std::string(rec->Name) + rec->Shortcut + rec->Hint, "actECURecordF9Record from the ECU");
  const TCommandInfo* o2 = FindCommandInfo(C::actGraphO2AImmediate);
  EXPECT_EQ(std::string(o2->Caption) + "|" + o2->Shortcut + "|" + o2->Hint,
            "O2 A Short Term Mixture Adjustment|Alt+3|Graph O2 A closed loop immediate mixture modifier");
  EXPECT_STREQ(FindCommandInfo(C::actGraphZoomOut)->Shortcut, "Ctrl+Down");
  EXPECT_STREQ(FindCommandInfo(C::actGraphGear)->Shortcut, "Shift+3");
  std::set<int> ids;
  for (int c = static_cast<int>(C::actGraphRevs); c <= static_cast<int>(C::actGraphGear); ++c)
    if (IsCheckable(static_cast<C>(c))) ids.insert(GraphToggleVarId(static_cast<C>(c)));
  EXPECT_EQ(ids.size(), 18u);
  EXPECT_EQ(GraphToggleVarId(C::actGraphO2AImmediate), 1056);
  EXPECT_FALSE(IsCheckable(C::actFileOpen));
}

TEST(MainMenus, OrderSubmenusAndTheGraphToggles) {
  const auto& menus = MainMenus();
  ASSERT_EQ(menus.size(), 7u);
  EXPECT_STREQ(menus[0].Items[1].Caption, "&Reopen");
  EXPECT_EQ(menus[1].Items[5].Items, (std::vector<C>{C::actECUTypeOBD0, C::actECUTypeOBD1}));
  EXPECT_EQ(menus[4].Items.size(), 8u + 18u);
  EXPECT_EQ(menus[4].Items.back().Command, C::actGraphGear);
  EXPECT_TRUE(menus[5].Items.empty());
  EXPECT_EQ(RecordingsMenuCaption(0, "/data/run.rec"), "&0 /data/run.rec");
  EXPECT_EQ(RecordingsMenuCaption(1, "Fast & dry (unsaved)"), "&1 Fast && dry (unsaved)");
}

TEST(MainAutoSaveName, TakesTheFirstFreeNumberInFileDir) {
  std::set<std::string> taken = {"/data/logs/r1.rec", "/data/logs/r2.rec"};
  auto exists = [&taken](const std::string& p) { return taken.count(p) > 0; };
  EXPECT_EQ(AutoSaveFileName("/data/logs", exists), "/data/logs/r3.rec");
  taken.erase("/data/logs/r1.rec");
  EXPECT_EQ(AutoSaveFileName("/data/logs/", exists), "/data/logs/r1.rec");
  EXPECT_EQ(AutoSaveFileName("/", exists), "/r1.rec");
}

TEST(MainPrintLayout, FitsNinetyPercentOfThePageKeepingTheAspect) {
  // Max 4320 x 5940; 662 x 5940 / 571 = 6886.6 is too wide, so 4320 wide, 571 x 4320 / 662 = 3726.2 high.
  EXPECT_EQ(PrintWindowLayout(4800, 6600, 662, 571, 1000), (TPrintLayout{1900, 240, 1437, 4320, 3726}));
  // Max 900 x 900: 100 x 900 / 400 = 225 wide fits, so 900 high; halves truncate.
  EXPECT_EQ(PrintWindowLayout(1000, 1000, 100, 400, 301), (TPrintLayout{349, 387, 50, 225, 900}));
  EXPECT_EQ(PrintWindowLayout(1000, 800, 0, 0, 0), (TPrintLayout{500, 500, 400, 0, 0}));
  EXPECT_EQ(MulDivRound(5, 1, 2), 3);
  EXPECT_EQ(MulDivRound(-5, 1, 2), -3);
  EXPECT_EQ(MulDivRound(100000, 100000, 100000), 100000);  // 64-bit product
  EXPECT_EQ(MulDivRound(1, 1, 0), -1);
}

TEST(MainPrintLayout, TheNoteNamesTheFileOrThePrinter) {
  EXPECT_EQ(PrintedNote("Laser", ""), "Printed on Laser");
  EXPECT_EQ(PrintedNote("Laser", "/tmp/run.pdf"), "Printed to run.pdf");
}

TEST(MainShownPosition, TheToolbarAndTheTrackBarShowTheNearestMillisecondOfTheCursorsInstant) {
  const TShownPosition p = ShownPosition(58.1445);  // truncated it would read 58.144
  EXPECT_EQ(p.Text, "0:00:58.145s");
  EXPECT_EQ(p.Cursor, 58.1445);
  EXPECT_EQ(p.TrackBar, 58145);
  // The cursor's box on the time axis says the same at the cursor and at the time itself.
  EXPECT_EQ(CursorTimeText(p.Cursor), p.Text);
  EXPECT_EQ(CursorTimeText(58.1445), p.Text);
  EXPECT_EQ(ShownPosition(4.01).Text, "0:00:04.010s");  // held as 4.00999...
  EXPECT_EQ(ShownPosition(-0.0019).Cursor, 0);
  EXPECT_EQ(ShownPosition(std::nan("")).Text, "0:00:00.000s");
  EXPECT_EQ(ShownPosition(1e12).TrackBar, INT32_MAX);
}

TEST(MainTrackBarAndResize, Arithmetic) {
  EXPECT_EQ(TrackBarMaximum(4294967295u), INT32_MAX);
  EXPECT_TRUE(TrackBarChanged(true, true, 100).empty());
  EXPECT_TRUE(TrackBarChanged(false, false, 100).empty());
  EXPECT_EQ(TrackBarChanged(false, true, 1500), (std::vector<TMainEffect>{{K::PlayerSetPosition, 0, 1.5}, {K::UpdateDisplays}}));
  EXPECT_EQ(GaugeColumnWidth(654), 68);
  EXPECT_EQ(GaugeColumnWidth(1289), 128);
  EXPECT_EQ(GaugePointerSize(71), 17);
  EXPECT_DOUBLE_EQ(ScrollingGraphStart(12, 30), 0);
  EXPECT_DOUBLE_EQ(ScrollingGraphStart(50, 30), 20);
}

TEST(MainCloseQuery, OneQuestionForAllUnsavedRecordings) {
  const std::vector<bool> modified = {false, true, false, true};
  auto isModified = [&](int i) { return static_cast<bool>(modified[static_cast<size_t>(i)]); };
  const struct {
    TCloseAnswer answer;
    bool closes;
    std::vector<int> saved;
  } rows[] = {{TCloseAnswer::Yes, true, {1, 3}}, {TCloseAnswer::No, true, {}}, {TCloseAnswer::Cancel, false, {}}};
  for (const auto& row : rows) {
    int asked = 0;
    std::vector<int> saved;
    EXPECT_EQ(FormCloseQuery(4, isModified, [&] { ++asked; return row.answer; }, [&](int i) { saved.push_back(i); }),
              row.closes);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(saved, row.saved);
  }
  int asked = 0;
  EXPECT_TRUE(FormCloseQuery(2, [](int) { return false; }, [&] { ++asked; return TCloseAnswer::Cancel; }, [](int) {}));
  EXPECT_EQ(asked, 0);
}

}  // namespace
