#include "recording/PlayThread.h"

#include <chrono>
#include <ctime>

#include "recording/RecordingList.h"
#include "vars/SensorList.h"

namespace {
int64_t NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

constexpr double kSpeedFactors[8] = {-1.0, 0.125, 0.25, 0.5, 1.0, 2.0, 4.0, 8.0};
}  // namespace

TPlayThread::TPlayThread(TCoreContext& core) : core_(core) {
  clockStartNs_.store(NowNs(), std::memory_order_relaxed);
  ResetPlayer();
  // A recording about to be destroyed: stop playing, then wait until the pass in progress (the
  // only place the loop touches a recording) has ended. The caller has already taken the
  // recording out of the current pointer, so every later pass sees another one.
  if (core_.Recordings)
    releaser_ = core_.Recordings->AddReleaser([this](TRecording*) {
      Stop();
      std::lock_guard<std::mutex> lock(passMutex_);
    });
}

void TPlayThread::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Execute(); });
}

TPlayThread::~TPlayThread() {
  if (core_.Recordings) core_.Recordings->RemoveReleaser(releaser_);
  Terminate();
}

void TPlayThread::Terminate() {
  terminated_.store(true, std::memory_order_release);
  playEvent_.Set();  // wakes an idle loop at once
  if (thread_.joinable()) thread_.join();
}

int64_t TPlayThread::ClockMs() const {
  return (NowNs() - clockStartNs_.load(std::memory_order_relaxed)) / 1000000;
}
int64_t TPlayThread::ClockTicks() const {
  return (NowNs() - clockStartNs_.load(std::memory_order_relaxed)) / 10000;
}

void TPlayThread::ResetPlayer() {
  std::lock_guard<std::mutex> lock(passMutex_);
  speedStep_.store(4, std::memory_order_relaxed);
  speedFactor_.store(1.0, std::memory_order_relaxed);
  currentTime_.store(0.0, std::memory_order_relaxed);
  Seeked();
}

void TPlayThread::SetSpeed(int step) {
  speedStep_.store(static_cast<uint8_t>(step), std::memory_order_relaxed);
  if (step >= 0 && step <= 7) speedFactor_.store(kSpeedFactors[step], std::memory_order_relaxed);
}

void TPlayThread::DelayUIUpdate(uint32_t ms) {
  nextUIUpdate_.store(static_cast<uint32_t>(ClockMs() + ms), std::memory_order_relaxed);
}

void TPlayThread::Seeked() { seekPending_.store(true, std::memory_order_relaxed); }

void TPlayThread::SetCurrentTime(double t) {
  std::lock_guard<std::mutex> lock(passMutex_);
  currentTime_.store(t, std::memory_order_relaxed);
  Clamp();
  ApplyPosition();
  Seeked();
}

void TPlayThread::GoToStart() {
  nextUIUpdate_.store(static_cast<uint32_t>(ClockMs()), std::memory_order_relaxed);
  std::lock_guard<std::mutex> lock(passMutex_);
  currentTime_.store(0.0, std::memory_order_relaxed);
  ApplyPosition();
  Seeked();
}

void TPlayThread::GoToEnd() {
  nextUIUpdate_.store(static_cast<uint32_t>(ClockMs()), std::memory_order_relaxed);
  std::lock_guard<std::mutex> lock(passMutex_);
  TRecording* r = CurrentRecordingOf(core_);
  currentTime_.store(r ? r->LengthSeconds() : 0.0, std::memory_order_relaxed);
  ApplyPosition();
  Seeked();
}

void TPlayThread::Clamp() {
  TRecording* r = CurrentRecordingOf(core_);
  const double length = r ? r->LengthSeconds() : 0.0;
  const double t = CurrentTime();
  if (t > 0) {
    if (length > t) return;
    currentTime_.store(length, std::memory_order_relaxed);
  } else {
    currentTime_.store(0.0, std::memory_order_relaxed);
  }
  Stop();
  DoStopped();
}

void TPlayThread::ApplyPosition() {
  TRecording* r = CurrentRecordingOf(core_);
  if (!r) return;
  const double t = CurrentTime();
  for (TVarHist* h : *r) {
    auto sample = h->SampleAt(t);
    if (!sample) continue;
    TVar* v = r->Vars.FindByIdIn(static_cast<uint32_t>(h->SensorId), r->EcuFamily);
    if (v && v->IsRaw) static_cast<TRawVar*>(v)->RawValue = sample->Raw;
  }
}

// How the speed factor scales time: the position moves by factor x the elapsed play-clock time
// since an anchor, position = anchor position + factor x (ticks - anchor ticks) x 10 us. At factor
// 1 this is the start position plus the elapsed time; a factor of -1 runs the position backwards
// until it reaches 0, where Clamp stops playback. A change of speed and a seek while playing
// re-anchor at the current position, so the position never jumps and the clock keeps running
// (the refresh times stay on the same clock).
void TPlayThread::Execute() {
  while (!terminated_.load(std::memory_order_acquire)) {
    if (!playEvent_.WaitFor(100)) continue;
    if (terminated_.load(std::memory_order_acquire)) break;

    double start, factor;
    int64_t anchor;
    {
      std::lock_guard<std::mutex> lock(passMutex_);
      start = CurrentTime();
      factor = SpeedFactor();
      clockStartNs_.store(NowNs(), std::memory_order_relaxed);
      anchor = -1;  // the first pass lands one tick after the start position
      nextUIUpdate_.store(0, std::memory_order_relaxed);
      seekPending_.store(false, std::memory_order_relaxed);
    }
    while (!terminated_.load(std::memory_order_acquire) && playEvent_.IsSet()) {
      {
        std::lock_guard<std::mutex> lock(passMutex_);
        const int64_t ticks = ClockTicks();
        if (seekPending_.exchange(false, std::memory_order_relaxed)) {
          start = CurrentTime();
          anchor = ticks - 1;
        }
        const double f = SpeedFactor();
        if (f != factor) {
          start += factor * static_cast<double>(ticks - anchor) * 0.00001;
          anchor = ticks;
          factor = f;
        }
        currentTime_.store(start + factor * static_cast<double>(ticks - anchor) * 0.00001, std::memory_order_relaxed);
        Clamp();
        ApplyPosition();
        const int64_t ms = ClockMs();
        // The next refresh is due in 100 ms unless the window, answering this request, asks
        // for its own delay: the time moves ahead before the request goes out, so the window's
        // answer is never overwritten.
        if (ms > static_cast<int64_t>(nextUIUpdate_.load(std::memory_order_relaxed))) {
          nextUIUpdate_.store(static_cast<uint32_t>(ms + 100), std::memory_order_relaxed);
          DoUpdateUI();
        }
      }
      // Playing never holds a whole core: one pass per millisecond is far finer than any refresh.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
}
