#include "ecu/PollThread.h"

#include <algorithm>

#include <chrono>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "recording/RecordingList.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

namespace {
// The tick at which a variable polled rate times a second (0: once every ten seconds) is due
// again after its last update.
uint32_t DueTicks(const TRawVar& v, int32_t rate) {
  const uint32_t last = v.LastUpdate;
  return rate == 0 ? last + 1000000u : static_cast<uint32_t>(last + static_cast<uint32_t>(100000 / rate));
}

constexpr uint32_t kDatalogErrorId = 160;
constexpr uint32_t kWaitForCTSMs = 150;
constexpr uint32_t kPollVarCTSMs = 1000;
constexpr int64_t kLongestIdleUs = 10000;

// The CTS waits re-test the line about once a millisecond instead of spinning.
void Breather() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

}  // namespace

// The thread's steps on the port's diagnostic output, when it is switched on.
void TPollThread::Trace(const char* text) {
  if (port_->Debug.Enabled()) port_->Debug.Write(std::string("TPollThread: ") + text);
}

int64_t TSharedTimer::Now() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

TPollThread::TPollThread(TCoreContext& core, bool createSuspended)
    : core_(core),
      sensors_(core.Sensors),
      config_(core.Settings),
      createSuspended_(createSuspended),
      port_(std::make_unique<TComPort>()) {
  port_->SetMachineSettingsPath(config_->MachinePath);
  port_->SetPortIndex(0);
  port_->SetBaudRate(19200);
  if (core_.Recordings) releaser_ = core_.Recordings->AddReleaser([this](TRecording* r) { Release(r); });
}

TPollThread::~TPollThread() {
  Stop();
  if (core_.Recordings) core_.Recordings->RemoveReleaser(releaser_);
  eOpenSerialPort.Reset();
  // The port closes itself as it goes.
}

void TPollThread::Start() {
  if (thread_.joinable()) return;
  terminated_.store(false);
  thread_ = std::thread([this] { Execute(); });
}

void TPollThread::Stop() {
  if (!thread_.joinable()) return;
  terminated_.store(true);
  eConnect.Reset();
  eOpenSerialPort.Reset();
  Notify();
  thread_.join();
}

void TPollThread::Notify() {
  { std::lock_guard<std::mutex> lock(requestMutex_); }
  requestCv_.notify_all();
}

void TPollThread::PollThread_OpenSerialPort() {
  Trace("Setting eOpenSerialPort");
  eOpenSerialPort.Set();
  Notify();
}

void TPollThread::PollThread_CloseSerialPort() {
  Trace("Resetting eOpenSerialPort");
  eOpenSerialPort.Reset();
  Notify();
}

void TPollThread::PollThread_Connect() {
  Trace("Setting eConnect");
  eConnect.Set();
  Notify();
}

void TPollThread::PollThread_Disconnect() {
  Trace("Resetting eConnect");
  eConnect.Reset();
  Notify();
}

void TPollThread::DelayUIUpdate(int ms) { nextUIUpdate_ = static_cast<uint32_t>(LinkMs() + static_cast<uint32_t>(ms)); }

std::string TPollThread::LastErrorText() const {
  std::lock_guard<std::mutex> lock(textMutex_);
  return lastErrorText_;
}

TRawVar* TPollThread::FindRaw(uint32_t id) const {
  return sensors_ ? static_cast<TRawVar*>(sensors_->RawVars->FindById(id)) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Priority

void TPollThread::SetPriority(int priority) {
  if (priority < -2) priority = -2;
  if (priority > 2) priority = 2;
  priority_.store(priority);
  if (tid_.load() != 0) ApplyPriority();
}

void TPollThread::ApplyPriority() {
  int tid = tid_.load();
  if (tid == 0) return;
  // Each step is five nice levels; a refusal (raising needs privileges) is ignored.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), -5 * priority_.load());
}

// ---------------------------------------------------------------------------------------------
// Recording hand-over

void TPollThread::Record(TRecording* recording) {
  if (!recording) recording = CurrentRecordingOf(core_);
  std::lock_guard<std::mutex> lock(recMutex_);
  recTarget_ = recording;
  recRestart_ = true;
  recording_ = recording != nullptr;
  recChanged_.store(true, std::memory_order_release);
  Notify();
}

void TPollThread::StopRecording() {
  {
    std::lock_guard<std::mutex> lock(recMutex_);
    recording_ = false;
    recTarget_ = nullptr;
    recChanged_.store(true, std::memory_order_release);
  }
  Notify();
}

void TPollThread::TakeRecording() {
  if (!recChanged_.load(std::memory_order_acquire)) return;
  bool restart;
  {
    std::lock_guard<std::mutex> lock(recMutex_);
    restart = recRestart_;
    recRestart_ = false;
    recChanged_.store(false, std::memory_order_relaxed);
    if (restart && sensors_) {
      // A new run: every variable is due at once and the time base starts again.
      for (TVar* v : *sensors_->RawVars) static_cast<TRawVar*>(v)->LastUpdate = 0;
      RecordTimer.Reset();
      sampleMs_ = 0;
    }
    // The run's samples come from the ECU the link talks to.
    if (restart && recTarget_ && core_.EcuType)
      recTarget_->SetEcuModel(core_.EcuType->Model, core_.EcuType->Family);
    recInUse_.store(recTarget_);
  }
  recCv_.notify_all();
}

void TPollThread::Release(TRecording* recording) {
  if (!recording) return;
  std::unique_lock<std::mutex> lock(recMutex_);
  if (recTarget_ == recording) {
    recTarget_ = nullptr;
    recording_ = false;
    recChanged_.store(true, std::memory_order_release);
    Notify();
  }
  // The thread lets go at the top of its next pass (or at the end of the connected phase); a
  // thread that is not running holds nothing.
  recCv_.wait(lock, [&] { return recInUse_.load() != recording || !running_.load(); });
}

// ---------------------------------------------------------------------------------------------
// Thread body

void TPollThread::Execute() {
  tid_.store(static_cast<int>(::syscall(SYS_gettid)));
  running_.store(true);
  ApplyPriority();
  ExecuteLoop();
  {
    std::lock_guard<std::mutex> lock(recMutex_);
    running_.store(false);
  }
  recCv_.notify_all();
}

void TPollThread::ExecuteLoop() {
  for (;;) {
    // Idle: wait for a request to open the port.
    WaitForRequest([&] { return terminated_.load() || eOpenSerialPort.IsSet(); });
    if (terminated_.load()) break;
    Trace("Opening serial port");
    port_->SetPortIndex(comPortIndex_.load());
    if (!port_->Open()) {
      // The user asked to connect: say that it failed instead of leaving the window connecting.
      // Both requests are answered by the error.
      eOpenSerialPort.Reset();
      eConnect.Reset();
      {
        std::lock_guard<std::mutex> lock(textMutex_);
        lastErrorText_ = "Error: could not open " + port_->PortName() + " (" + port_->DevicePath() + ")";
      }
      DoCommsError();
      continue;
    }
    // Port open: poll while connected; otherwise wait until asked to connect or to close.
    while (eOpenSerialPort.IsSet() && !terminated_.load()) {
      if (eConnect.IsSet())
        ConnectedPhase();
      else
        WaitForRequest([&] { return terminated_.load() || eConnect.IsSet() || !eOpenSerialPort.IsSet(); });
    }
    Trace("Closing serial port");
    port_->Close();
    Trace("Serial port closed");
  }
}

void TPollThread::ConnectedPhase() {
  BeginConnection();
  while (eConnect.IsSet() && !terminated_.load()) LoopPass();
  EndConnection();
}

void TPollThread::BeginConnection() {
  Trace("Connecting");
  polling_.store(true);
  cursor_ = 0;
  errorCount_.store(0, std::memory_order_relaxed);
  varCount_ = 0;
  LinkTimer.Reset();
  listComplete_ = false;
  port_->SetDTR(true);
  port_->SetRTS(true);
  uint32_t now = LinkMs();
  nextUIUpdate_ = now;
  nextStatistics_ = now + 1000;
  ReadECUType();
  firstPass_ = false;
  core_.LinkPolling = true;
}

void TPollThread::EndConnection() {
  Trace("Disconnecting");
  {
    std::lock_guard<std::mutex> lock(recMutex_);
    recording_ = false;
    recTarget_ = nullptr;
    recRestart_ = false;
    recChanged_.store(false, std::memory_order_relaxed);
    recInUse_.store(nullptr);
  }
  recCv_.notify_all();
  core_.LinkPolling = false;
  DoDisconnected();
  polling_.store(false);
}

bool TPollThread::ReadECUType() {
  if (!WaitForCTS()) return false;
  replyUnchecked_ = false;
  uint8_t reply = 0;
  if (!SendByteGetReply(0xFE, reply) || !ReplyIsItsOwn()) return false;
  // Start-up creates the ECU type after the thread: it is looked up here.
  if (TECUType* ecu = core_.EcuType) {
    ecu->SetModel(reply);
    if (sensors_ && sensors_->RawSpeed) sensors_->ApplyEcuType(ecu->Family);  // a built catalogue
  }
  return true;
}

void TPollThread::LoopPass() {
  TakeRecording();
  // Another thread wants the port: acknowledge and wait until it is done.
  if (ePausePolling.IsSet()) {
    ePollingPaused.Set();
    Trace("Polling paused");
    while (ePausePolling.IsSet() && !terminated_.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      TakeRecording();
    }
    ePollingPaused.Reset();
    Trace("Polling resumed");
  }
  // One variable, if the ECU is there.
  if (WaitForCTS()) {
    const int polled = PollNextVar();
    varCount_ += polled;
    polledInSweep_ = polledInSweep_ || polled != 0;
    if (!firstPass_) {
      DoConnected();
      firstPass_ = true;
    }
  } else {
    CommsError("ECU not present (CTS not set)");
  }
  // Display refresh. The next one is due in 100 ms unless the window, answering this request,
  // asks for its own delay: so the time moves ahead before the request goes out, and the window's
  // answer is never overwritten.
  if (LinkMs() > nextUIUpdate_) {
    nextUIUpdate_ = LinkMs() + 100;
    DoUpdateUI();
  }
  // The recording's length.
  if (recording_) {
    if (TRecording* rec = recInUse_.load())
      rec->LengthMs = std::max(static_cast<uint32_t>(RecordTimer.ElapsedMs()), sampleMs_);
  }
  // Statistics per one-second window.
  uint32_t now = LinkMs();
  if (now > nextStatistics_) {
    nextStatistics_ = now + 1000;
    ErrorsPerSecond = errorCount_.exchange(0, std::memory_order_relaxed);
    VarsPerSecond = varCount_;
    varCount_ = 0;
  }
  // The subclass's own work each pass (the lap input), then the end of a pass over the list.
  DoLoop();
  if (listComplete_) {
    DoListComplete();
    listComplete_ = false;
    // Every log box unticked, or nothing due at its rate: no pass to spin through.
    if (!polledInSweep_) WaitUntilDue();
    polledInSweep_ = false;
  }
}

void TPollThread::WaitUntilDue() {
  if (!WaitWhenIdle) return;
  int64_t waitUs = kLongestIdleUs;
  auto until = [&waitUs](uint32_t now, uint32_t due, int64_t usPerUnit) {
    waitUs = std::min(waitUs, due > now ? static_cast<int64_t>(due - now) * usPerUnit : 0);
  };
  if (sensors_ && !config_->PollSensorsQuickly) {
    // The earliest due time, as PollNextVar reckons it.
    const uint32_t now = RecordTicks();
    for (TVar* item : *sensors_->RawVars) {
      const TRawVar* v = static_cast<const TRawVar*>(item);
      if (!v->PollEnabled || !v->Supported) continue;
      const int32_t rate = v->RateHz;
      if (rate == -1) return;
      until(now, DueTicks(*v, rate), 10);
    }
  }
  const uint32_t ms = LinkMs();
  until(ms, nextUIUpdate_ + 1, 1000);
  until(ms, nextStatistics_ + 1, 1000);
  if (waitUs <= 0) return;
  std::unique_lock<std::mutex> lock(requestMutex_);
  requestCv_.wait_for(lock, std::chrono::microseconds(waitUs), [&] {
    return terminated_.load() || !eConnect.IsSet() || ePausePolling.IsSet() ||
           recChanged_.load(std::memory_order_acquire);
  });
}

bool TPollThread::WaitForCTS() {
  if (port_->CTS()) return true;
  Trace("CTS not set - waiting");
  const uint32_t start = LinkMs();
  while (!port_->CTS() && LinkMs() - start <= kWaitForCTSMs) Breather();
  bool cts = port_->CTS();
  Trace(cts ? "CTS is now set" : "CTS not set - timed out");
  port_->PurgeIO();
  return cts;
}

int TPollThread::PollNextVar() {
  const int count = sensors_ ? sensors_->RawVars->Count() : 0;
  int result = 0;
  if (cursor_ < count) {
    TRawVar* v = sensors_->Raw(cursor_);
    if (v->PollEnabled && v->Supported) {
      const int32_t rate = v->RateHz;
      const bool quickly = config_->PollSensorsQuickly;
      if (quickly || rate == -1) {
        PollVar(v);
        result = 1;
      } else {
        if (RecordTicks() >= DueTicks(*v, rate)) {
          PollVar(v);
          result = 1;
        }
      }
    }
  }
  cursor_ += 1;
  while (cursor_ < count && sensors_->Raw(cursor_)->PollEnabled != 1) cursor_ += 1;
  if (cursor_ >= count) {
    cursor_ = 0;
    listComplete_ = true;
  }
  return result;
}

bool TPollThread::PollVar(TRawVar* var) {
  if (!port_->CTS()) {
    const uint32_t start = LinkMs();
    bool back = false;
    while (LinkMs() - start <= kPollVarCTSMs) {
      if (port_->CTS()) {
        back = true;
        break;
      }
      Breather();
    }
    if (!back) {
      Trace("CTS not set in PollVar");
      return false;
    }
    port_->PurgeIO();
  }
  replyUnchecked_ = false;
  uint8_t low = 0;
  if (!SendByteGetReply(static_cast<uint8_t>(var->RequestCode & 0xFF), low)) {
    Trace("SendByteGetReply() failed in PollVar");
    return false;
  }
  uint16_t value = low;
  if (var->ReadMode == 1) {
    uint8_t high = 0;
    if (GetByte(high)) value = static_cast<uint16_t>(low + 256 * high);
  }
  // Before another request purges what may have followed the reply.
  if (!ReplyIsItsOwn()) return false;
  if (var->ReadMode == 2) {
    if (!port_->CTS()) return false;
    uint8_t high = 0;
    if (!SendByteGetReply(0x00, high)) return false;
    value = static_cast<uint16_t>(low + 256 * high);
  }
  if (!port_->CTS()) {  // the ECU went away: the value is not trusted
    Trace("CTS not set in PollVar #2");
    return false;
  }
  SetVarValue(var, value);
  var->ReadCount++;
  return true;
}

bool TPollThread::SendByteGetReply(uint8_t request, uint8_t& reply) {
  if (lineUnsettled_.load(std::memory_order_relaxed)) SettleLine();
  if (port_->InQueue() > 0) port_->PurgeIO();
  if (!port_->CTS()) {
    Trace("CTS false in TPollThread::SendByteGetReply() #1");
    return false;
  }
  if (!port_->Write(&request, 1)) {
    CommsError("Could not send byte (#1)");
    return false;
  }
  port_->Flush();
  if (!port_->CTS()) {
    Trace("CTS false in TPollThread::SendByteGetReply() #2");
    return false;
  }
  uint8_t b = 0xFF;
  if (!port_->Read(&b, 1)) {
    lineUnsettled_.store(true, std::memory_order_relaxed);
    CommsError("ECU did not reply (#3)");
    return false;
  }
  reply = b;
  return true;
}

bool TPollThread::GetByte(uint8_t& byte) {
  if (!port_->CTS()) {
    Trace("CTS false in TPollThread::GetByte()");
    return false;
  }
  uint8_t b = 0xFF;
  if (!port_->Read(&b, 1)) {
    lineUnsettled_.store(true, std::memory_order_relaxed);
    CommsError("ECU did not reply (#5)");
    return false;
  }
  byte = b;
  return true;
}

void TPollThread::SettleLine() {
  // The reply to the request that timed out may still come, and would be taken for the answer to
  // the next one: wait until the line has been quiet for a few byte times (at most a time-out).
  lineUnsettled_.store(false, std::memory_order_relaxed);
  Trace("Waiting for the line to go quiet");
  if (!port_->WaitForQuiet(port_->TimeoutMs())) Trace("The line did not go quiet");
  // A reply later than that still arrives ahead of the next one: the exchange looks for it.
  replyUnchecked_ = true;
}

bool TPollThread::ReplyIsItsOwn() {
  if (!replyUnchecked_) return true;
  replyUnchecked_ = false;
  if (port_->StaysQuiet()) return true;
  lineUnsettled_.store(true, std::memory_order_relaxed);
  CommsError("ECU reply out of step (#6)");
  return false;
}

void TPollThread::SetVarValue(TRawVar* var, uint16_t value) {
  const uint32_t now = RecordTicks();
  var->RawValue = value;
  if (recording_) AddToHistory(var, now, value);
  var->LastUpdate = now;
  Feed.Push(var->Id, now, value);
}

void TPollThread::AddToHistory(TRawVar* var, uint32_t time, uint16_t value) {
  TRecording* rec = recInUse_.load();
  if (!rec) return;
  TVarHist* h = rec->HistoryFor(*var);
  if (!h) return;
  h->Append(time, value);
  // The length always covers the last sample, also when the run ends before the pass that would
  // have advanced it (a link error stops the run in the middle of a pass).
  sampleMs_ = std::max(sampleMs_, static_cast<uint32_t>((static_cast<uint64_t>(time) + 99) / 100));
  if (rec->LengthMs < sampleMs_) rec->LengthMs = sampleMs_;
}

bool TPollThread::CommsError(const std::string& message) {
  // A spike in the "Datalog Error" variable marks the moment in the recording.
  if (TRawVar* err = FindRaw(kDatalogErrorId)) {
    SetVarValue(err, 0);
    SetVarValue(err, 0xFFFF);
    SetVarValue(err, 0);
  }
  // The line is usable again at once; the error counts against this second's tolerance.
  port_->ClearError();
  const int32_t before = errorCount_.fetch_add(1, std::memory_order_relaxed);
  bool result = true;
  if (before >= ErrorTolerance) {
    {
      std::lock_guard<std::mutex> lock(textMutex_);
      lastErrorText_ = "Error: " + message;
    }
    DoCommsError();
    result = false;
  }
  // The window shows the error at once, and the next regular refresh is due in 100 ms.
  nextUIUpdate_ = LinkMs() + 100;
  DoUpdateUI();
  return result;
}

// ---------------------------------------------------------------------------------------------
// Commands from other threads

bool TPollThread::SendCommand(uint8_t command, int replyBytes) {
  std::lock_guard<std::mutex> serial(commandMutex_);
  // The loop may not yet have resumed from the previous command; its old acknowledgement must
  // not be taken for a new one.
  for (int i = 0; i < 1000 && ePollingPaused.IsSet(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ePausePolling.Set();
  Notify();
  bool ok = false;
  if (ePollingPaused.WaitFor(1000)) {
    if (port_->Write(&command, 1)) {
      port_->Flush();
      for (int i = 0; i < replyBytes; ++i) {
        uint8_t discard;
        GetByte(discard);
      }
      ok = true;
    }
  }
  ePausePolling.Reset();
  return ok;
}
