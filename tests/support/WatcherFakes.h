#pragma once

// Small stand-ins for what the log watcher talks to: the chat connection, the
// status window and the log file. Header-only, so the fuzz targets can use them.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "monitor/LogFile.h"
#include "monitor/WatcherPorts.h"

// A chat connection that records what the watcher does with it. Connecting and
// sending can be made to fail. Safe to use from the watcher's thread while the
// test reads it.
class TFakeChat : public TWatcherChatPort {
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
    ++Connects_;
    if (RefuseConnect_) throw std::runtime_error("Connection refused");
    Connected_ = true;
    Sent_.push_back("<sign-on>");
  }
  void SendLine(const std::string& line) override {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (!Connected_) throw std::runtime_error("Not Connected");
    if (SendsBeforeFailure_ >= 0 && SendsBeforeFailure_-- == 0) {
      Connected_ = false;
      throw std::runtime_error("Connection Closed Gracefully.");
    }
    Sent_.push_back(line);
  }
  void CloseConnection() override {
    std::lock_guard<std::mutex> lock(Mutex_);
    ++Closes_;
    Connected_ = false;
  }
  void StartReceiver() override {
    std::lock_guard<std::mutex> lock(Mutex_);
    ++Receivers_;
  }
  void SignOff() override {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (Connected_) Sent_.push_back("<quit>");
    ++Closes_;
    Connected_ = false;
  }

  // Test controls and records.
  void SetConnected(bool connected) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Connected_ = connected;
  }
  void RefuseConnect(bool refuse) {
    std::lock_guard<std::mutex> lock(Mutex_);
    RefuseConnect_ = refuse;
  }
  // After n more sends have gone out, the next one finds the connection broken.
  void BreakAfterSends(int n) {
    std::lock_guard<std::mutex> lock(Mutex_);
    SendsBeforeFailure_ = n;
  }
  std::vector<std::string> Sent() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Sent_;
  }
  void ClearSent() {
    std::lock_guard<std::mutex> lock(Mutex_);
    Sent_.clear();
  }
  int Connects() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Connects_;
  }
  int Closes() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Closes_;
  }
  int Receivers() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Receivers_;
  }
  std::string Host() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Host_;
  }
  int Port() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Port_;
  }

 private:
  mutable std::mutex Mutex_;
  bool Connected_ = false;
  bool RefuseConnect_ = false;
  int SendsBeforeFailure_ = -1;
  int Connects_ = 0;
  int Closes_ = 0;
  int Receivers_ = 0;
  std::string Host_;
  int Port_ = 0;
  std::vector<std::string> Sent_;
};

// A directory whose next answers the test sets; it counts the asks.
class TFakeDirectory : public TWatcherDirectoryPort {
 public:
  bool Ask(const std::function<bool()>&, TLookedUp& found) override {
    std::lock_guard<std::mutex> lock(Mutex_);
    ++Asks_;
    if (!Answers_) return false;
    found = Answer_;
    return true;
  }
  // From now on the directory answers with these values, or (nothing) fails.
  void Answer(const TLookedUp& answer) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Answer_ = answer;
    Answers_ = true;
  }
  void Fail() {
    std::lock_guard<std::mutex> lock(Mutex_);
    Answers_ = false;
  }
  int Asks() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Asks_;
  }

 private:
  mutable std::mutex Mutex_;
  TLookedUp Answer_;
  bool Answers_ = false;
  int Asks_ = 0;
};

// A status window that records every call, in order, as text.
class TFakeWindow : public TWatcherWindowPort {
 public:
  void ShowChatState(int state) override { Add("chat state " + std::to_string(state)); }
  void SetCaption(const std::string& caption) override { Add("caption " + caption); }
  void ShowModalMessage(const std::string& text) override {
    Add("message " + text);
    if (WhileMessageShown) WhileMessageShown();
  }
  // Runs (on the watcher's thread) before a modal message returns: what the
  // user does while the box is up, or right after pressing OK.
  std::function<void()> WhileMessageShown;
  void BoardChanged() override {
    std::lock_guard<std::mutex> lock(Mutex_);
    ++BoardChanges_;
  }

  std::vector<std::string> Calls() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Calls_;
  }
  void ClearCalls() {
    std::lock_guard<std::mutex> lock(Mutex_);
    Calls_.clear();
  }
  int BoardChanges() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return BoardChanges_;
  }

 private:
  void Add(std::string call) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Calls_.push_back(std::move(call));
  }
  mutable std::mutex Mutex_;
  std::vector<std::string> Calls_;
  int BoardChanges_ = 0;
};

// The real log file with its calls counted; opening, sizing and reading can be
// made to fail as a game server holding its log locked would make them.
class TCountingLogFile : public TLogFile {
 public:
  void Open(const std::string& path) override {
    ++Opens;
    if (FailOpen) throw EFileError("The process cannot access the file");
    File_.Open(path);
  }
  int64_t Size() override {
    ++Sizes;
    if (FailSize) throw EFileError("Access is denied");
    return File_.Size();
  }
  void Seek(int64_t position) override {
    ++Seeks;
    File_.Seek(position);
  }
  size_t Read(void* buffer, size_t count) override {
    ++Reads;
    if (FailReadAfter >= 0 && Reads > FailReadAfter) throw EFileError("The device is not ready");
    return File_.Read(buffer, std::min(count, MaxRead));
  }
  void Close() override {
    ++Closes;
    File_.Close();
  }

  std::atomic<int> Opens{0}, Sizes{0}, Seeks{0}, Reads{0}, Closes{0};
  std::atomic<bool> FailOpen{false}, FailSize{false};
  // Reads after this many fail; -1 never.
  std::atomic<int> FailReadAfter{-1};
  // The most one read returns (a short read is what a growing file gives).
  size_t MaxRead = static_cast<size_t>(-1);

 private:
  TSharedLogFile File_;
};

// A log held in memory, for the fuzz targets: it can grow between reads, and
// each read returns at most MaxRead bytes.
class TMemoryLogFile : public TLogFile {
 public:
  std::string Bytes;
  size_t MaxRead = static_cast<size_t>(-1);

  void Open(const std::string&) override { Position_ = 0; }
  int64_t Size() override { return static_cast<int64_t>(Bytes.size()); }
  void Seek(int64_t position) override { Position_ = static_cast<size_t>(position); }
  size_t Read(void* buffer, size_t count) override {
    if (Position_ >= Bytes.size()) return 0;
    size_t n = std::min({count, MaxRead, Bytes.size() - Position_});
    std::memcpy(buffer, Bytes.data() + Position_, n);
    Position_ += n;
    return n;
  }
  void Close() override {}

 private:
  size_t Position_ = 0;
};
