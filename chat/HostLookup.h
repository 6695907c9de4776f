#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Socket.h"

// One name lookup on a thread of its own. The system's lookup can be neither
// bounded nor cancelled (with its DNS server unreachable Windows retries for 10
// to 15 s, and longer when several are configured), so a connect waits for its
// answer only within its own bounds and otherwise leaves it behind. The thread
// holds the socket layer and the answer and ends when the system answers,
// whether or not anybody still waits.
class THostLookup {
 public:
  using TClock = std::chrono::steady_clock;

  // Starts the lookup at once.
  THostLookup(std::shared_ptr<TSocketStack> stack, std::string name);

  const std::string& Name() const { return Name_; }
  // True once the system has answered.
  bool Answered() const;
  // Waits for the answer until deadline or until abandon() turns true (asked
  // every slice of about 100 ms). Returns the lookup's code (0: address set),
  // 10060 when the deadline came first, 10004 when abandoned.
  int Wait(TClock::time_point deadline, const std::function<bool()>& abandon,
           uint32_t& address) const;

 private:
  struct TAnswer {
    mutable std::mutex Lock;
    mutable std::condition_variable Arrived;
    bool Answered = false;
    int Code = 0;
    uint32_t Address = 0;
  };

  std::string Name_;
  std::shared_ptr<TAnswer> Answer_;
};
