#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Drives the windows of another process from outside, the way a person at the
// screen would reach them: top-level windows found by class and caption, menu
// commands, the buttons of message boxes and dialogs, and what controls show.
// Everything goes through window messages; queries use SendMessageTimeout, so
// a program that hangs makes a query fail instead of holding the caller, and
// anything that may open a modal window (a menu command, a button) is posted.
class TWindowDriver {
 public:
  // How long a query may wait for the other program's answer.
  static constexpr int kAnswerMs = 5000;

  explicit TWindowDriver(DWORD processId) : ProcessId_(processId) {}

  // The process's top-level windows, visible or not.
  std::vector<HWND> TopWindows() const;
  // The first top-level window of the process with that class and caption;
  // an empty caption matches any. Null when there is none.
  HWND Find(const std::string& windowClass, const std::string& caption) const;
  // Waits for a visible one; null after timeoutMs.
  HWND WaitFor(const std::string& windowClass, const std::string& caption, int timeoutMs) const;
  // Waits until no window of that class and caption is visible.
  bool WaitGone(const std::string& windowClass, const std::string& caption, int timeoutMs) const;

  // A modal message box of the program: class "#32770", the application title
  // as caption.
  HWND FindMessageBox() const;
  HWND WaitForMessageBox(int timeoutMs) const;
  // The text of a message box: its static control with the message.
  static std::string MessageBoxText(HWND box);
  // Presses OK in a message box or a dialog.
  static bool PressOk(HWND box);

  // A command of a window's menu, as a click on the item sends it. Posted:
  // the command may open a modal window.
  static bool MenuCommand(HWND window, int id);
  // MF_GRAYED / MF_DISABLED / MF_CHECKED bits of a menu item, read through the
  // window's menu; -1 when the menu cannot be read from outside (Wine keeps a
  // menu inside the process that made it: GetMenuState on another process's
  // menu fails there).
  static int MenuState(HWND window, int id);

  // A button of a dialog clicked: the notification its parent gets. Posted.
  static bool Click(HWND dialog, int id);

  // Controls.
  static HWND Control(HWND parent, int id);
  static std::string Text(HWND window);
  static bool SetText(HWND window, const std::string& text);
  static bool Checked(HWND button);
  static bool Visible(HWND window);
  static bool Enabled(HWND window);
  // Combo box: the selected entry (-1 none), the number of list entries, the
  // length of one and the index of the entry with a given text (-1 none).
  // The entries' texts themselves are not read: under Wine, CB_GETLBTEXT sent
  // to another process faults in the sender.
  static int ComboSelection(HWND combo);
  static int ComboCount(HWND combo);
  static int ComboItemLength(HWND combo, int index);
  static int ComboFind(HWND combo, const std::string& text);

  // Milliseconds the window's thread took to answer a message that does
  // nothing; -1 when it did not answer within timeoutMs.
  static double RoundTripMs(HWND window, int timeoutMs);

  static std::string ClassOf(HWND window);
  static std::string CaptionOf(HWND window);

 private:
  DWORD ProcessId_;
};
