// The poll thread running: connect, record, stop and disconnect cycles, the error tolerance
// tripping, a vanished device, releasing a recording, commands while polling, and shutdown.
#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "ecu/SimEcu.h"
#include "ecu/PollThreadRS.h"
#include "recording/FileOperations.h"
#include "recording_support.h"
#include "vars/EcuType.h"

namespace {

using namespace std::chrono_literals;

class TWaitingLog : public TMessageTarget {
 public:
  void Post(uint32_t message) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.push_back(message);
    }
    cv_.notify_all();
  }
  int Count(uint32_t message) {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (uint32_t m : messages_) n += m == message;
    return n;
  }
  // Waits until message has arrived n times in all.
  bool WaitFor(uint32_t message, int n = 1, std::chrono::milliseconds timeout = 5s) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] {
      int c = 0;
      for (uint32_t m : messages_) c += m == message;
      return c >= n;
    });
  }
  // The order of the link messages (display refreshes left out).
  std::vector<uint32_t> LinkMessages() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint32_t> r;
    for (uint32_t m : messages_)
      if (m != WM_UPDATE_UI) r.push_back(m);
    return r;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<uint32_t> messages_;
};

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 5s) {
  auto until = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

double ThreadCpuMs(pthread_t thread) {
  clockid_t clock;
  if (pthread_getcpuclockid(thread, &clock) != 0) return 0;
  timespec ts{};
  clock_gettime(clock, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

class PollThread : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    sim_ = std::make_shared<TSimDevice>(2);
    sim_->SetReplyLatencyUs(100);  // gentle on the machine: about 5000 exchanges a second
    poll_ = std::make_unique<TPollThreadRS>(core_, false, &log_);
    poll_->Port()->SetDevice(sim_);
  }
  void TearDown() override {
    poll_.reset();
    recordings_.clear();
    CatalogueTest::TearDown();
  }
  void Connect() {
    poll_->PollThread_OpenSerialPort();
    poll_->PollThread_Connect();
  }
  void Disconnect() {
    poll_->PollThread_Disconnect();
    poll_->PollThread_CloseSerialPort();
  }
  TRecording* NewRecording() {
    recordings_.push_back(std::make_unique<TRecording>(*sensors_->RawVars));
    recordings_.back()->CreateHistories();
    return recordings_.back().get();
  }
  int32_t Samples(TRecording* rec, uint32_t id) {
    TVarHist* h = rec->HistoryById(static_cast<int32_t>(id));
    return h ? h->Count() : -1;
  }

  TWaitingLog log_;
  std::shared_ptr<TSimDevice> sim_;
  std::unique_ptr<TPollThreadRS> poll_;
  std::vector<std::unique_ptr<TRecording>> recordings_;
};

}  // namespace

TEST_F(PollThread, ALoggingRunConnectsRecordsStopsAndDisconnects) {
  Connect();
  ASSERT_TRUE(log_.WaitFor(WM_POLL_CONNECTED));
  EXPECT_EQ(ecu_->Family, FAMILY_OBD1);
  TRecording* rec = NewRecording();
  poll_->Record(rec);
  ASSERT_TRUE(WaitUntil([&] { return Samples(rec, 1) >= 20 && rec->LengthMs > 0; }));
  ASSERT_TRUE(WaitUntil([&] { return poll_->VarsPerSecond > 0; }, 3s));
  EXPECT_EQ(poll_->ErrorsPerSecond, 0);
  EXPECT_GE(log_.Count(WM_UPDATE_UI), 1);
  poll_->StopRecording();
  core_.Recordings->Release(rec);  // from here on the thread does not touch it
  const int32_t n = Samples(rec, 1);
  TVarHist* revs = rec->HistoryById(1);
  for (int32_t i = 1; i < n; ++i) ASSERT_LE(revs->TicksOf(i - 1), revs->TicksOf(i));
  EXPECT_GT(Samples(rec, 19), 0);  // speed under its OBD1 id
  EXPECT_EQ(rec->HistoryById(161), nullptr);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(Samples(rec, 1), n);

  poll_->PollThread_Disconnect();
  ASSERT_TRUE(log_.WaitFor(WM_POLL_DISCONNECTED));
  EXPECT_TRUE(poll_->Port()->IsOpen());  // the port stays open until asked to close
  poll_->PollThread_CloseSerialPort();
  ASSERT_TRUE(WaitUntil([&] { return !poll_->Port()->IsOpen(); }));
  EXPECT_FALSE(sim_->IsOpen());
  EXPECT_EQ(log_.LinkMessages(), (std::vector<uint32_t>{WM_POLL_CONNECTED, WM_POLL_DISCONNECTED}));
}

TEST_F(PollThread, ManyConnectRecordStopDisconnectCyclesRunCleanly) {
  for (int cycle = 0; cycle < 25; ++cycle) {
    Connect();
    ASSERT_TRUE(log_.WaitFor(WM_POLL_CONNECTED, cycle + 1)) << cycle;
    TRecording* rec = NewRecording();
    poll_->Record(rec);
    ASSERT_TRUE(WaitUntil([&] { return Samples(rec, 1) >= 2; })) << cycle;
    if (cycle % 2) {
      poll_->StopRecording();
    } else {
      // Closing the recording while it is being filled: the thread lets go first.
      core_.Recordings->Release(rec);
      EXPECT_NE(poll_->RecordingInUse(), rec);
      EXPECT_FALSE(poll_->Recording());
    }
    Disconnect();
    ASSERT_TRUE(log_.WaitFor(WM_POLL_DISCONNECTED, cycle + 1)) << cycle;
    ASSERT_TRUE(WaitUntil([&] { return !sim_->IsOpen(); })) << cycle;
    recordings_.clear();
  }
  EXPECT_EQ(log_.Count(WM_POLL_ERROR), 0);
}

TEST_F(PollThread, ReleasingTheRecordingEndsTheRunAndWaitsForTheThread) {
  Connect();
  ASSERT_TRUE(log_.WaitFor(WM_POLL_CONNECTED));
  TRecording* rec = NewRecording();
  poll_->Record(rec);
  ASSERT_TRUE(WaitUntil([&] { return Samples(rec, 1) > 0; }));
  core_.Recordings->Release(rec);
  EXPECT_FALSE(poll_->Recording());
  EXPECT_EQ(poll_->RecordingInUse(), nullptr);
  const int32_t n = Samples(rec, 1);
  recordings_.clear();  // destroyed while the thread keeps polling
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(poll_->Polling());
  EXPECT_GT(n, 0);
}

TEST_F(PollThread, ReleasingAnotherRecordingLeavesTheRunAlone) {
  Connect();
  ASSERT_TRUE(log_.WaitFor(WM_POLL_CONNECTED));
  TRecording* rec = NewRecording();
  TRecording* other = NewRecording();
  poll_->Record(rec);
  ASSERT_TRUE(WaitUntil([&] { return poll_->RecordingInUse() == rec; }));
  core_.Recordings->Release(other);
  EXPECT_TRUE(poll_->Recording());
  EXPECT_EQ(poll_->RecordingInUse(), rec);
}

TEST_F(PollThread, TheToleranceTripsStopsRecordingAndDisconnectsWithThePortLeftOpen) {
  poll_->ErrorTolerance = 2;
  Connect();
  ASSERT_TRUE(log_.WaitFor(WM_POLL_CONNECTED));
  TRecording* rec = NewRecording();
  poll_->Record(rec);
  ASSERT_TRUE(WaitUntil([&] { return Samples(rec, 1) >= 5; }));
  sim_->SetHook([](TSimExchange& ex) { ex.Reply.clear(); });  // the ECU falls silent
  ASSERT_TRUE(log_.WaitFor(WM_POLL_ERROR));
  ASSERT_TRUE(log_.WaitFor(WM_POLL_DISCONNECTED));
  EXPECT_EQ(log_.LinkMessages(), (std::vector<uint32_t>{WM_POLL_CONNECTED, WM_POLL_ERROR, WM_POLL_DISCONNECTED}));
  EXPECT_EQ(poll_->LastErrorText(), "Error: ECU did not reply (#3)");
  EXPECT_FALSE(poll_->Recording());
  EXPECT_FALSE(poll_->ConnectRequested());
  EXPECT_TRUE(poll_->Port()->IsOpen());
  // Three errors, each a spike, ended the run; the recording keeps everything before them.
  EXPECT_EQ(Samples(rec, 160), 9);
  EXPECT_GE(Samples(rec, 1), 5);
}

TEST_F(PollThread, AVanishedDeviceEndsInTheErrorStateWithoutSpinning) {
  Connect();
  ASSERT_TRUE(log_.WaitFor(WM_POLL_CONNECTED));
  TRecording* rec = NewRecording();
  poll_->Record(rec);
  ASSERT_TRUE(WaitUntil([&] { return Samples(rec, 1) >= 5; }));
  auto t0 = std::chrono::steady_clock::now();
  sim_->Unplug();
  ASSERT_TRUE(log_.WaitFor(WM_POLL_ERROR));
  ASSERT_TRUE(log_.WaitFor(WM_POLL_DISCONNECTED));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
  EXPECT_EQ(poll_->LastErrorText(), "Error: Could not send byte (#1)");
  // Idle in the port-open state: no processor time.
  const double cpu0 = ThreadCpuMs(poll_->NativeHandle());
  std::this_thread::sleep_for(200ms);
  EXPECT_LT(ThreadCpuMs(poll_->NativeHandle()) - cpu0, 10.0);
  core_.Recordings->Release(rec);
  EXPECT_GE(Samples(rec, 1), 5);
}

TEST_F(PollThread, APortThatCannotBeOpenedReportsAnErrorAndLeavesTheThreadIdle) {
  sim_->Unplug();
  // Both requests are made before the thread can take up the first.
  poll_->PollThread_Connect();
  poll_->PollThread_OpenSerialPort();
  ASSERT_TRUE(log_.WaitFor(WM_POLL_ERROR));
  EXPECT_FALSE(poll_->OpenRequested());
  EXPECT_FALSE(poll_->ConnectRequested());
  EXPECT_FALSE(poll_->Port()->IsOpen());
  EXPECT_EQ(poll_->LastErrorText().rfind("Error: could not open COM1", 0), 0u) << poll_->LastErrorText();
  // A later attempt works once the device is back.
  sim_->Replug();
  Connect();
  EXPECT_TRUE(log_.WaitFor(WM_POLL_CONNECTED));
}

TEST_F(PollThread, SendCommandPausesThePollLoopAndItResumes) {
  Connect();
  ASSERT_TRUE(log_.WaitFor(WM_POLL_CONNECTED));
  for (int i = 0; i < 3; ++i) {  // back to back as well
    EXPECT_TRUE(poll_->SendCommand(0xFD, 0)) << i;
  }
  uint8_t stored = 0xFF;
  sim_->WithEcu([&](TSimEcu& e) { stored = e.ErrorCodes(2); });
  EXPECT_EQ(stored, 0);
  const uint64_t before = sim_->Requests();
  EXPECT_TRUE(WaitUntil([&] { return sim_->Requests() > before + 10; }));
  // A command expecting a reply byte that never comes counts an error on the caller's thread.
  EXPECT_TRUE(poll_->SendCommand(0xFD, 1));
  EXPECT_TRUE(WaitUntil([&] { return poll_->ErrorsPerSecond >= 1; }, 3s));
}

TEST_F(PollThread, TheOpenButIdlePortCostsNoProcessorTime) {
  poll_->PollThread_OpenSerialPort();
  ASSERT_TRUE(WaitUntil([&] { return poll_->Port()->IsOpen(); }));
  const double cpu0 = ThreadCpuMs(poll_->NativeHandle());
  std::this_thread::sleep_for(200ms);
  EXPECT_LT(ThreadCpuMs(poll_->NativeHandle()) - cpu0, 5.0);
  EXPECT_EQ(sim_->Requests(), 0u);
}

// Opening a file while connected leaves the link alone: it goes on polling the family it talks
// to (the simulated ECU sees no request of another family), and the file reads with its own.
TEST_F(PollThread, OpeningAFileOfAnotherFamilyLeavesTheLink) {
  Connect();
  ASSERT_TRUE(log_.WaitFor(WM_POLL_CONNECTED));
  ASSERT_EQ(ecu_->Family, FAMILY_OBD1);
  const int32_t speedRequest = sensors_->RawSpeed->RequestCode;
  for (uint8_t model : {uint8_t{0}, uint8_t{4}}) {
    const std::string path = dir_.File("model" + std::to_string(model) + ".rec");
    WriteFileBytes(path, RecHeader(1, 1000, "", model) + HistoryBlock(model == 4 ? 161 : 19, {{1, 10000}}));
    sim_->ClearRecentRequests();
    TRecording* rec = OpenRecording(core_, path);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->EcuFamily, FamilyOfModel(model));
    EXPECT_EQ(rec->HistoryCount(), 1);
    std::this_thread::sleep_for(300ms);
    const std::vector<uint8_t> requests = sim_->RecentRequests();
    for (uint8_t other : {0xE7, 0xE5, 0xE4}) EXPECT_EQ(std::count(requests.begin(), requests.end(), other), 0) << int(other);
    EXPECT_GT(std::count(requests.begin(), requests.end(), static_cast<uint8_t>(speedRequest)), 0);
    EXPECT_EQ(ecu_->Family, FAMILY_OBD1);
    EXPECT_EQ(ecu_->SpeedConstant, 228500.0);
    EXPECT_EQ(sensors_->RawSpeed->RequestCode, speedRequest);
  }
  Disconnect();
}

// Every log box unticked, or every sensor on a rate of its own: the loop sleeps until something
// is due instead of spinning, and what is due is still polled at its rate.
TEST_F(PollThread, WithNothingDueTheLoopSleepsAndPollsWhatIsDueOnTime) {
  for (int i = 0; i < sensors_->RawVars->Count(); ++i) sensors_->Raw(i)->PollEnabled = 0;
  Connect();
  ASSERT_TRUE(log_.WaitFor(WM_POLL_CONNECTED));
  double cpu0 = ThreadCpuMs(poll_->NativeHandle());
  std::this_thread::sleep_for(300ms);
  EXPECT_LT(ThreadCpuMs(poll_->NativeHandle()) - cpu0, 30.0);
  EXPECT_GE(log_.Count(WM_UPDATE_UI), 2);  // the window is still asked to refresh

  config_->PollSensorsQuickly = false;
  sensors_->RawRevs->RateHz = 20;
  sensors_->RawRevs->PollEnabled = 1;
  std::this_thread::sleep_for(100ms);
  sim_->ClearRecentRequests();
  cpu0 = ThreadCpuMs(poll_->NativeHandle());
  std::this_thread::sleep_for(1s);
  EXPECT_LT(ThreadCpuMs(poll_->NativeHandle()) - cpu0, 100.0);
  const std::vector<uint8_t> requests = sim_->RecentRequests();
  const auto revs = std::count(requests.begin(), requests.end(), static_cast<uint8_t>(sensors_->RawRevs->RequestCode));
  EXPECT_GE(revs, 17);
  EXPECT_LE(revs, 21);
  Disconnect();
}

TEST_F(PollThread, DestroyingTheThreadWhilePollingAndRecordingStopsItFirst) {
  Connect();
  ASSERT_TRUE(log_.WaitFor(WM_POLL_CONNECTED));
  TRecording* rec = NewRecording();
  poll_->Record(rec);
  ASSERT_TRUE(WaitUntil([&] { return Samples(rec, 1) >= 2; }));
  poll_.reset();
  EXPECT_FALSE(sim_->IsOpen());
  EXPECT_EQ(log_.Count(WM_POLL_DISCONNECTED), 1);
  const int32_t n = Samples(rec, 1);
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(Samples(rec, 1), n);
}

TEST_F(PollThread, ANewMessageTargetTakesOverAndNoneSilencesTheThread) {
  TWaitingLog other;
  poll_->SetMessageTarget(&other);
  Connect();
  ASSERT_TRUE(other.WaitFor(WM_POLL_CONNECTED));
  EXPECT_EQ(log_.Count(WM_POLL_CONNECTED), 0);
  poll_->SetMessageTarget(nullptr);
  const int updates = other.Count(WM_UPDATE_UI);
  std::this_thread::sleep_for(250ms);
  EXPECT_EQ(other.Count(WM_UPDATE_UI), updates);
}

// An ECU that answers every request with its sensor's own constant, and now and then so late that
// the reply arrives during the next exchange: no sample holds the value of another sensor.
TEST_F(PollThread, ALateReplyIsNeverRecordedAsTheNextExchangesValue) {
  const std::map<uint8_t, uint16_t> values = {{10, 0x3412}, {3, 0x56}, {4, 0x78}, {7, 0x9A}, {8, 0xBC}, {17, 0xDE21}};
  const uint32_t ids[] = {1, 4, 5, 9, 6, 15};  // Revs, TW, TA, MAP, TPS, Injector Duration
  for (int i = 0; i < sensors_->RawVars->Count(); ++i) sensors_->Raw(i)->PollEnabled = 0;
  for (uint32_t id : ids) sensors_->FindRaw(id)->PollEnabled = 1;
  poll_->ErrorTolerance = 1000000;
  poll_->Port()->SetTimeoutMs(20);
  auto late = std::make_shared<std::atomic<int>>(0);
  sim_->SetHook([values, late, requests = 0, high = uint8_t{0}](TSimExchange& ex) mutable {
    if (ex.Request == 0xFE) return;
    const uint16_t v = ex.Request == 0x00 ? high : values.at(ex.Request);
    ex.Reply = {uint8_t(v & 0xFF)};
    high = uint8_t(v >> 8);  // what the next request 0x00 fetches
    // Every fifth request is answered 25 ms late: after the poll thread has given up on it.
    if (++requests % 5 == 0) {
      ex.ExtraLatencyUs = 25000;
      late->fetch_add(1);
    }
  });
  Connect();
  ASSERT_TRUE(log_.WaitFor(WM_POLL_CONNECTED));
  TRecording* rec = NewRecording();
  poll_->Record(rec);
  ASSERT_TRUE(WaitUntil([&] {
    return late->load() >= 20 && std::all_of(std::begin(ids), std::end(ids), [&](uint32_t id) { return Samples(rec, id) >= 20; });
  }, 20s));
  poll_->StopRecording();
  core_.Recordings->Release(rec);
  for (uint32_t id : ids) {
    const TRawVar* v = sensors_->FindRaw(id);
    const uint16_t own = values.at(static_cast<uint8_t>(v->RequestCode));
    const TVarHist* h = rec->HistoryById(static_cast<int32_t>(id));
    int wrong = 0;
    for (int32_t i = 0; i < h->Count(); ++i) wrong += h->RawOf(i) != own;
    EXPECT_EQ(wrong, 0) << v->Name << ": " << wrong << " of " << h->Count() << " samples are not its own";
  }
}

// ---------------------------------------------------------------------------------------------
// Over a pseudo-terminal with the simulator on the other side

class PollThreadPty : public CatalogueTest {};

TEST_F(PollThreadPty, ASimulatorOnAPseudoTerminalIsPolledAndItsHangUpEndsTheLink) {
  TPtySimulator sim(2);
  ASSERT_TRUE(sim.Create());
  sim.Start();
  TWaitingLog log;
  TRecording rec(*sensors_->RawVars);
  rec.CreateHistories();
  TPollThreadRS poll(core_, false, &log);
  poll.Port()->SetDevicePath(sim.SlavePath());
  poll.PollThread_OpenSerialPort();
  poll.PollThread_Connect();
  ASSERT_TRUE(log.WaitFor(WM_POLL_CONNECTED));
  poll.Record(&rec);
  ASSERT_TRUE(WaitUntil([&] { return rec.HistoryById(1)->Count() >= 20; }));
  EXPECT_EQ(ecu_->Family, FAMILY_OBD1);
  EXPECT_GT(sensors_->RawRevs->RawValue, 0);
  sim.HangUp();
  ASSERT_TRUE(log.WaitFor(WM_POLL_ERROR, 1, 3s));
  ASSERT_TRUE(log.WaitFor(WM_POLL_DISCONNECTED, 1, 3s));
  EXPECT_FALSE(poll.Recording());
  // Whichever exchange met the hang-up failed at once.
  const std::string text = poll.LastErrorText();
  EXPECT_TRUE(text == "Error: ECU did not reply (#3)" || text == "Error: Could not send byte (#1)") << text;
  const double cpu0 = ThreadCpuMs(poll.NativeHandle());
  std::this_thread::sleep_for(200ms);
  EXPECT_LT(ThreadCpuMs(poll.NativeHandle()) - cpu0, 10.0);
  core_.Recordings->Release(&rec);
  EXPECT_GE(rec.HistoryById(160)->Count(), 3);
  TTempDir dir;
  EXPECT_TRUE(rec.SaveToFile(dir.File("kept.rec")));
}
