#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/MessageBox.h"

// Records the boxes that would be shown, in order, instead of waiting for a
// person. Safe to call from any thread.
class TRecordingMessageBox : public TMessageBoxPort {
 public:
  void ShowMessage(const std::string& text) override { Add("message: " + text); }
  void ShowError(const std::string& text) override { Add("error: " + text); }
  std::vector<std::string> Shown() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Shown_;
  }

 private:
  void Add(std::string entry) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Shown_.push_back(std::move(entry));
  }
  mutable std::mutex Mutex_;
  std::vector<std::string> Shown_;
};
