#pragma once
// Playback: a thread that advances a play position through the current recording and writes the
// recorded raw values into the variables, asking the window at a bounded rate to refresh.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "base/MessageTarget.h"
#include "base/Event.h"

class TRecording;
struct TCoreContext;

class TPlayThread {
 public:
  // Plays the context's current recording. The thread does not run until Start(); the program's
  // own class starts it unless created suspended, as the poll thread does, so the loop never calls
  // a hook of an object still under construction.
  explicit TPlayThread(TCoreContext& core);
  virtual ~TPlayThread();
  TPlayThread(const TPlayThread&) = delete;
  TPlayThread& operator=(const TPlayThread&) = delete;

  void Start();
  // Speed step 4 (normal speed), position 0. Does not stop playback.
  void ResetPlayer();
  void Play() { playEvent_.Set(); }
  // Pauses at the current position.
  void Stop() { playEvent_.Reset(); }
  bool IsPlaying() const { return playEvent_.IsSet(); }

  // The play position in seconds from the start of the current recording.
  double CurrentTime() const { return currentTime_.load(std::memory_order_relaxed); }
  // Seeks: the position is clamped to the recording (either end stops playback and notifies)
  // and the recorded values at it are applied. While playing, play continues from there.
  void SetCurrentTime(double t);
  void GoToStart();
  void GoToEnd();
  // The next refresh request waits until ms milliseconds from now.
  void DelayUIUpdate(uint32_t ms);

  // Steps 0..7: factors -1, 1/8, 1/4, 1/2, 1, 2, 4, 8 (4 is normal speed). Other steps are stored
  // without changing the factor.
  void SetSpeed(int step);
  int SpeedStep() const { return speedStep_.load(std::memory_order_relaxed); }
  double SpeedFactor() const { return speedFactor_.load(std::memory_order_relaxed); }

  // Writes into every variable of the current recording the raw value recorded at the position.
  void ApplyPosition();

 protected:
  // Time to refresh the displays (called on the playback thread).
  virtual void DoUpdateUI() {}
  // Playback stopped at either end of the recording (called on the thread that moved there).
  virtual void DoStopped() {}
  // Ends the loop and waits for it; a subclass calls it first in its destructor so the loop never
  // calls a hook of a half-destroyed object.
  void Terminate();

 private:
  void Execute();
  // Keeps the position inside the recording; at or past either end playback stops.
  void Clamp();
  // After a seek from the user-interface thread: while playing, the loop restarts from there.
  void Seeked();
  int64_t ClockMs() const;
  int64_t ClockTicks() const;

  TCoreContext& core_;
  std::atomic<double> currentTime_{0.0};
  std::atomic<int64_t> clockStartNs_{0};  // the play clock, restarted each time playing starts
  std::atomic<uint32_t> nextUIUpdate_{0};
  std::atomic<uint8_t> speedStep_{4};
  std::atomic<double> speedFactor_{1.0};
  std::atomic<bool> seekPending_{false};
  std::atomic<bool> terminated_{false};
  TEvent playEvent_;
  // Held for every pass over the current recording (by the loop and by seeks), so releasing a
  // recording can wait until no pass touches it.
  std::mutex passMutex_;
  int releaser_ = 0;
  std::thread thread_;
};

// The program's player: its notifications become messages to the main window.
class TPlayThreadRS : public TPlayThread {
 public:
  explicit TPlayThreadRS(TCoreContext& core, bool createSuspended = false, TMessageTarget* target = nullptr)
      : TPlayThread(core), target_(target) {
    if (!createSuspended) Start();
  }
  ~TPlayThreadRS() override { Terminate(); }

  // Set by the main window once it exists; none posts nothing. Once this returns, the previous
  // target receives nothing more, so it may be destroyed.
  void SetMessageTarget(TMessageTarget* target) {
    std::lock_guard<std::mutex> lock(targetMutex_);
    target_ = target;
  }
  TMessageTarget* MessageTarget() {
    std::lock_guard<std::mutex> lock(targetMutex_);
    return target_;
  }

 protected:
  void DoUpdateUI() override { Post(WM_UPDATE_UI); }
  void DoStopped() override { Post(WM_PLAY_STOPPED); }

 private:
  void Post(uint32_t message) {
    std::lock_guard<std::mutex> lock(targetMutex_);
    if (target_) target_->Post(message);
  }
  std::mutex targetMutex_;
  TMessageTarget* target_;
};
