#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/MessageBox.h"

// The window of an option dialog: a dialog-manager window (TAB between the
// controls, Esc and the close box as Cancel) whose controls are placed in
// pixels of the client area, as the forms were drawn, instead of in dialog
// units, which would move them with the font. Outer size in pixels, centred on
// the desktop, font "MS Sans Serif" 8 point, close box only.
//
// The window exists, hidden, from construction on, so that its values can be
// loaded before it is shown; ShowModal shows it with its owner disabled until
// a button closes it, and the window goes with the object.
class TDialogWindow {
 public:
  using TCommandHandler = std::function<void(int id, int code)>;

  // messages: where the dialog's message boxes and its error display go.
  TDialogWindow(HWND owner, TMessageBoxPort& messages, const std::string& caption, int width,
                int height);
  ~TDialogWindow();
  TDialogWindow(const TDialogWindow&) = delete;
  TDialogWindow& operator=(const TDialogWindow&) = delete;

  HWND Handle() const { return Handle_; }

  // Controls in tab order (the order of creation); places are client pixels.
  HWND AddGroup(const std::string& caption, int left, int top, int width, int height, int id);
  HWND AddLabel(const std::string& caption, int left, int top, int width, int height, int id);
  // A label as wide as its caption in the dialog's font (13 pixels high).
  HWND AddLabel(const std::string& caption, int left, int top, int id);
  HWND AddEdit(int left, int top, int width, int height, int id);
  // A radio button whose check the dialog sets itself (no automatic check), so
  // that its handler decides what a click changes. firstOfGroup starts a new
  // group for the arrow keys.
  HWND AddRadio(const std::string& caption, int left, int top, int width, int height, int id,
                bool firstOfGroup);
  // A push button with a 16 x 16 image before its caption (a bitmap resource,
  // magenta transparent).
  HWND AddGlyphButton(const std::string& caption, int glyphResource, int left, int top, int width,
                      int height, int id);

  // Runs for every command of a control (button clicks, edit notifications)
  // while the window exists. An error that leaves it is shown by the general
  // error display and the dialog stays as it is.
  void OnCommand(TCommandHandler handler) { Command_ = std::move(handler); }

  // Shows the dialog and handles messages until Close; returns the result
  // (IDOK or IDCANCEL). The close box and Esc close it with IDCANCEL.
  int ShowModal();
  void Close(int result) { ModalResult_ = result; }
  int ModalResult() const { return ModalResult_; }

  // The boxes to show from the dialog's handlers. The platform's boxes are
  // owned by the dialog while it is open, so that it takes no input until the
  // user has read them; a recorder given by a test is used as it is.
  TMessageBoxPort& Messages();

  // Radio buttons: the check mark, and the tab stop with it, since only the
  // checked button of a group is reached with TAB (a radio button that gets the
  // focus from the keyboard checks itself).
  static void SetChecked(HWND radio, bool checked);
  static bool IsChecked(HWND radio);
  static std::string Text(HWND control);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  HWND Add(const char* className, const std::string& text, DWORD style, int left, int top,
           int width, int height, int id);
  void ShowException(const std::string& message);

  TMessageBoxPort& Given_;
  TPlatformMessageBox OwnBoxes_;
  HWND Handle_ = nullptr;
  TCommandHandler Command_;
  int ModalResult_ = 0;
};
