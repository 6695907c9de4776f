#include "bench/support/BenchProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tools/common/RuleTriggers.h"

namespace fs = std::filesystem;

std::vector<std::string> TriggerCountCommand(const std::string& program, const std::string& file) {
  std::vector<std::string> command = {program, "-c", "-F"};
  for (const char* trigger : kRuleTriggers) command.insert(command.end(), {"-e", trigger});
  command.push_back(file);
  return command;
}

namespace {

// In the child after fork: the output, the folder and the locale, then exec.
[[noreturn]] void ExecChild(const std::vector<std::string>& argv, const std::string& folder,
                            int out) {
  int null = open("/dev/null", O_RDWR);
  dup2(null, 0);
  dup2(out >= 0 ? out : null, 1);
  if (out < 0) dup2(null, 2);
  if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
  setenv("LC_ALL", "C", 1);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

}  // namespace

TBenchRun SpawnTimed(const std::vector<std::string>& argv, const std::string& folder) {
  int out[2];
  if (pipe(out) != 0) std::exit(1);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    close(out[0]);
    ExecChild(argv, folder, out[1]);
  }
  close(out[1]);
  TBenchRun run;
  char buffer[4096];
  ssize_t n;
  while ((n = read(out[0], buffer, sizeof buffer)) > 0)
    run.Output.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  struct rusage usage;
  wait4(pid, &status, 0, &usage);
  run.Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.Cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.MaxRssKiB = usage.ru_maxrss;
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
    std::fprintf(stderr, "%s failed\n", argv[0].c_str());
    std::exit(1);
  }
  while (!run.Output.empty() && run.Output.back() == '\n') run.Output.pop_back();
  return run;
}

TBenchChild::TBenchChild(const std::vector<std::string>& argv, const std::string& folder,
                         bool stdoutToPipe) {
  int out[2] = {-1, -1};
  if (stdoutToPipe && pipe(out) != 0) std::exit(1);
  Pid_ = fork();
  if (Pid_ == 0) {
    if (out[0] >= 0) close(out[0]);
    ExecChild(argv, folder, out[1]);
  }
  if (out[1] >= 0) close(out[1]);
  Out_ = out[0];
}

TBenchChild::~TBenchChild() {
  Kill();
}

bool TBenchChild::ReadLine(std::string& line, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    size_t end = Pending_.find('\n');
    if (end != std::string::npos) {
      line = Pending_.substr(0, end);
      Pending_.erase(0, end + 1);
      return true;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (Out_ < 0 || left.count() <= 0) return false;
    struct pollfd p = {Out_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[4096];
    ssize_t n = read(Out_, buffer, sizeof buffer);
    if (n <= 0) return false;
    Pending_.append(buffer, static_cast<size_t>(n));
  }
}

void TBenchChild::Kill() {
  if (Pid_ > 0) {
    kill(Pid_, SIGKILL);
    waitpid(Pid_, nullptr, 0);
    Pid_ = -1;
  }
  if (Out_ >= 0) close(Out_);
  Out_ = -1;
}

std::string SelfPath() {
  return fs::read_symlink("/proc/self/exe").string();
}

std::string ToolPath(const std::string& name) {
  fs::path tool = fs::path(SelfPath()).parent_path().parent_path() / "tools" / name;
  if (!fs::exists(tool)) {
    std::fprintf(stderr, "%s not found; build the tools first\n", tool.c_str());
    std::exit(1);
  }
  return tool.string();
}

std::string SourceRoot() {
  return fs::path(SelfPath()).parent_path().parent_path().parent_path().parent_path().string();
}

void WriteHistory(const std::string& folder, const std::string& name, const std::string& size,
                  int ruleShare) {
  std::vector<std::string> args = {ToolPath("gamelog"), "--file",  name,
                                   "--recreate",        "--bytes", size};
  if (ruleShare >= 0) {
    args.push_back("--rule-share");
    args.push_back(std::to_string(ruleShare));
  }
  SpawnTimed(args, folder);
}

void WarmCache(const std::string& path) {
  std::vector<char> buffer(1 << 20);
  int fd = open(path.c_str(), O_RDONLY);
  while (read(fd, buffer.data(), buffer.size()) > 0) {
  }
  close(fd);
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}
