#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lookup/StartWindowPort.h"
#include "monitor/WatcherPorts.h"

// The status window's "Retrive Auto IP" item; records every change.
class TRecordingStartWindow : public TStartWindowPort {
 public:
  void EnableRetriveAutoIP(bool enabled) override { Calls.push_back(enabled); }
  // The item is enabled when the window is created.
  bool Enabled() const { return Calls.empty() ? true : Calls.back(); }
  std::vector<bool> Calls;
};

// A chat server that always takes the connection: records where the watcher
// was told to connect and what it said.
class TLookupFakeChat : public TWatcherChatPort {
 public:
  bool IsConnected() override {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Connected_;
  }
  void SetTarget(const std::string& host, int port) override {
    std::lock_guard<std::mutex> lock(Mutex_);
    Host_ = host;
    Port_ = port;
  }
  void OpenConnection() override {
    std::lock_guard<std::mutex> lock(Mutex_);
    Connected_ = true;
    ++Connects_;
  }
  void SendLine(const std::string& line) override {
    {
      std::lock_guard<std::mutex> lock(Mutex_);
      Lines_.push_back(line);
    }
    Changed_.notify_all();
  }
  void CloseConnection() override {
    std::lock_guard<std::mutex> lock(Mutex_);
    Connected_ = false;
  }
  void StartReceiver() override {}

  // Waits until at least count lines were sent; false after timeoutMs.
  bool WaitForLines(size_t count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(Mutex_);
    return Changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return Lines_.size() >= count; });
  }
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Lines_;
  }
  std::string Host() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Host_;
  }
  int Port() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Port_;
  }
  int Connects() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Connects_;
  }

 private:
  mutable std::mutex Mutex_;
  std::condition_variable Changed_;
  bool Connected_ = false;
  int Connects_ = 0;
  std::string Host_;
  int Port_ = 0;
  std::vector<std::string> Lines_;
};

// The status window as the watcher sees it; nothing is shown.
class TLookupFakeWatcherWindow : public TWatcherWindowPort {
 public:
  void ShowChatState(int) override {}
  void SetCaption(const std::string&) override {}
  void ShowModalMessage(const std::string&) override {}
  void BoardChanged() override {}
};
