// The user-interface thread's wait for another thread's end.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/Thread.h"
#include "platform/UiBridge.h"

namespace {

class TSleeper : public TThread {
 public:
  explicit TSleeper(int ms) : Ms_(ms) { Start(); }
  ~TSleeper() override { WaitFor(); }

 protected:
  void Execute() override { std::this_thread::sleep_for(std::chrono::milliseconds(Ms_)); }

 private:
  int Ms_;
};

}  // namespace

TEST(UiBridge, WaitForAThreadsEndIsWokenByTheEndNotByPolling) {
  std::atomic<int> waits{0};
  // The window's pump stand-in: counts how often the wait had to look again.
  TUiBridge ui({}, [&] {
    ++waits;
    return false;
  });
  TSleeper thread(300);
  ui.ServeUntilFinished(thread);
  EXPECT_TRUE(thread.Finished());
  EXPECT_LE(waits, 2);
}

TEST(UiBridge, WaitServesHandoversUntilTheThreadEnds) {
  TUiBridge ui;
  struct TSender : TThread {
    explicit TSender(TUiBridge& ui) : Ui(ui) { Start(); }
    ~TSender() override { WaitFor(); }
    void Execute() override {
      for (int i = 0; i < 3; ++i) Ui.Send([this] { ++Served; });
    }
    TUiBridge& Ui;
    int Served = 0;
  } sender(ui);
  ui.ServeUntilFinished(sender);
  EXPECT_EQ(sender.Served, 3);
}
