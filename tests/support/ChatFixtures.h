#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "chat/ChatLink.h"
#include "chat/TcpConnection.h"
#include "platform/UiBridge.h"
#include "session/Session.h"
#include "support/TempDir.h"

// A thread that plays the user-interface thread: it serves the calls that
// other threads hand over through the bridge until it is destroyed.
class TTestUiThread {
 public:
  explicit TTestUiThread(TUiBridge& ui) : Ui_(ui) {
    Thread_ = std::thread([this] {
      Ui_.BindToCurrentThread();
      {
        std::lock_guard<std::mutex> lock(Mutex_);
        Bound_ = true;
      }
      BoundChanged_.notify_all();
      Ui_.Serve();
    });
    std::unique_lock<std::mutex> lock(Mutex_);
    BoundChanged_.wait(lock, [this] { return Bound_; });
  }
  ~TTestUiThread() {
    Ui_.Quit();
    Thread_.join();
  }
  TTestUiThread(const TTestUiThread&) = delete;
  TTestUiThread& operator=(const TTestUiThread&) = delete;

 private:
  TUiBridge& Ui_;
  std::mutex Mutex_;
  std::condition_variable BoundChanged_;
  bool Bound_ = false;
  std::thread Thread_;
};

// Polls check until it holds or timeoutMs have passed.
inline bool Eventually(const std::function<bool()>& check, int timeoutMs = 20000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!check()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// The chat link as the status window holds it: a session with
// "./response.txt" open in a temporary folder, a line client set up like
// IdTCPClient1 (but with a short read time-out, so stops are quick), a test
// "UI" thread and the link between them. Members are declared so that the link
// (which stops its receive thread) goes before the client and the UI thread.
struct TChatRig {
  static constexpr int kReadTimeout = 200;

  TTempDir Dir;
  TSession Session;
  TUiBridge Ui;
  TTestUiThread UiThread{Ui};
  TIdTCPClient Client;
  TChatLink Link{Session, Client, Ui};

  TChatRig() {
    Client.Host = "127.0.0.1";
    Client.ReadTimeout = kReadTimeout;
    Client.RecvBufferSize = 1024;
    Client.SendBufferSize = 1024;
    Session.ResponseLog.Rewrite(ResponsePath());
  }
  std::string ResponsePath() const { return Dir.File("response.txt"); }
  // Closes "./response.txt" as the shutdown does and returns what it holds.
  std::string ResponseAfterShutdown() {
    Session.ResponseLog.Close();
    return ReadFileBytes(ResponsePath());
  }
  // Runs call on the "UI" thread and waits for it.
  void OnUi(const std::function<void()>& call) { Ui.Send(call); }
  bool ReceiverRunning() {
    std::lock_guard<std::mutex> lock(Session.StateLock);
    return Session.ReceiveThread && !Session.ReceiveThread->Finished();
  }
  // The watcher's connect step, as far as the chat link is concerned.
  void Connect(int port) {
    Link.SetTarget("127.0.0.1", port);
    Link.OpenConnection();
    Link.StartReceiver();
  }
};
