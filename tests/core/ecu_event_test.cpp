// The manual-reset event the worker threads are commanded through.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "base/Event.h"

using namespace std::chrono_literals;

TEST(Event, StaysSetForEveryWaiterUntilReset) {
  TEvent e;
  EXPECT_FALSE(e.IsSet());
  EXPECT_FALSE(e.WaitFor(0));
  e.Set();
  EXPECT_TRUE(e.IsSet());
  EXPECT_TRUE(e.WaitFor(0));
  EXPECT_TRUE(e.WaitFor(10));  // not consumed by a wait
  e.Reset();
  EXPECT_FALSE(e.IsSet());
  TEvent initially(true);
  EXPECT_TRUE(initially.IsSet());
}

TEST(Event, ATimedWaitGivesUpAfterItsTime) {
  TEvent e;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(e.WaitFor(30));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 29ms);
}

TEST(Event, SetWakesAllWaitingThreads) {
  TEvent e;
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back([&] {
      if (e.WaitFor(5000)) ++woken;
    });
  std::this_thread::sleep_for(20ms);
  auto t0 = std::chrono::steady_clock::now();
  e.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(woken, 4);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
  std::thread forever([&] { e.Wait(); });
  forever.join();
}
