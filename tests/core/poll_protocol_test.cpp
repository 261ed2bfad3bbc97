// The ECU protocol and the scheduler, driven one step at a time against the simulated device with
// scripted faults (no thread runs here).
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "ecu/SimEcu.h"
#include "ecu/PollThreadRS.h"
#include "vars/Conversions.h"

namespace {

class TMessageLog : public TMessageTarget {
 public:
  void Post(uint32_t message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(message);
  }
  int Count(uint32_t message) {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (uint32_t m : messages_) n += m == message;
    return n;
  }

 private:
  std::mutex mutex_;
  std::vector<uint32_t> messages_;
};

// The poll thread's steps, run on the test's own thread.
class TStepPoll : public TPollThreadRS {
 public:
  TStepPoll(TMessageTarget* target, TCoreContext& core) : TPollThreadRS(core, true, target) {}
  using TPollThread::BeginConnection;
  using TPollThread::CommsError;
  using TPollThread::EndConnection;
  using TPollThread::GetByte;
  using TPollThread::LoopPass;
  using TPollThread::PollNextVar;
  using TPollThread::PollVar;
  using TPollThread::ReadECUType;
  using TPollThread::SendByteGetReply;
  using TPollThread::TakeRecording;
  using TPollThreadRS::DoLoop;
  int Cursor() const { return cursor_; }
  bool ListComplete() const { return listComplete_; }
  int32_t ErrorCount() const { return errorCount_.load(); }
  void EndStatisticsWindow() { nextStatistics_ = 0; }
  void RefreshDueNow() { nextUIUpdate_ = 0; }
  int64_t RefreshDueIn() const { return static_cast<int64_t>(nextUIUpdate_.load()) - LinkMs(); }
  std::function<void()> onUpdate;
  void SetPausing(bool on) { on ? ePausePolling.Set() : ePausePolling.Reset(); }
  int listCompletes = 0, commsErrors = 0;

 protected:
  void DoListComplete() override { ++listCompletes; }
  void DoUpdateUI() override {
    TPollThreadRS::DoUpdateUI();
    if (onUpdate) onUpdate();
  }
  void DoCommsError() override {
    ++commsErrors;
    TPollThreadRS::DoCommsError();
  }
};

class PollProtocol : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    sim_ = std::make_shared<TSimDevice>(2);
    sim_->SetFixedClock(20.0);  // accelerating: every value well away from zero
    poll_ = std::make_unique<TStepPoll>(&log_, core_);
    poll_->Port()->SetDevice(sim_);
    ASSERT_TRUE(poll_->Port()->Open());
  }
  void TearDown() override {
    poll_.reset();
    CatalogueTest::TearDown();
  }
  uint16_t Model(uint8_t request) {
    uint16_t v = 0;
    sim_->WithEcu([&](TSimEcu& ecu) { v = ecu.Value(request); });
    return v;
  }
  TRawVar* Raw(uint32_t id) { return sensors_->FindRaw(id); }
  // Only these variables are polled.
  void EnableOnly(std::initializer_list<uint32_t> ids) {
    for (int i = 0; i < sensors_->RawVars->Count(); ++i) sensors_->Raw(i)->PollEnabled = 0;
    for (uint32_t id : ids) Raw(id)->PollEnabled = 1;
  }
  std::vector<uint8_t> Sent() {
    auto r = sim_->RecentRequests();
    sim_->ClearRecentRequests();
    return r;
  }

  TMessageLog log_;
  std::shared_ptr<TSimDevice> sim_;
  std::unique_ptr<TStepPoll> poll_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Connecting

TEST_F(PollProtocol, ConnectingRaisesDtrAndRtsAndAppliesTheReportedEcuType) {
  poll_->BeginConnection();
  EXPECT_TRUE(sim_->DTR());
  EXPECT_TRUE(sim_->RTS());
  EXPECT_EQ(ecu_->Model, 2);
  EXPECT_EQ(ecu_->Family, FAMILY_OBD1);
  EXPECT_EQ(sensors_->RawSpeed->Id, 19u);
  EXPECT_EQ(sensors_->RawSpeed->RequestCode, 9);
  EXPECT_EQ(Sent(), std::vector<uint8_t>{0xFE});
}

TEST_F(PollProtocol, AnAnyEcuRewiresTheSpeedVariableBack) {
  sim_->WithEcu([](TSimEcu& e) { e.SetModel(4); });
  ASSERT_TRUE(poll_->ReadECUType());
  EXPECT_EQ(ecu_->Family, FAMILY_ANY);
  EXPECT_EQ(sensors_->RawSpeed->Id, 161u);
}

TEST_F(PollProtocol, AnUnansweredIdentificationLeavesTheEcuTypeAndCountsOneError) {
  sim_->SetHook([](TSimExchange& ex) {
    if (ex.Request == 0xFE) ex.Reply.clear();
  });
  EXPECT_FALSE(poll_->ReadECUType());
  EXPECT_EQ(ecu_->Family, FAMILY_UNKNOWN);
  EXPECT_EQ(sensors_->RawSpeed->Id, 161u);
  EXPECT_EQ(poll_->ErrorCount(), 1);
}

TEST_F(PollProtocol, TheFirstPassWithCtsReportsConnectedOnce) {
  poll_->BeginConnection();
  EXPECT_EQ(log_.Count(WM_POLL_CONNECTED), 0);
  poll_->LoopPass();
  poll_->LoopPass();
  EXPECT_EQ(log_.Count(WM_POLL_CONNECTED), 1);
  poll_->EndConnection();
  EXPECT_EQ(log_.Count(WM_POLL_DISCONNECTED), 1);
  EXPECT_TRUE(poll_->Port()->IsOpen());
}

TEST_F(PollProtocol, WithoutCtsAPassCountsEcuNotPresentAndDoesNotConnect) {
  poll_->BeginConnection();
  sim_->SetCTS(false);
  poll_->ErrorTolerance = 0;
  auto t0 = std::chrono::steady_clock::now();
  poll_->LoopPass();
  auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GE(ms, 150.0);  // it waited for the line
  EXPECT_EQ(log_.Count(WM_POLL_CONNECTED), 0);
  EXPECT_EQ(poll_->LastErrorText(), "Error: ECU not present (CTS not set)");
  EXPECT_EQ(log_.Count(WM_POLL_ERROR), 1);
  EXPECT_FALSE(poll_->ConnectRequested());
}

// ---------------------------------------------------------------------------------------------
// One variable

TEST_F(PollProtocol, AOneByteVariableTakesOneExchange) {
  TRawVar* tw = Raw(4);
  ASSERT_TRUE(poll_->PollVar(tw));
  EXPECT_EQ(tw->RawValue, Model(0x03));
  EXPECT_EQ(Sent(), std::vector<uint8_t>{0x03});
}

TEST_F(PollProtocol, AReadMode2VariableAsksForItsHighByteWithZero) {
  TRawVar* revs = Raw(1);
  ASSERT_EQ(revs->ReadMode, 2);
  ASSERT_TRUE(poll_->PollVar(revs));
  EXPECT_EQ(revs->RawValue, Model(0x0A));
  EXPECT_GT(PeriodToRpm(revs->RawValue), 1000);
  EXPECT_EQ(Sent(), (std::vector<uint8_t>{0x0A, 0x00}));
}

TEST_F(PollProtocol, AReadMode1VariableReadsTwoBytesFromOneRequest) {
  TRawVar* revs = Raw(1);
  revs->ReadMode = 1;
  const uint16_t period = Model(0x0A);
  sim_->SetHook([&](TSimExchange& ex) {
    if (ex.Request == 0x0A) ex.Reply = {uint8_t(period & 0xFF), uint8_t(period >> 8)};
  });
  ASSERT_TRUE(poll_->PollVar(revs));
  EXPECT_EQ(revs->RawValue, period);
  EXPECT_EQ(Sent(), std::vector<uint8_t>{0x0A});
  EXPECT_EQ(poll_->ErrorCount(), 0);
}

TEST_F(PollProtocol, AMissingHighByteInReadMode1CountsAnErrorAndKeepsTheLowByte) {
  TRawVar* revs = Raw(1);
  revs->ReadMode = 1;
  sim_->SetHook([](TSimExchange& ex) {
    if (ex.Request == 0x0A) ex.Reply = {0x34};
  });
  EXPECT_TRUE(poll_->PollVar(revs));
  EXPECT_EQ(revs->RawValue, 0x34);
  EXPECT_EQ(poll_->ErrorCount(), 1);
  EXPECT_EQ(Raw(160)->RawValue, 0);  // the spike has come and gone
}

TEST_F(PollProtocol, AFailedSecondExchangeInReadMode2StoresNothing) {
  TRawVar* revs = Raw(1);
  revs->RawValue = 0x1234;
  revs->LastUpdate = 77;
  sim_->SetHook([](TSimExchange& ex) {
    if (ex.Request == 0x00) ex.Reply.clear();
  });
  EXPECT_FALSE(poll_->PollVar(revs));
  EXPECT_EQ(revs->RawValue, 0x1234);
  EXPECT_EQ(revs->LastUpdate, 77u);
  EXPECT_EQ(poll_->ErrorCount(), 1);
}

TEST_F(PollProtocol, NoReplyCountsEcuDidNotReplyAndStoresNothing) {
  TRawVar* tw = Raw(4);
  tw->RawValue = 0x99;
  sim_->SetHook([](TSimExchange& ex) { ex.Reply.clear(); });
  poll_->ErrorTolerance = 0;
  EXPECT_FALSE(poll_->PollVar(tw));
  EXPECT_EQ(tw->RawValue, 0x99);
  EXPECT_EQ(poll_->LastErrorText(), "Error: ECU did not reply (#3)");
}

TEST_F(PollProtocol, CtsDroppingBetweenReplyAndStoreDropsTheValueWithoutAnError) {
  TRawVar* tw = Raw(4);
  tw->RawValue = 0x99;
  sim_->SetHook([](TSimExchange& ex) { ex.DropCTSAfterReply = true; });
  EXPECT_FALSE(poll_->PollVar(tw));
  EXPECT_EQ(tw->RawValue, 0x99);
  EXPECT_EQ(poll_->ErrorCount(), 0);
  EXPECT_EQ(Sent(), std::vector<uint8_t>{0x03});
}

TEST_F(PollProtocol, WithCtsClearNothingIsSentAndNothingCounted) {
  sim_->SetCTS(false);
  uint8_t reply = 0;
  EXPECT_FALSE(poll_->SendByteGetReply(0x03, reply));
  EXPECT_FALSE(poll_->GetByte(reply));
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(poll_->ErrorCount(), 0);
}

TEST_F(PollProtocol, StaleBytesArePurgedBeforeTheNextRequest) {
  // A reply with a stray byte after it; the next exchange must not take the stray for its own.
  sim_->SetHook([](TSimExchange& ex) {
    if (ex.Request == 0x03) ex.Reply.push_back(0x55);
  });
  ASSERT_TRUE(poll_->PollVar(Raw(4)));
  sim_->SetHook({});
  ASSERT_TRUE(poll_->PollVar(Raw(5)));
  EXPECT_EQ(Raw(5)->RawValue, Model(0x04));
  EXPECT_NE(Raw(5)->RawValue, 0x55);
}

TEST_F(PollProtocol, BytesStillArrivingAfterATimeOutAreWaitedOutBeforeTheNextRequest) {
  // At 1200 baud the guard time is 42 ms: wide enough that a busy machine's timing cannot decide
  // whether the late bytes come within it.
  poll_->Port()->Close();
  poll_->Port()->SetBaudRate(1200);
  ASSERT_TRUE(poll_->Port()->Open());
  poll_->Port()->SetTimeoutMs(40);
  sim_->SetByteTiming(19200);
  // The reply comes some 20 ms after the time-out, with noise after it.
  sim_->SetHook([](TSimExchange& ex) {
    if (ex.Request != 0x03) return;
    ex.ExtraLatencyUs = 60000;
    ex.Reply.resize(8, 0x55);
  });
  EXPECT_FALSE(poll_->PollVar(Raw(4)));
  sim_->SetHook({});
  ASSERT_TRUE(poll_->PollVar(Raw(5)));
  EXPECT_EQ(Raw(5)->RawValue, Model(0x04));
  EXPECT_EQ(Sent(), (std::vector<uint8_t>{0x03, 0x04}));
}

TEST_F(PollProtocol, AWrittenValueIsTimeStampedOnTheRecordTimer) {
  TRawVar* tw = Raw(4);
  ASSERT_TRUE(poll_->PollVar(tw));
  const uint32_t ticks = static_cast<uint32_t>(poll_->RecordTimer.ElapsedTicks());
  EXPECT_LE(tw->LastUpdate, ticks);
  EXPECT_GT(tw->LastUpdate + 100000u, ticks);
}

// ---------------------------------------------------------------------------------------------
// Errors and the tolerance

TEST_F(PollProtocol, TheWindowsAnswerToARefreshRequestSetsTheNextOne) {
  // The window answers each request with its own delay, here 30 ms instead of the thread's 100.
  poll_->onUpdate = [this] { poll_->DelayUIUpdate(30); };
  poll_->BeginConnection();
  std::this_thread::sleep_for(std::chrono::milliseconds(3));
  poll_->RefreshDueNow();
  poll_->LoopPass();
  EXPECT_LE(poll_->RefreshDueIn(), 30);
  // Without an answer the thread asks again in 100 ms.
  poll_->onUpdate = nullptr;
  poll_->RefreshDueNow();
  poll_->LoopPass();
  EXPECT_GT(poll_->RefreshDueIn(), 90);
}

TEST_F(PollProtocol, ToleranceZeroTripsOnTheFirstError) {
  poll_->ErrorTolerance = 0;
  EXPECT_FALSE(poll_->CommsError("ECU did not reply (#3)"));
  EXPECT_EQ(poll_->commsErrors, 1);
  EXPECT_EQ(log_.Count(WM_POLL_ERROR), 1);
  EXPECT_GE(log_.Count(WM_UPDATE_UI), 1);
  EXPECT_FALSE(poll_->Recording());
}

TEST_F(PollProtocol, ToleranceFiveToleratesFiveAndTripsOnTheSixth) {
  poll_->ErrorTolerance = 5;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(poll_->CommsError("Could not send byte (#1)")) << i;
  EXPECT_EQ(poll_->commsErrors, 0);
  EXPECT_EQ(poll_->LastErrorText(), "");
  EXPECT_FALSE(poll_->CommsError("Could not send byte (#1)"));
  EXPECT_EQ(poll_->commsErrors, 1);
  EXPECT_EQ(poll_->LastErrorText(), "Error: Could not send byte (#1)");
}

TEST_F(PollProtocol, ErrorsCountPerStatisticsWindow) {
  poll_->ErrorTolerance = 2;
  poll_->BeginConnection();
  for (int window = 0; window < 4; ++window) {
    EXPECT_TRUE(poll_->CommsError("ECU did not reply (#3)"));
    EXPECT_TRUE(poll_->CommsError("ECU did not reply (#3)"));
    poll_->EndStatisticsWindow();
    poll_->LoopPass();
    EXPECT_EQ(poll_->ErrorsPerSecond, 2);
  }
  EXPECT_EQ(poll_->commsErrors, 0);
  EXPECT_EQ(poll_->ErrorCount(), 0);
}

TEST_F(PollProtocol, EveryErrorLeavesASpikeInTheDatalogErrorHistory) {
  TRecording rec(*sensors_->RawVars);
  rec.CreateHistories();
  poll_->Record(&rec);
  poll_->TakeRecording();
  poll_->CommsError("ECU did not reply (#3)");
  poll_->StopRecording();
  poll_->CommsError("ECU did not reply (#3)");  // not recording: the value only
  TVarHist* h = rec.HistoryById(160);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->Count(), 3);
  EXPECT_EQ(h->RawOf(0), 0);
  EXPECT_EQ(h->RawOf(1), 0xFFFF);
  EXPECT_EQ(h->RawOf(2), 0);
  EXPECT_LE(h->TicksOf(0), h->TicksOf(2));
  EXPECT_EQ(Raw(160)->RawValue, 0);
}

TEST_F(PollProtocol, ReleasingARecordingWhileTheThreadIsNotRunningReturnsAtOnce) {
  TRecording rec(*sensors_->RawVars);
  rec.CreateHistories();
  poll_->Record(&rec);
  poll_->TakeRecording();
  ASSERT_EQ(poll_->RecordingInUse(), &rec);
  core_.Recordings->Release(&rec);  // no pass will ever come to let go of it
  EXPECT_FALSE(poll_->Recording());
  poll_->TakeRecording();
  EXPECT_EQ(poll_->RecordingInUse(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// The scheduler

TEST_F(PollProtocol, WithoutPollSensorsQuicklyTheRatesDecide) {
  config_->PollSensorsQuickly = false;
  TRawVar* everyVisit = Raw(4);   // TW
  TRawVar* tenSeconds = Raw(5);   // TA
  TRawVar* tenPerSecond = Raw(9); // MAP
  everyVisit->RateHz = -1;
  tenSeconds->RateHz = 0;
  tenPerSecond->RateHz = 10;
  EnableOnly({4, 5, 9});
  poll_->Record(nullptr);
  poll_->TakeRecording();  // LastUpdate 0 everywhere, the record timer restarted
  Sent();
  auto sweep = [&] {
    int polled = 0;
    do polled += poll_->PollNextVar();
    while (poll_->Cursor() != 0);
    return polled;
  };
  // Just after the start only the every-visit variable is due (the others are not before 100 ms
  // and 10 s).
  EXPECT_EQ(sweep(), 1);
  EXPECT_EQ(Sent(), std::vector<uint8_t>{0x03});
  // 100 ms on (as far as the ten-per-second variable knows), it is due once.
  tenPerSecond->LastUpdate = static_cast<uint32_t>(poll_->RecordTimer.ElapsedTicks()) - 10001u;
  EXPECT_EQ(sweep(), 2);
  EXPECT_EQ(Sent(), (std::vector<uint8_t>{0x03, 0x07}));
  EXPECT_EQ(sweep(), 1);
  // The once-in-ten-seconds variable, after ten seconds.
  tenSeconds->LastUpdate = static_cast<uint32_t>(poll_->RecordTimer.ElapsedTicks()) - 1000001u;
  EXPECT_EQ(sweep(), 2);
  EXPECT_EQ(Sent(), (std::vector<uint8_t>{0x03, 0x03, 0x04}));
  EXPECT_EQ(sweep(), 1);
  // With PollSensorsQuickly every enabled variable goes on every sweep.
  config_->PollSensorsQuickly = true;
  Sent();
  EXPECT_EQ(sweep(), 3);
  EXPECT_EQ(Sent(), (std::vector<uint8_t>{0x03, 0x04, 0x07}));
}

TEST_F(PollProtocol, WithNothingEnabledOneCallWalksTheWholeList) {
  EnableOnly({});
  EXPECT_EQ(poll_->PollNextVar(), 0);
  EXPECT_EQ(poll_->Cursor(), 0);
  EXPECT_TRUE(poll_->ListComplete());
  EXPECT_TRUE(Sent().empty());
  // The link still comes up.
  poll_->BeginConnection();
  poll_->LoopPass();
  EXPECT_EQ(log_.Count(WM_POLL_CONNECTED), 1);
  EXPECT_EQ(poll_->listCompletes, 1);
}

TEST_F(PollProtocol, AnEnabledButUnsupportedVariableCostsAPassWithoutAnExchange) {
  EnableOnly({4, 5});
  Raw(4)->Supported = 0;
  // The cursor starts on the first variable of the list, which is not enabled: it is skipped
  // only after a visit.
  EXPECT_EQ(poll_->PollNextVar(), 0);
  int twIndex = sensors_->RawVars->IndexOf(Raw(4));
  EXPECT_EQ(poll_->Cursor(), twIndex);
  EXPECT_EQ(poll_->PollNextVar(), 0);
  EXPECT_EQ(poll_->Cursor(), sensors_->RawVars->IndexOf(Raw(5)));
  EXPECT_EQ(poll_->PollNextVar(), 1);
  EXPECT_EQ(Sent(), std::vector<uint8_t>{0x04});
}

TEST(PollProtocolEmpty, AnEmptyListPollsNothingAndCompletesOnEveryPass) {
  TSensorList empty;
  TECUType ecu;
  TTempDir dir;
  TConfig config(dir.File("Revscope.ini"), dir.Path());
  empty.Context.Settings = &config;
  empty.Context.EcuType = &ecu;
  TStepPoll poll(nullptr, empty.Context);
  auto sim = std::make_shared<TSimDevice>();
  poll.Port()->SetDevice(sim);
  ASSERT_TRUE(poll.Port()->Open());
  poll.BeginConnection();
  for (int i = 0; i < 3; ++i) {
    poll.LoopPass();
    EXPECT_EQ(poll.Cursor(), 0);
  }
  EXPECT_EQ(poll.listCompletes, 3);
  EXPECT_EQ(sim->Requests(), 1u);  // the identification only
}

// ---------------------------------------------------------------------------------------------
// The lap input

TEST_F(PollProtocol, TheLapInputCountsOnlyWithUseCDForLapAndAtMostEveryTenSeconds) {
  TRawVar* lap = Raw(158);
  poll_->BeginConnection();
  sim_->SetCD(true);
  config_->UseCDForLap = false;
  poll_->LastLapTime = 60000;  // after a reconnect: far ahead of the restarted link timer
  poll_->DoLoop();
  EXPECT_EQ(lap->RawValue, 0);

  config_->UseCDForLap = true;
  poll_->DoLoop();  // the unsigned difference is huge: counts at once
  EXPECT_EQ(lap->RawValue, 1);
  poll_->DoLoop();  // CD still set, but within ten seconds
  EXPECT_EQ(lap->RawValue, 1);
  poll_->LastLapTime = static_cast<uint32_t>(poll_->LinkTimer.ElapsedMs()) - 10001u;
  poll_->DoLoop();
  EXPECT_EQ(lap->RawValue, 2);
  sim_->SetCD(false);
  poll_->LastLapTime = static_cast<uint32_t>(poll_->LinkTimer.ElapsedMs()) - 20000u;
  poll_->DoLoop();
  EXPECT_EQ(lap->RawValue, 2);
}

TEST_F(PollProtocol, RightAfterTheFirstConnectTheLapInputWaitsTenSeconds) {
  config_->UseCDForLap = true;
  poll_->BeginConnection();
  sim_->SetCD(true);
  poll_->DoLoop();  // link timer ~0, last lap 0: not more than 10 s apart
  EXPECT_EQ(Raw(158)->RawValue, 0);
}

// ---------------------------------------------------------------------------------------------
// Commands

TEST_F(PollProtocol, SendCommandWhileNotPollingGivesUpAfterASecondAndSendsNothing) {
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(poll_->SendCommand(0xFD, 0));
  auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GE(ms, 990.0);
  EXPECT_LT(ms, 2000.0);
  EXPECT_TRUE(Sent().empty());
  uint8_t stored = 0;
  sim_->WithEcu([&](TSimEcu& e) { stored = e.ErrorCodes(2); });
  EXPECT_NE(stored, 0);
}
