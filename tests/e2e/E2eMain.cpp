// The end-to-end scenarios' entry. The runner puts itself into a job that
// ends every process in it when the runner's handle goes: should the runner
// itself be killed (a time-out of the test driver), the program and the tools
// it started do not outlive it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "e2e/OrvaneProcess.h"

namespace {
HANDLE KeepChildrenWithTheRunner() {
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  if (!job) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
      !AssignProcessToJobObject(job, GetCurrentProcess())) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

// "PE32" or "PE32+" from the optional header's magic, empty when the file is
// no Windows executable.
std::string ExecutableKind(const std::string& bytes) {
  if (bytes.size() < 64 || bytes.compare(0, 2, "MZ") != 0) return "";
  uint32_t header = 0;
  std::memcpy(&header, bytes.data() + 60, sizeof header);
  if (header > bytes.size() - 26 || bytes.compare(header, 4, std::string("PE\0\0", 4)) != 0)
    return "";
  uint16_t magic = 0;
  std::memcpy(&magic, bytes.data() + header + 24, sizeof magic);
  return magic == 0x20b ? "PE32+" : magic == 0x10b ? "PE32" : "";
}
}  // namespace

int main(int argc, char** argv) {
  // A fault in the runner ends it at once instead of holding it in Wine's
  // debugger until the test driver's time-out.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  HANDLE job = KeepChildrenWithTheRunner();
  ::testing::InitGoogleTest(&argc, argv);
  // Every scenario starts this one file: the program as it ships.
  std::ifstream file(ORVANE_PROGRAM, std::ios::binary);
  std::string program((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::string kind = ExecutableKind(program);
  std::printf("[ PROGRAM  ] %s (%s, %zu bytes)\n", OrvaneProgramPath().c_str(),
              kind.empty() ? "missing or not a Windows program" : kind.c_str(), program.size());
  if (kind.empty()) return 1;
  int result = RUN_ALL_TESTS();
  // The scenarios have ended what they started. Closing a kill-on-close job
  // would end the runner too, and with exit code 0: the failures would be
  // lost. The job goes with the process.
  (void)job;
  return result;
}
