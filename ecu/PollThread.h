#pragma once
// The poll thread: owns the serial link to the ECU, identifies it, polls the raw variables one
// request at a time, stores their values (and appends them to the recording while one runs),
// counts errors per second and reports through virtual hooks.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/Relaxed.h"
#include "base/Event.h"
#include "history/SampleFeed.h"
#include "ecu/ComPort.h"

class TSensorList;
struct TRawVar;
struct TCoreContext;
struct TSettings;
class TRecording;

// Elapsed time on the monotonic clock whose start one thread may restart while others read it.
class TSharedTimer {
 public:
  TSharedTimer() { Reset(); }
  void Reset() { start_.store(Now(), std::memory_order_relaxed); }
  double ElapsedSeconds() const { return static_cast<double>(Now() - Start()) * 1e-9; }
  // 10-microsecond ticks; callers keep the low 32 bits (they wrap after about 11.9 hours).
  int64_t ElapsedTicks() const { return (Now() - Start()) / 10000; }
  int64_t ElapsedMs() const { return (Now() - Start()) / 1000000; }

 private:
  int64_t Start() const { return start_.load(std::memory_order_relaxed); }
  static int64_t Now();
  std::atomic<int64_t> start_{0};
};

class TPollThread {
 public:
  // The catalogue, the settings and the current recording come from the context; its ECU type is
  // looked up when the ECU is identified (start-up creates it after the thread). The thread does
  // not run until Start(); the program's own class starts it unless created suspended.
  explicit TPollThread(TCoreContext& core, bool createSuspended = false);
  virtual ~TPollThread();
  TPollThread(const TPollThread&) = delete;
  TPollThread& operator=(const TPollThread&) = delete;

  void Start();
  // Clears both requests, ends the thread once its current pass is done and waits for it; after
  // it returns the thread touches nothing. A subclass calls it first in its destructor.
  void Stop();
  bool CreatedSuspended() const { return createSuspended_; }

  // Requests from the user interface; each returns at once.
  void PollThread_OpenSerialPort();
  void PollThread_CloseSerialPort();
  void PollThread_Connect();
  void PollThread_Disconnect();
  bool OpenRequested() const { return eOpenSerialPort.IsSet(); }
  bool ConnectRequested() const { return eConnect.IsSet(); }
  // Inside the connected phase (connect sequence and loop passes).
  bool Polling() const { return polling_.load(); }

  // Starts appending to the recording (the current recording when none is given): every raw
  // variable's LastUpdate goes to 0 and RecordTimer restarts as the thread takes it over.
  void Record(TRecording* recording = nullptr);
  void StopRecording();
  bool Recording() const { return recording_.load(); }
  // The recording the thread appends to right now, if any.
  TRecording* RecordingInUse() const { return recInUse_.load(); }

  void DelayUIUpdate(int ms);
  void SetComPort(uint8_t index) { comPortIndex_.store(index); }
  uint8_t ComPort() const { return comPortIndex_.load(); }
  // -2..2, 0 normal: the thread's scheduling priority (raising it may need privileges; a refusal
  // is ignored).
  void SetPriority(int priority);

  // Sends one command byte while the loop is paused and discards replyBytes reply bytes; false
  // when polling is not running (after 1000 ms) or the byte could not be sent.
  bool SendCommand(uint8_t command, int replyBytes);

  // For the benchmark: false goes on from pass to pass without a pause when nothing is due (the
  // loop's way before it learnt to wait), to compare with.
  Relaxed<bool> WaitWhenIdle{true};

  Relaxed<int32_t> ErrorTolerance{5};
  Relaxed<int32_t> ErrorsPerSecond{0};
  Relaxed<int32_t> VarsPerSecond{0};
  std::string LastErrorText() const;
  TComPort* Port() const { return port_.get(); }

  TSharedTimer RecordTimer;
  TSharedTimer LinkTimer;
  // Every value read, recorded or not, for the live table (the poll thread pushes, the
  // user-interface thread takes).
  TSampleFeed Feed;

  std::thread::native_handle_type NativeHandle() { return thread_.native_handle(); }

 protected:
  // Hooks, all called on the poll thread (CommsError's also on SendCommand's caller).
  virtual void DoConnected() {}
  virtual void DoDisconnected() {}
  virtual void DoUpdateUI() {}
  virtual void DoCommsError() {}
  virtual void DoLoop() {}
  virtual void DoListComplete() {}

  // The protocol; the thread runs these, tests may drive them one by one without the thread.
  void Execute();
  void ExecuteLoop();
  void ConnectedPhase();
  void BeginConnection();  // the connect sequence up to the first pass
  void EndConnection();    // recording off, DoDisconnected
  void LoopPass();
  bool ReadECUType();
  bool WaitForCTS();
  int PollNextVar();
  bool PollVar(TRawVar* var);
  bool SendByteGetReply(uint8_t request, uint8_t& reply);
  bool GetByte(uint8_t& byte);
  // After a read time-out, before the next request: waits for the line to go quiet and purges it.
  void SettleLine();
  // After the whole reply to a request sent on a line that had just settled: false (an error) when
  // another byte follows it, which shows the reply was a late one to an earlier request.
  bool ReplyIsItsOwn();
  void SetVarValue(TRawVar* var, uint16_t value);
  void AddToHistory(TRawVar* var, uint32_t time, uint16_t value);
  bool CommsError(const std::string& message);
  // After a sweep over the list that polled nothing: sleeps until the next variable is due, the
  // next refresh or statistics window, or a request, and at most 10 ms (so the lap input and CTS
  // are still looked at a hundred times a second).
  void WaitUntilDue();
  // Takes over a recording handed in by Record or lets go of one that was stopped or released.
  void TakeRecording();

  uint32_t LinkMs() const { return static_cast<uint32_t>(LinkTimer.ElapsedMs()); }
  uint32_t RecordTicks() const { return static_cast<uint32_t>(RecordTimer.ElapsedTicks()); }
  TRawVar* FindRaw(uint32_t id) const;

  TCoreContext& core_;
  TSensorList* const sensors_;
  const TSettings* const config_;

  TEvent eOpenSerialPort, eConnect, ePausePolling, ePollingPaused;

  // Poll-thread state.
  int cursor_ = 0;
  bool listComplete_ = false;
  bool polledInSweep_ = false;  // a variable was polled since the cursor last wrapped
  bool firstPass_ = false;
  uint32_t sampleMs_ = 0;  // milliseconds that cover the run's latest sample
  // Errors in the current one-second window. The poll thread counts and resets it; SendCommand's
  // caller (the user-interface thread) counts the errors of its own exchange while the loop is
  // paused. Counted with an atomic add, so no error is lost even if the two ever overlap.
  std::atomic<int32_t> errorCount_{0};
  Relaxed<int32_t> varCount_{0};
  // A read timed out, so the ECU may still be answering: the next request waits for the line to
  // settle first. Set by the poll thread and by SendCommand's caller (while the loop is paused),
  // cleared by the poll thread.
  std::atomic<bool> lineUnsettled_{false};
  // Poll thread: the exchange under way began on a line that had just settled; its reply is
  // checked before it is used.
  bool replyUnchecked_ = false;
  Relaxed<uint32_t> nextUIUpdate_{0};
  Relaxed<uint32_t> nextStatistics_{0};

 private:
  // The thread's steps on the port's diagnostic output, when it is switched on.
  void Trace(const char* text);
  // Wakes the thread when a request changes, and waits for one.
  void Notify();
  template <typename Pred>
  void WaitForRequest(Pred pred) {
    std::unique_lock<std::mutex> lock(requestMutex_);
    requestCv_.wait(lock, pred);
  }
  void ApplyPriority();
  // The releaser: ends a run into the recording and waits until the thread has let go of it.
  void Release(TRecording* recording);

  const bool createSuspended_;
  std::unique_ptr<TComPort> port_;
  std::atomic<uint8_t> comPortIndex_{0};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> polling_{false};
  std::atomic<bool> running_{false};  // Execute is running
  std::atomic<int> priority_{0};
  std::atomic<int> tid_{0};

  std::mutex requestMutex_;
  std::condition_variable requestCv_;

  // Recording hand-over: Record, StopRecording and the releaser set the target under recMutex_;
  // the thread takes it over at the top of a pass and publishes what it uses.
  std::mutex recMutex_;
  std::condition_variable recCv_;
  TRecording* recTarget_ = nullptr;
  bool recRestart_ = false;
  std::atomic<bool> recChanged_{false};
  std::atomic<TRecording*> recInUse_{nullptr};
  Relaxed<bool> recording_{false};
  int releaser_ = 0;

  std::mutex commandMutex_;  // one SendCommand at a time
  mutable std::mutex textMutex_;
  std::string lastErrorText_;
  std::thread thread_;
};
