#pragma once

#include <functional>
#include <string>

// Modal message boxes titled with the application title "ORVANE" and an OK
// button. Show returns only after the user has closed the box. Tests record what
// would be shown instead of blocking.
class TMessageBoxPort {
 public:
  virtual ~TMessageBoxPort() = default;
  // A message the user must read ("Cannot connect to chat server").
  virtual void ShowMessage(const std::string& text) = 0;
  // The general error display: an error box; text is shown as given.
  virtual void ShowError(const std::string& text) = 0;
};

// The adapter of the platform being built: MessageBoxA on Windows, standard
// error on POSIX (where no window exists).
class TPlatformMessageBox : public TMessageBoxPort {
 public:
  // owner: the window that owns the boxes (an HWND on Windows), or null.
  explicit TPlatformMessageBox(void* owner = nullptr) : Owner_(owner) {}
  void SetOwner(void* owner) { Owner_ = owner; }
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;

  // Told the text of every box as it is shown (the operator's journal).
  std::function<void(const std::string& text)> OnShow;

 private:
  void* Owner_;
};

inline constexpr const char* kApplicationTitle = "ORVANE";
