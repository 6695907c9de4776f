#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "e2e/OrvaneProcess.h"
#include "support/ChatServerProcess.h"
#include "support/Process.h"
#include "support/TempDir.h"

// One scenario: the real program in a fresh folder of its own, with the tools
// it meets in the field (tools/gamelog writing the game server's log,
// tools/chatserver and tools/directory on loopback), driven only from outside.
// Every process a scenario starts belongs to the fixture and ends with it; a
// watchdog ends them all when the scenario runs past its time budget, so every
// wait after that fails at once and the scenario fails instead of hanging.
class TE2eTest : public ::testing::Test {
 protected:
  static constexpr const char* kLogName = "strakon.log";
  static constexpr const char* kServerName = "Gull Point Racing";
  // Waits for something the program does within a few of its passes.
  static constexpr int kWait = 30000;

  explicit TE2eTest(int budgetSeconds = 240) : BudgetSeconds_(budgetSeconds) {}
  void SetUp() override;
  void TearDown() override;

  // --- the folder
  std::string File(const std::string& name) const { return Dir.File(name); }
  std::string ReadFile(const std::string& name) const;
  void WriteFile(const std::string& name, const std::string& bytes) const;
  void AppendLog(const std::vector<std::string>& lines) const;
  // Brennak.ini as an operator keeps it: the log kLogName, the chat server at
  // chatAddress:chatPort, the own address, a pass every refreshMs; extra
  // lines go to the end of [DEFAULT].
  static std::string Settings(const std::string& chatAddress, int chatPort,
                              const std::string& myIp = "127.0.0.1", int refreshMs = 200,
                              const std::string& extraDefault = "");
  void WriteSettings(int chatPort, int refreshMs = 200, const std::string& extraDefault = "");
  // "./response.txt" cut at CR LF; every line must end with CR LF.
  std::vector<std::string> ResponseLines() const;

  // --- the tools
  // Runs tools/gamelog in the folder and waits for its end (bounded).
  void RunGamelog(const std::vector<std::string>& args);
  // Starts it and leaves it running (a live game server).
  TProcess& StartGamelog(const std::vector<std::string>& args);
  // No args: a chat server that pings every 250 ms.
  TChatServerProcess& StartChatServer(const std::vector<std::string>& args = {}, int port = 0);
  // tools/directory on 127.0.0.1:port; false when it could not listen there
  // (a port just closed by the directory before may need a while).
  bool StartDirectory(const std::vector<std::string>& args, int port = 80);
  // Ends the directory started last.
  void StopDirectory();
  // Whether the directory's host name resolves to 127.0.0.1 for this runner
  // and the programs it starts (tests/e2e/run-e2e maps it; the name is only
  // looked up where the script says so).
  static bool DirectoryHostIsLoopback();

  // --- the program
  // Starts orvane.exe in the folder and waits for its status window, unless
  // the start is expected to end in a message instead.
  TOrvaneProcess& StartProgram(bool waitForWindow = true);
  // Waits for the status window to show (it shows once the start-up has run:
  // after the lookup's message, for instance).
  HWND WaitForMainWindow();
  TOrvaneProcess& Program() { return *Program_; }
  TWindowDriver& Driver() { return Program_->Driver(); }
  HWND Main() const { return Main_; }
  HWND MainControl(int id) const { return GetDlgItem(Main_, id); }
  // The status window's caption and the chat lamp.
  std::string Caption() const;
  bool RedLamp() const;
  bool GreenLamp() const;
  // The driver table as the window shows it: 8 rows of slot, name, address,
  // latency.
  std::vector<std::vector<std::string>> Grid() const;
  // Which item of a radio group is checked (-1 none, -2 more than one).
  int RadioIndex(int groupId, int items) const;
  // The status line as the window's view says it should read: the own
  // address given, the race state, track text, laps and realism from what the
  // controls show.
  std::string StatusFromWindow(const std::string& ownAddress = "127.0.0.1") const;
  // The drivers line from the window's table: the names of the rows in order.
  std::string DriversFromWindow() const;
  // A menu command of the status window, as the user's click sends it; fails
  // the scenario if the item is greyed (when the menu can be read).
  void Menu(int id);
  // "Exit": the program says goodbye and ends (bounded wait for its end).
  void ExitProgram();
  // Waits for a message box of the program, reads its text and presses OK.
  // Empty text when none came within timeoutMs.
  std::string TakeMessageBox(int timeoutMs = kWait);
  // No message box shows for ms milliseconds.
  bool NoMessageBoxFor(int ms);

  // --- the chat server's view
  // The lines it received, in order: from its nth client (1, 2... in the
  // order of connecting), or from all clients when client is 0.
  static std::vector<std::string> Received(TChatServerProcess& server, int client = 0);
  // The lines that start with start, in order.
  static std::vector<std::string> Starting(const std::vector<std::string>& lines,
                                           const std::string& start);
  // The lines less the pongs, which come in whenever a ping was answered.
  static std::vector<std::string> WithoutPongs(const std::vector<std::string>& lines);
  // The status and drivers lines the chat server received (room lines).
  static std::vector<std::string> Statuses(TChatServerProcess& server, int client = 0);
  static std::vector<std::string> DriversLines(TChatServerProcess& server, int client = 0);
  static size_t CountStarting(const std::vector<std::string>& lines, const std::string& start);
  static size_t CountContaining(const std::vector<std::string>& lines, const std::string& text);
  // Waits until at least count received lines contain text.
  bool WaitForReceived(TChatServerProcess& server, const std::string& text, size_t count = 1,
                       int timeoutMs = kWait);

  // Polls check until it holds; false after timeoutMs or when the budget is spent.
  bool WaitUntil(const std::function<bool()>& check, int timeoutMs = kWait);
  void Pause(int ms);
  bool BudgetSpent() const { return BudgetSpent_; }

  TTempDir Dir;

 private:
  void Watchdog();
  void KillEverything();

  int BudgetSeconds_;
  std::unique_ptr<TOrvaneProcess> Program_;
  HWND Main_ = nullptr;
  std::vector<std::unique_ptr<TProcess>> Processes_;
  std::vector<std::unique_ptr<TChatServerProcess>> ChatServers_;
  TProcess* Directory_ = nullptr;

  std::mutex Lock_;
  std::condition_variable Finished_;
  bool Done_ = false;
  std::atomic<bool> BudgetSpent_{false};
  std::thread Watchdog_;
};

// A scenario that needs the directory: skipped, and says why, where the
// runner could not map its host name to loopback.
class TDirectoryE2eTest : public TE2eTest {
 protected:
  void SetUp() override {
    TE2eTest::SetUp();
    if (!DirectoryHostIsLoopback())
      GTEST_SKIP() << "directory.orvane.net is not mapped to 127.0.0.1 here (tests/e2e/run-e2e "
                      "maps it when run as root); the program would ask the real directory";
  }
};

// The chat envelope around a room line, as the chat server prints it.
std::string RoomLineOf(const std::string& text);
// The start of such a line, up to and including text.
std::string RoomHead(const std::string& text);
// Cuts text at CR LF.
std::vector<std::string> SplitCrLf(const std::string& text);
