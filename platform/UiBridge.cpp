#include "platform/UiBridge.h"

#include "platform/Thread.h"

TUiBridge::TUiBridge(std::function<void()> wake, std::function<bool()> waitForWork)
    : Wake_(std::move(wake)),
      WaitForWork_(std::move(waitForWork)),
      UiThread_(std::this_thread::get_id()) {}

void TUiBridge::BindToCurrentThread() {
  std::lock_guard<std::mutex> lock(Mutex_);
  UiThread_ = std::this_thread::get_id();
}

bool TUiBridge::OnUiThread() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return UiThread_ == std::this_thread::get_id();
}

void TUiBridge::Send(const TCall& call) {
  if (OnUiThread()) {
    call();
    return;
  }
  auto item = std::make_shared<TItem>();
  item->Call = call;
  item->Synchronous = true;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Queue_.push_back(item);
  }
  Changed_.notify_all();
  if (Wake_) Wake_();
  std::unique_lock<std::mutex> lock(Mutex_);
  Changed_.wait(lock, [&] { return item->Done; });
  if (item->Error) std::rethrow_exception(item->Error);
}

void TUiBridge::Post(TCall call) {
  auto item = std::make_shared<TItem>();
  item->Call = std::move(call);
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Queue_.push_back(item);
  }
  Changed_.notify_all();
  if (Wake_) Wake_();
}

int TUiBridge::RunPending() {
  int count = 0;
  for (;;) {
    std::shared_ptr<TItem> item;
    {
      std::lock_guard<std::mutex> lock(Mutex_);
      if (Queue_.empty()) break;
      item = Queue_.front();
      Queue_.pop_front();
    }
    try {
      item->Call();
    } catch (...) {
      // A posted call has nobody to report to; a sent one hands its error back.
      if (item->Synchronous) item->Error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(Mutex_);
      item->Done = true;
    }
    Changed_.notify_all();
    ++count;
  }
  return count;
}

void TUiBridge::ServeUntilFinished(TThread& thread) {
  // The end comes as an empty call: it wakes this thread like any handover.
  thread.OnFinished([this] { Post([] {}); });
  for (;;) {
    RunPending();
    if (thread.Finished()) return;
    WaitForWork();
  }
}

namespace {
class TAsideCall final : public TThread {
 public:
  explicit TAsideCall(const TUiBridge::TCall& call) : Call_(call) { Start(); }
  ~TAsideCall() override { WaitFor(); }
  std::exception_ptr Error;

 protected:
  void Execute() override {
    try {
      Call_();
    } catch (...) {
      Error = std::current_exception();
    }
  }

 private:
  const TUiBridge::TCall& Call_;
};
}  // namespace

void TUiBridge::RunAside(const TCall& call) {
  if (!OnUiThread()) {
    call();
    return;
  }
  TAsideCall aside(call);
  ServeUntilFinished(aside);
  if (aside.Error) std::rethrow_exception(aside.Error);
}

void TUiBridge::WaitForWork() {
  if (WaitForWork_ && WaitForWork_()) return;
  std::unique_lock<std::mutex> lock(Mutex_);
  Changed_.wait(lock, [this] { return !Queue_.empty(); });
}

void TUiBridge::Serve() {
  BindToCurrentThread();
  for (;;) {
    RunPending();
    std::unique_lock<std::mutex> lock(Mutex_);
    Changed_.wait(lock, [this] { return !Queue_.empty() || QuitRequested_; });
    if (QuitRequested_ && Queue_.empty()) return;
  }
}

void TUiBridge::Quit() {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    QuitRequested_ = true;
  }
  Changed_.notify_all();
}
