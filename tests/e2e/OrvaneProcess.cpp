#include "e2e/OrvaneProcess.h"

#include <psapi.h>

#include <chrono>
#include <stdexcept>
#include <thread>

std::string WindowsPath(const std::string& unixPath) {
  std::string path = unixPath;
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string OrvaneProgramPath() {
  return WindowsPath(ORVANE_PROGRAM);
}

TOrvaneProcess::TOrvaneProcess(const std::string& workDir) {
  std::string commandLine = "\"" + OrvaneProgramPath() + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      workDir.c_str(), &si, &pi))
    throw std::runtime_error("cannot start " + OrvaneProgramPath() + " (error " +
                             std::to_string(GetLastError()) + ")");
  CloseHandle(pi.hThread);
  Process_ = pi.hProcess;
  Id_ = pi.dwProcessId;
  Driver_ = TWindowDriver(Id_);
}

TOrvaneProcess::~TOrvaneProcess() {
  Kill();
  WaitForSingleObject(Process_, 30000);
  CloseHandle(Process_);
}

bool TOrvaneProcess::Running() const {
  return WaitForSingleObject(Process_, 0) == WAIT_TIMEOUT;
}

bool TOrvaneProcess::WaitForExit(int timeoutMs) {
  return WaitForSingleObject(Process_, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
}

DWORD TOrvaneProcess::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(Process_, &code);
  return code;
}

void TOrvaneProcess::Kill() {
  if (Running()) TerminateProcess(Process_, 9);
}

HWND TOrvaneProcess::WaitForMainWindow(int timeoutMs) {
  return Driver_.WaitFor("TfmMain", "", timeoutMs);
}

bool TOrvaneProcess::Memory(SIZE_T& resident, SIZE_T& peak) const {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(Process_, &counters, sizeof counters)) return false;
  resident = counters.WorkingSetSize;
  peak = counters.PeakWorkingSetSize;
  return resident != 0;
}
