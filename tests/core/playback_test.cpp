// The playback thread: clamping, applying recorded values, speeds, seeking, notifications and
// letting go of a recording before it is destroyed.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "recording/PlayThread.h"
#include "recording_support.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class TRecordingTarget : public TMessageTarget {
 public:
  void Post(uint32_t message) override {
    std::lock_guard<std::mutex> lock(m_);
    messages_.push_back(message);
    cv_.notify_all();
  }
  int CountOf(uint32_t message) {
    std::lock_guard<std::mutex> lock(m_);
    return static_cast<int>(std::count(messages_.begin(), messages_.end(), message));
  }
  // Waits until n messages of the kind have arrived.
  bool WaitFor(uint32_t message, int n, std::chrono::milliseconds timeout = 5s) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, timeout, [&] {
      return std::count(messages_.begin(), messages_.end(), message) >= n;
    });
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(m_);
    messages_.clear();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<uint32_t> messages_;
};

class Playback : public RecordingTest {
 protected:
  void SetUp() override {
    RecordingTest::SetUp();
    player_ = std::make_unique<TPlayThreadRS>(core_, false, &target_);
  }
  void TearDown() override {
    player_.reset();
    RecordingTest::TearDown();
  }
  // Revs (id 1) at 1 s and 2 s; TPS (id 6) at 0.5 s; MAP (id 9) without samples.
  TRecording* Current(uint32_t lengthMs) {
    TRecording* rec = MakeRecording("play", lengthMs, {{1, {{100000, 1000}, {200000, 2000}}}, {6, {{50000, 77}}}, {9, {}}});
    recordings_.Add(rec);
    SetCurrentRecording(core_, rec);
    return rec;
  }
  bool WaitStopped(std::chrono::milliseconds timeout = 5s) {
    auto end = Clock::now() + timeout;
    while (player_->IsPlaying() && Clock::now() < end) std::this_thread::sleep_for(1ms);
    return !player_->IsPlaying();
  }

  TRecordingTarget target_;
  std::unique_ptr<TPlayThreadRS> player_;
};

// ---------------------------------------------------------------------------------------------
// Speeds and reset

TEST_F(Playback, SpeedStepsMapToTheirFactors) {
  const double factors[] = {-1.0, 0.125, 0.25, 0.5, 1.0, 2.0, 4.0, 8.0};
  for (int step = 0; step < 8; ++step) {
    player_->SetSpeed(step);
    EXPECT_EQ(player_->SpeedStep(), step);
    EXPECT_EQ(player_->SpeedFactor(), factors[step]);
  }
  player_->SetSpeed(9);  // stored, factor unchanged
  EXPECT_EQ(player_->SpeedStep(), 9);
  EXPECT_EQ(player_->SpeedFactor(), 8.0);
  player_->ResetPlayer();
  EXPECT_EQ(player_->SpeedStep(), 4);
  EXPECT_EQ(player_->SpeedFactor(), 1.0);
  EXPECT_EQ(player_->CurrentTime(), 0.0);
}

// ---------------------------------------------------------------------------------------------
// Seeking while stopped

TEST_F(Playback, APositionBetweenSamplesShowsTheEarlierOne) {
  Current(3000);
  sensors_->RawMAP->RawValue = 55;
  player_->SetCurrentTime(1.5);
  EXPECT_EQ(player_->CurrentTime(), 1.5);
  EXPECT_EQ(sensors_->RawRevs->RawValue, 1000);
  EXPECT_EQ(sensors_->RawTPS->RawValue, 77);
  EXPECT_EQ(sensors_->RawMAP->RawValue, 55);  // no samples: left alone
  player_->SetCurrentTime(2.0);
  EXPECT_EQ(sensors_->RawRevs->RawValue, 2000);
  EXPECT_EQ(target_.CountOf(WM_PLAY_STOPPED), 0);
}

// Past the tick counter's wrap at 42949.67296 s a position shows the samples of its true time.
TEST_F(Playback, APositionPastTheTickCountersWrapShowsTheSamplesOfItsTime) {
  TRecording* rec = MakeRecording("long", 45000000, {{1, {{100000, 1000}, {4294000000u, 2000}, {100000, 3000}}}});
  recordings_.Add(rec);
  SetCurrentRecording(core_, rec);
  player_->SetCurrentTime(42949.0);
  EXPECT_EQ(sensors_->RawRevs->RawValue, 2000);
  player_->SetCurrentTime(42950.0);
  EXPECT_EQ(sensors_->RawRevs->RawValue, 2000);
  player_->SetCurrentTime(42950.68);
  EXPECT_EQ(sensors_->RawRevs->RawValue, 3000);
  player_->SetCurrentTime(0.5);
  EXPECT_EQ(sensors_->RawRevs->RawValue, 1000);
}

TEST_F(Playback, APositionBeforeTheFirstSampleShowsTheFirstSample) {
  Current(3000);
  player_->SetCurrentTime(0.2);
  EXPECT_EQ(sensors_->RawRevs->RawValue, 1000);
}

TEST_F(Playback, PositionsAtOrBeyondEitherEndClampStopAndNotify) {
  Current(3000);
  player_->Play();
  player_->SetCurrentTime(-5);
  EXPECT_EQ(player_->CurrentTime(), 0.0);
  EXPECT_FALSE(player_->IsPlaying());
  EXPECT_EQ(target_.CountOf(WM_PLAY_STOPPED), 1);
  player_->SetCurrentTime(99);
  EXPECT_EQ(player_->CurrentTime(), 3.0);
  EXPECT_EQ(sensors_->RawRevs->RawValue, 2000);
  EXPECT_EQ(target_.CountOf(WM_PLAY_STOPPED), 2);
}

TEST_F(Playback, GoToStartAndEndDoNotNotify) {
  Current(3000);
  player_->GoToEnd();
  EXPECT_EQ(player_->CurrentTime(), 3.0);
  EXPECT_EQ(sensors_->RawRevs->RawValue, 2000);
  player_->GoToStart();
  EXPECT_EQ(player_->CurrentTime(), 0.0);
  EXPECT_EQ(sensors_->RawRevs->RawValue, 1000);
  EXPECT_EQ(target_.CountOf(WM_PLAY_STOPPED), 0);
}

TEST_F(Playback, WithoutACurrentRecordingEveryPositionIsTheStart) {
  player_->SetCurrentTime(2.0);
  EXPECT_EQ(player_->CurrentTime(), 0.0);
  player_->GoToEnd();
  EXPECT_EQ(player_->CurrentTime(), 0.0);
}

// ---------------------------------------------------------------------------------------------
// Playing

TEST_F(Playback, ARecordingOfLengthZeroStopsAtOnceWithOneNotification) {
  Current(0);
  player_->Play();
  ASSERT_TRUE(target_.WaitFor(WM_PLAY_STOPPED, 1));
  ASSERT_TRUE(WaitStopped());
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(target_.CountOf(WM_PLAY_STOPPED), 1);
  EXPECT_EQ(player_->CurrentTime(), 0.0);
}

TEST_F(Playback, PlayingFromTheEndStopsAtOnce) {
  Current(3000);
  player_->GoToEnd();
  player_->Play();
  ASSERT_TRUE(target_.WaitFor(WM_PLAY_STOPPED, 1));
  EXPECT_TRUE(WaitStopped());
  EXPECT_EQ(player_->CurrentTime(), 3.0);
}

TEST_F(Playback, PlayingAdvancesAppliesValuesRefreshesAndStopsAtTheEnd) {
  Current(300);
  player_->Play();
  ASSERT_TRUE(target_.WaitFor(WM_PLAY_STOPPED, 1));
  EXPECT_TRUE(WaitStopped());
  EXPECT_EQ(player_->CurrentTime(), 0.3);
  EXPECT_GE(target_.CountOf(WM_UPDATE_UI), 1);
  EXPECT_EQ(sensors_->RawRevs->RawValue, 1000);
  EXPECT_EQ(target_.CountOf(WM_PLAY_STOPPED), 1);
}

TEST_F(Playback, FasterSpeedsReachTheEndSooner) {
  Current(2000);
  player_->SetSpeed(7);  // x8: about 250 ms for 2 s
  auto start = Clock::now();
  player_->Play();
  ASSERT_TRUE(target_.WaitFor(WM_PLAY_STOPPED, 1));
  auto elapsed = Clock::now() - start;
  EXPECT_LT(elapsed, 1500ms);
  EXPECT_EQ(player_->CurrentTime(), 2.0);
}

TEST_F(Playback, SpeedMinusOneRunsBackwardsToTheStart) {
  Current(60000);
  player_->SetCurrentTime(0.15);
  player_->SetSpeed(0);
  player_->Play();
  ASSERT_TRUE(target_.WaitFor(WM_PLAY_STOPPED, 1));
  EXPECT_TRUE(WaitStopped());
  EXPECT_EQ(player_->CurrentTime(), 0.0);
  EXPECT_EQ(sensors_->RawRevs->RawValue, 1000);
}

TEST_F(Playback, ChangingSpeedWhilePlayingDoesNotJump) {
  Current(600000);
  player_->SetCurrentTime(100);
  player_->Play();
  std::this_thread::sleep_for(30ms);
  double before = player_->CurrentTime();
  player_->SetSpeed(3);  // half speed
  std::this_thread::sleep_for(30ms);
  double after = player_->CurrentTime();
  player_->Stop();
  EXPECT_GT(before, 100.0);
  EXPECT_GE(after, before);
  EXPECT_LT(after - before, 1.0);
}

TEST_F(Playback, SeekingWhilePlayingContinuesFromTheNewPosition) {
  Current(600000);
  player_->SetCurrentTime(300);
  player_->Play();
  std::this_thread::sleep_for(20ms);
  player_->GoToStart();
  std::this_thread::sleep_for(30ms);
  EXPECT_TRUE(player_->IsPlaying());
  EXPECT_LT(player_->CurrentTime(), 10.0);
  player_->SetCurrentTime(400);
  std::this_thread::sleep_for(30ms);
  EXPECT_GE(player_->CurrentTime(), 400.0);
  EXPECT_LT(player_->CurrentTime(), 410.0);
  player_->Stop();
}

// The window answers a refresh request by asking for its own delay; the answer may come before
// the thread is done posting, and must hold all the same.
TEST_F(Playback, ADelayAskedForInReplyToARefreshHolds) {
  class TAnswering : public TRecordingTarget {
   public:
    TPlayThread* player = nullptr;
    void Post(uint32_t message) override {
      TRecordingTarget::Post(message);
      if (message == WM_UPDATE_UI && player) player->DelayUIUpdate(60000);
    }
  } answering;
  answering.player = player_.get();
  player_->SetMessageTarget(&answering);
  Current(600000);
  player_->Play();
  ASSERT_TRUE(answering.WaitFor(WM_UPDATE_UI, 1));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(answering.CountOf(WM_UPDATE_UI), 1);
  player_->Stop();
  player_->SetMessageTarget(&target_);
}

TEST_F(Playback, WithoutATargetNothingIsPosted) {
  player_->SetMessageTarget(nullptr);
  Current(0);
  player_->Play();
  EXPECT_TRUE(WaitStopped());
  EXPECT_EQ(target_.CountOf(WM_PLAY_STOPPED), 0);
}

// ---------------------------------------------------------------------------------------------
// Letting go of a recording

// A player whose refresh hook blocks, holding the loop inside a pass over the recording.
class TBlockingPlayer : public TPlayThread {
 public:
  explicit TBlockingPlayer(TCoreContext& core) : TPlayThread(core) { Start(); }
  ~TBlockingPlayer() override {
    Open();
    Terminate();
  }
  std::atomic<bool> inside{false};
  void WaitInside() {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [&] { return inside.load(); });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(m_);
    open_ = true;
    cv_.notify_all();
  }

 protected:
  void DoUpdateUI() override {
    std::unique_lock<std::mutex> lock(m_);
    inside = true;
    cv_.notify_all();
    cv_.wait(lock, [&] { return open_; });
    inside = false;
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool open_ = false;
};

TEST_F(Playback, ReleasingWaitsUntilThePassInProgressHasEnded) {
  player_.reset();
  TBlockingPlayer player(core_);
  TRecording* rec = Current(600000);
  player.Play();
  player.WaitInside();
  std::atomic<bool> sawInside{true};
  std::thread closer([&] {
    SetCurrentRecording(core_, nullptr);
    core_.Recordings->Release(rec);
    sawInside = player.inside.load();
  });
  std::this_thread::sleep_for(30ms);
  player.Open();
  closer.join();
  EXPECT_FALSE(sawInside);
  EXPECT_FALSE(player.IsPlaying());
}

TEST_F(Playback, ClosingTheRecordingBeingPlayedIsSafe) {
  for (int round = 0; round < 20; ++round) {
    TRecording* rec = Current(600000);
    AddRecording("second");
    player_->SetCurrentTime(round * 10.0);
    player_->Play();
    std::this_thread::sleep_for(std::chrono::milliseconds(round % 4));
    CloseRecording(core_, rec);
    EXPECT_FALSE(player_->IsPlaying());
    EXPECT_NE(CurrentRecordingOf(core_), rec);
    player_->Play();  // plays the recording that became current
    std::this_thread::sleep_for(1ms);
    CloseRecording(core_, CurrentRecordingOf(core_));
  }
  EXPECT_EQ(CurrentRecordingOf(core_), nullptr);
}

TEST_F(Playback, RefreshStopsAndResetsThePlayer) {
  Current(600000);
  core_.Player = player_.get();
  player_->SetSpeed(6);
  player_->SetCurrentTime(42);
  player_->Play();
  RefreshRecordings(core_);
  core_.Player = nullptr;
  EXPECT_FALSE(player_->IsPlaying());
  EXPECT_EQ(player_->CurrentTime(), 0.0);
  EXPECT_EQ(player_->SpeedStep(), 4);
}

TEST_F(Playback, DestroyingAPlayingThreadEndsItPromptly) {
  Current(600000);
  player_->Play();
  std::this_thread::sleep_for(5ms);
  auto start = Clock::now();
  player_.reset();
  EXPECT_LT(Clock::now() - start, 1s);
}

}  // namespace
