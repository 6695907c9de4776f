#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A child program for tests: started with arguments in a given working
// directory, its standard output read line by line on a reader thread, its
// standard input open for commands. The destructor kills it and waits, so a
// failing test never leaves a process behind. Standard error is the test's own.
class TProcess {
 public:
  // Throws std::runtime_error when the program cannot be started. An empty
  // workDir keeps the test's working directory.
  TProcess(const std::string& program, const std::vector<std::string>& args,
           const std::string& workDir = "");
  ~TProcess();
  TProcess(const TProcess&) = delete;
  TProcess& operator=(const TProcess&) = delete;

  // The next output line, without its line end. False when no line came within
  // timeoutMs or the output has ended.
  bool ReadLine(std::string& line, int timeoutMs);
  // Reads lines until one contains text (that line goes to *line). False when
  // none did within timeoutMs.
  bool WaitForLine(const std::string& text, int timeoutMs, std::string* line = nullptr);
  // Every output line so far, read or not.
  std::vector<std::string> Output() const;

  // Writes bytes to the program's standard input; false when it is gone.
  bool Write(const std::string& bytes);
  void CloseInput();

  // Ends the program at once (no-op when it has ended).
  void Kill();
  // Waits for the end; the exit code (a killed program gives a non-zero code).
  int Wait();

 private:
  void Spawn(const std::string& program, const std::vector<std::string>& args,
             const std::string& workDir);
  void ReadLoop();
  // Reads from the output pipe: > 0 bytes, 0 at its end.
  int ReadOutput(char* buffer, int size);
  void CloseOutput();

  intptr_t Process_ = -1;  // pid, or the process HANDLE under Windows
  intptr_t Input_ = -1;    // our end of the child's standard input
  intptr_t Output_ = -1;   // our end of the child's standard output
  bool Waited_ = false;
  int ExitCode_ = -1;

  mutable std::mutex Mutex_;
  std::condition_variable Changed_;
  std::deque<std::string> Unread_;
  std::vector<std::string> All_;
  bool Ended_ = false;
  std::thread Reader_;
};

// Full path of a tool built beside the tests (tools/<name>, name.exe under
// Windows).
std::string ToolPath(const std::string& name);
