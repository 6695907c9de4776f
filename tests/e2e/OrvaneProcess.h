#pragma once

#include <windows.h>

#include <string>

#include "e2e/driver/WindowDriver.h"

// The shipped program, dist/orvane.exe, started in a folder of its own
// (its working directory, where it looks for "./Brennak.ini" and writes
// "./response.txt"), with no arguments: the program has none. The destructor
// ends it with TerminateProcess if it still runs, so a scenario that fails
// half-way leaves nothing behind.
class TOrvaneProcess {
 public:
  explicit TOrvaneProcess(const std::string& workDir);
  ~TOrvaneProcess();
  TOrvaneProcess(const TOrvaneProcess&) = delete;
  TOrvaneProcess& operator=(const TOrvaneProcess&) = delete;

  DWORD Id() const { return Id_; }
  bool Running() const;
  // Waits for the program's end; false when it still runs after timeoutMs.
  bool WaitForExit(int timeoutMs);
  DWORD ExitCode() const;
  // Ends it at once; safe from any thread.
  void Kill();

  TWindowDriver& Driver() { return Driver_; }
  // The status window (class "TfmMain"); null until it is visible.
  HWND WaitForMainWindow(int timeoutMs);

  // Resident memory of the process and its peak, in bytes (the working set
  // as Windows reports it; Wine reads the Unix process's VmRSS and VmHWM).
  bool Memory(SIZE_T& resident, SIZE_T& peak) const;

 private:
  HANDLE Process_ = nullptr;
  DWORD Id_ = 0;
  TWindowDriver Driver_{0};
};

// The shipped program, as a Windows path.
std::string OrvaneProgramPath();
// A Unix path of the build tree as Wine shows it (drive Z:).
std::string WindowsPath(const std::string& unixPath);
