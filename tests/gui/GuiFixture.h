#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/NotifyIcon.h"
#include "support/RecordingMessageBox.h"
#include "support/TempDir.h"

// Records what the window asks of the notification area instead of asking the
// shell, whose tray may not exist under Xvfb.
class TRecordingShellIcon : public TShellIconPort {
 public:
  struct TCall {
    DWORD Message;
    NOTIFYICONDATAA Data;
  };
  bool NotifyIcon(DWORD message, NOTIFYICONDATAA& data) override {
    Calls.push_back({message, data});
    return true;
  }
  std::vector<TCall> Calls;
};

// One status window in a fresh working directory, with recorders for its
// message boxes and its icon, and a message loop the test runs in steps.
class TGuiTest : public ::testing::Test {
 protected:
  static constexpr const char* kLogName = "game.log";
  static constexpr int kWait = 30000;

  void SetUp() override;
  void TearDown() override;

  // Brennak.ini: the log kLogName, the chat server on 127.0.0.1:port, a pass
  // every refreshMs; extra lines are added to [DEFAULT].
  void WriteSettings(int port, int refreshMs = 100, const std::string& extraDefault = "");
  // The game server's log; every line gets CR LF.
  void WriteLog(const std::vector<std::string>& lines);
  void AppendLog(const std::vector<std::string>& lines);

  // Creates the window (FormCreate runs) and shows it unless the start was refused.
  TfmMain& StartForm(TfmMainPorts ports = {});
  // Runs the message loop until done() holds; false after the time-out.
  bool RunUntil(const std::function<bool()>& done, int timeoutMs = kWait);
  // Lets the window work for a while.
  void RunFor(int ms);
  // "Exit": the loop ends, then the window is destroyed (FormDestroy).
  void ExitProgram();

  // A menu command or a control notification, as the user's click sends it.
  void Command(int id);
  void Click(HWND button);
  static std::string Text(HWND window);
  static bool Checked(HWND button);
  bool MenuEnabled(int id) const;
  std::vector<std::string> Shown() const { return Boxes.Shown(); }

  TTempDir Dir;
  std::unique_ptr<TWorkingDirectory> Cwd;
  TApplication App;
  TRecordingMessageBox Boxes;
  TRecordingShellIcon Shell;
  std::unique_ptr<TfmMain> Form;
};

// A log that names the server, seats two players, and changes every setting of
// the race; ends with the race running.
std::vector<std::string> RaceHistory();
