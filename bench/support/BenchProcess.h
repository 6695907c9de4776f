#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

// What the benchmarks share: child processes timed from outside, the programs
// they run, and the history they read.

// program ("grep" or "rg") counting the lines of file that hold any of the
// fourteen triggers of the line rules, as fixed strings.
std::vector<std::string> TriggerCountCommand(const std::string& program, const std::string& file);

struct TBenchRun {
  double Wall = 0;  // seconds
  double Cpu = 0;   // user + system seconds of the child
  long MaxRssKiB = 0;
  std::string Output;
};

// Runs argv in a child with LC_ALL=C, its standard output to a pipe that is
// read to the end (GNU grep stops at the first match when its output is
// /dev/null); optionally in folder. Exits the benchmark when the child fails
// (an exit code above 1: grep's 1 only says nothing matched).
TBenchRun SpawnTimed(const std::vector<std::string>& argv, const std::string& folder = "");

// A child left running: its standard output can be read line by line, with a
// deadline, and it can be ended.
class TBenchChild {
 public:
  // stdoutToPipe false: the child's output goes to /dev/null.
  TBenchChild(const std::vector<std::string>& argv, const std::string& folder, bool stdoutToPipe);
  ~TBenchChild();
  TBenchChild(const TBenchChild&) = delete;
  TBenchChild& operator=(const TBenchChild&) = delete;

  pid_t Pid() const { return Pid_; }
  // The next line of its output, false at its end or when the deadline passed.
  bool ReadLine(std::string& line, std::chrono::steady_clock::time_point deadline);
  // Ends it (SIGKILL) and waits for it.
  void Kill();

 private:
  pid_t Pid_ = -1;
  int Out_ = -1;
  std::string Pending_;
};

// The benchmark executable itself, and the folders of the build around it.
std::string SelfPath();
// build/<preset>/tools/<name>; exits when it has not been built.
std::string ToolPath(const std::string& name);
// The source tree's root (the build folder's parent's parent).
std::string SourceRoot();

// Writes a history of size bytes (a gamelog --bytes size such as "256M") into
// folder/name with tools/gamelog; ruleShare < 0: gamelog's own mix.
void WriteHistory(const std::string& folder, const std::string& name, const std::string& size,
                  int ruleShare);
// Reads the file once so that every measurement finds it in the page cache.
void WarmCache(const std::string& path);
// The machine's load averages, as /proc/loadavg has them.
std::string LoadAverage();
