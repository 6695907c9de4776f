#pragma once

#include <windows.h>

#include <string>

// The notice window: a small captioned window without any title-bar button
// that tells the user what the blocked user-interface thread is doing. It is
// created for one piece of work, owned by the status window, and destroyed
// when the work is done.
class Tfmmsg {
 public:
  static constexpr const char* kClassName = "Tfmmsg";
  static constexpr int kWidth = 283;
  static constexpr int kHeight = 53;

  explicit Tfmmsg(HWND owner);
  ~Tfmmsg();
  Tfmmsg(const Tfmmsg&) = delete;
  Tfmmsg& operator=(const Tfmmsg&) = delete;

  // Sets the caption and the text of the label.
  void ShowNotice(const std::string& text, const std::string& caption);
  // Shows the window without taking the focus and paints it at once, so that
  // it is on the screen before the caller blocks.
  void Show();

  HWND Handle() const { return Handle_; }
  HWND Label1 = nullptr;

 private:
  HWND Handle_ = nullptr;
  HFONT Font_ = nullptr;
};
