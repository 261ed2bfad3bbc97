#include "ecu/PollThreadRS.h"

#include <chrono>
#include <thread>

#include "vars/SensorList.h"

namespace {
constexpr uint32_t kLapId = 158;
constexpr uint32_t kLapIntervalMs = 10000;
}  // namespace

TPollThreadRS::TPollThreadRS(TCoreContext& core, bool createSuspended, TMessageTarget* target)
    : TPollThread(core, createSuspended), target_(target) {
  StopRecording();
  LastLapTime = 0;
  if (!createSuspended) Start();
}

TPollThreadRS::~TPollThreadRS() { Stop(); }

void TPollThreadRS::SetMessageTarget(TMessageTarget* target) {
  std::lock_guard<std::mutex> lock(targetMutex_);
  target_ = target;
}

TMessageTarget* TPollThreadRS::MessageTarget() {
  std::lock_guard<std::mutex> lock(targetMutex_);
  return target_;
}

void TPollThreadRS::Post(uint32_t message) {
  std::lock_guard<std::mutex> lock(targetMutex_);
  if (target_) target_->Post(message);
}

void TPollThreadRS::DoConnected() { Post(WM_POLL_CONNECTED); }

void TPollThreadRS::DoDisconnected() { Post(WM_POLL_DISCONNECTED); }

void TPollThreadRS::DoUpdateUI() {
  Post(WM_UPDATE_UI);
  // The loop's one regular pause: the window gets a moment to catch up.
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TPollThreadRS::DoCommsError() {
  StopRecording();
  PollThread_Disconnect();
  Post(WM_POLL_ERROR);
}

void TPollThreadRS::DoLoop() {
  // The lap input: a CD signal counts one lap, at most one every 10 seconds.
  if (!config_->UseCDForLap) return;
  if (!Port()->CD()) return;
  const uint32_t now = LinkMs();
  if (static_cast<uint32_t>(now - LastLapTime) <= kLapIntervalMs) return;
  if (TRawVar* lap = FindRaw(kLapId)) SetVarValue(lap, static_cast<uint16_t>(lap->RawValue + 1));
  LastLapTime = now;
}
