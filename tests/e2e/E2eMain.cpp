// The end-to-end scenarios' entry. The runner puts itself into a job that
// ends every process in it when the runner's handle goes: should the runner
// itself be killed (a time-out of the test driver), the program and the tools
// it started do not outlive it.
#include <windows.h>

#include <gtest/gtest.h>

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
}  // namespace

int main(int argc, char** argv) {
  // A fault in the runner ends it at once instead of holding it in Wine's
  // debugger until the test driver's time-out.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  HANDLE job = KeepChildrenWithTheRunner();
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  // The scenarios have ended what they started. Closing a kill-on-close job
  // would end the runner too, and with exit code 0: the failures would be
  // lost. The job goes with the process.
  (void)job;
  return result;
}
