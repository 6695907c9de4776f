#include "chat/HostLookup.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace {
constexpr int kWaitSliceMs = 100;
}  // namespace

THostLookup::THostLookup(std::shared_ptr<TSocketStack> stack, std::string name)
    : Name_(std::move(name)), Answer_(std::make_shared<TAnswer>()) {
  auto answer = Answer_;
  auto run = [stack, name = Name_, answer] {
    uint32_t address = 0;
    int code = stack->LookupHost(name, address);
    std::lock_guard<std::mutex> lock(answer->Lock);
    answer->Code = code;
    answer->Address = address;
    answer->Answered = true;
    answer->Arrived.notify_all();
  };
  try {
    std::thread(run).detach();
  } catch (const std::system_error&) {
    // No thread to be had: the lookup runs here, unbounded, rather than not at all.
    run();
  }
}

bool THostLookup::Answered() const {
  std::lock_guard<std::mutex> lock(Answer_->Lock);
  return Answer_->Answered;
}

int THostLookup::Wait(TClock::time_point deadline, const std::function<bool()>& abandon,
                      uint32_t& address) const {
  std::unique_lock<std::mutex> lock(Answer_->Lock);
  for (;;) {
    if (Answer_->Answered) {
      if (Answer_->Code == 0) address = Answer_->Address;
      return Answer_->Code;
    }
    // The owner's question may take locks of its own: not under this one.
    lock.unlock();
    const bool abandoned = abandon && abandon();
    lock.lock();
    if (abandoned) return kWsaeInterrupted;
    const TClock::time_point now = TClock::now();
    if (now >= deadline) return kWsaeTimedOut;
    Answer_->Arrived.wait_until(lock,
                                std::min(deadline, now + std::chrono::milliseconds(kWaitSliceMs)));
  }
}
