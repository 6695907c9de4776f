#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Plays the user's part in a modal dialog: the dialog's own message loop
// blocks the test, so the steps run from a thread timer inside that loop, once
// a visible window with the given caption belongs to this thread. Should the
// window not come up in time, or the steps leave it open, the script closes
// every dialog of the thread, so a failing test cannot hang.
class TDialogScript {
 public:
  static constexpr int kTimeoutMs = 20000;

  TDialogScript(std::string caption, std::function<void(HWND dialog)> steps);
  ~TDialogScript();
  TDialogScript(const TDialogScript&) = delete;
  TDialogScript& operator=(const TDialogScript&) = delete;

  // True once the steps have run.
  bool Ran() const { return Ran_; }
  bool TimedOut() const { return TimedOut_; }

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD);
  void Tick();

  std::string Caption_;
  std::function<void(HWND)> Steps_;
  UINT_PTR Timer_ = 0;
  DWORD Deadline_ = 0;
  bool Ran_ = false;
  bool TimedOut_ = false;
};

// The visible top-level window of this thread with that caption, or null.
HWND FindThreadWindow(const std::string& caption);
// A child control by its identifier.
HWND Control(HWND dialog, int id);
// The control's place and size in its parent's client area.
RECT ClientPlace(HWND control);
std::string WindowText(HWND window);
bool IsChecked(HWND button);
void SetText(HWND control, const std::string& text);
// A click as the user makes it: the button's own press and release.
void Press(HWND button);
// The width of a control's text in the control's font.
int TextWidth(HWND control);

// The 16 x 16 image an image button draws, read back pixel by pixel.
struct TGlyphPixels {
  explicit TGlyphPixels(HWND button);
  bool Loaded = false;
  COLORREF Colour(int x, int y) const;
  bool Clear(int x, int y) const;

 private:
  unsigned Colour_[16 * 16] = {};
  unsigned Mask_[16 * 16] = {};
};
