#pragma once
// Messages from the worker threads to the main window: no data, only what happened.
#include <cstdint>

constexpr uint32_t WM_UPDATE_UI = 0x93EC;
constexpr uint32_t WM_POLL_CONNECTED = 0x93ED;
constexpr uint32_t WM_POLL_DISCONNECTED = 0x93EE;
constexpr uint32_t WM_POLL_ERROR = 0x93EF;
constexpr uint32_t WM_PLAY_STOPPED = 0x93F0;

// Where a worker thread posts its messages; Post must be safe to call from any thread.
class TMessageTarget {
 public:
  virtual ~TMessageTarget() = default;
  virtual void Post(uint32_t message) = 0;
};
