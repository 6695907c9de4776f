#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

// Runs work on a thread of its own and waits for it at most boundMs. Work that
// has not returned by then fails the check; unstick() must then make it
// return, so that a fault costs a failure instead of a hung test run.
inline ::testing::AssertionResult ReturnsWithin(int boundMs, const std::function<void()>& work,
                                                const std::function<void()>& unstick) {
  std::packaged_task<void()> task(work);
  std::future<void> done = task.get_future();
  std::thread runner(std::move(task));
  const bool inTime =
      done.wait_for(std::chrono::milliseconds(boundMs)) == std::future_status::ready;
  if (!inTime) unstick();
  runner.join();
  if (!inTime) return ::testing::AssertionFailure() << "still waiting after " << boundMs << " ms";
  return ::testing::AssertionSuccess();
}
