#pragma once
// The program's poll thread: its notifications become messages to the main window (or to any
// message target), and each pass reads the lap input on the port's CD line.
#include <mutex>

#include "base/MessageTarget.h"
#include "ecu/PollThread.h"

class TPollThreadRS : public TPollThread {
 public:
  // Starts the thread unless created suspended.
  explicit TPollThreadRS(TCoreContext& core, bool createSuspended = false, TMessageTarget* target = nullptr);
  ~TPollThreadRS() override;

  // Where the messages go; none posts nothing. Once this returns, the previous target receives
  // nothing more, so its owner may destroy it.
  void SetMessageTarget(TMessageTarget* target);
  TMessageTarget* MessageTarget();

  // LinkTimer milliseconds of the last lap counted; kept across connects.
  Relaxed<uint32_t> LastLapTime{0};

 protected:
  void DoConnected() override;
  void DoDisconnected() override;
  void DoUpdateUI() override;
  void DoCommsError() override;
  void DoLoop() override;

 private:
  void Post(uint32_t message);

  std::mutex targetMutex_;
  TMessageTarget* target_ = nullptr;
};
