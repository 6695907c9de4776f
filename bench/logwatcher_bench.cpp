// The watcher's first pass over a long history, against grep looking for the
// same fourteen triggers in the same file, measured in the same run.
//
//   logwatcher_bench [--dir FOLDER] [--runs N] [--mib N] [--memory-mib A,B,...]
//
// Writes a history of --mib MiB (default 256) with tools/gamelog into a fresh
// folder, warms the page cache, then alternates: `LC_ALL=C grep -c -F` with the
// triggers, the watcher's pass (TTLog::Pass, the whole of it), and a plain
// line-by-line reading (ReadLogLine and every rule on every line) for scale.
// Each runs in a child process; the best wall time and the best CPU time of
// --runs runs are shown, the CPU time because the machine may be shared.
// Then the pass's peak memory (the child's maximum resident set) over histories
// of the --memory-mib sizes (default 64 and 1024).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "monitor/LineRules.h"
#include "monitor/LogReader.h"
#include "monitor/LogWatcher.h"

namespace fs = std::filesystem;

namespace {

const char* const kTriggers[] = {"Server: SYNC: 2way:",        "Server: Singleton player reset.",
                                 "created, running...",        "chat: Changing realism to",
                                 "chat: Changing track",       "chat: Changing race_type",
                                 "chat: Changing ai_strength", "chat: Changing ai car count",
                                 "chat: Changing damage_on",   "chat: Changing is_reversed",
                                 "Server: User Connected:",    "Server: User",
                                 "Server: Disconnecting",      "latency for"};

struct TRun {
  double Wall = 0;  // seconds
  double Cpu = 0;   // user + system seconds of the child
  long MaxRssKiB = 0;
  std::string Output;
};

// Runs argv in a child with LC_ALL=C; captures its standard output.
TRun Spawn(const std::vector<std::string>& argv) {
  int out[2];
  if (pipe(out) != 0) std::exit(1);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    setenv("LC_ALL", "C", 1);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  TRun run;
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

// Ports that connect at once and take every line.
struct TQuietChat : TWatcherChatPort {
  bool IsConnected() override { return true; }
  void SetTarget(const std::string&, int) override {}
  void OpenConnection() override {}
  void SendLine(const std::string& line) override { Sent += line + "\n"; }
  void CloseConnection() override {}
  void StartReceiver() override {}
  std::string Sent;
};
struct TQuietWindow : TWatcherWindowPort {
  void ShowChatState(int) override {}
  void SetCaption(const std::string&) override {}
  void ShowModalMessage(const std::string&) override {}
  void BoardChanged() override {}
};

TTrackList Tracks() {
  return {"Torvane",     "Gull Point",  "Ambermoor", "Dusk Plateau",
          "Fern Hollow", "Tower Heath", "Caddock",   "Ostvik"};
}

// In the child: the watcher's first pass over path.
int ChildPass(const std::string& path) {
  TSession session;
  session.LogPath = path;
  session.TrackNames = Tracks();
  TRaceBoard board;
  TQuietChat chat;
  TQuietWindow window;
  {
    TTLog watcher(session, board, chat, window);
    watcher.Pass();
  }
  std::printf("%lld bytes; %s", static_cast<long long>(session.ReadOffset), chat.Sent.c_str());
  return 0;
}

// In the child: ReadLogLine and every rule on every line, for scale.
int ChildPlain(const std::string& path) {
  TSession session;
  session.TrackNames = Tracks();
  TRaceBoard board;
  TLineRules rules(board, session);
  TSharedLogFile file;
  file.Open(path);
  TLogReader reader(file);
  std::string line;
  int64_t offset = 0;
  while (int64_t n = reader.ReadLogLine(line)) {
    offset += n;
    rules.Apply(line);
  }
  std::printf("%lld bytes", static_cast<long long>(offset));
  return 0;
}

std::string SelfPath() {
  return fs::read_symlink("/proc/self/exe").string();
}

std::string GameLogPath() {
  fs::path tools = fs::path(SelfPath()).parent_path().parent_path() / "tools" / "gamelog";
  if (!fs::exists(tools)) {
    std::fprintf(stderr, "gamelog not found at %s; build the tools first\n", tools.c_str());
    std::exit(1);
  }
  return tools.string();
}

void WriteHistory(const fs::path& dir, const std::string& name, long mib) {
  fs::path previous = fs::current_path();
  fs::current_path(dir);
  Spawn({GameLogPath(), "--file", name, "--recreate", "--bytes", std::to_string(mib) + "M"});
  fs::current_path(previous);
}

void WarmCache(const fs::path& file) {
  std::vector<char> buffer(1 << 20);
  int fd = open(file.c_str(), O_RDONLY);
  while (read(fd, buffer.data(), buffer.size()) > 0) {
  }
  close(fd);
}

double Mb(double bytes) {
  return bytes / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--child-pass") == 0) return ChildPass(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--child-plain") == 0) return ChildPlain(argv[2]);

  std::string base = fs::temp_directory_path().string();
  int runs = 5;
  long mib = 256;
  std::vector<long> memoryMib = {64, 1024};
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--dir")
      base = argv[i + 1];
    else if (option == "--runs")
      runs = std::atoi(argv[i + 1]);
    else if (option == "--mib")
      mib = std::atol(argv[i + 1]);
    else if (option == "--memory-mib") {
      memoryMib.clear();
      for (char* p = std::strtok(argv[i + 1], ","); p; p = std::strtok(nullptr, ","))
        memoryMib.push_back(std::atol(p));
    } else {
      std::fprintf(stderr, "unknown option %s\n", option.c_str());
      return 2;
    }
  }
  fs::path dir = fs::path(base) / ("orvane-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::path triggers = dir / "triggers.txt";
  {
    std::FILE* f = std::fopen(triggers.c_str(), "w");
    for (const char* t : kTriggers) std::fprintf(f, "%s\n", t);
    std::fclose(f);
  }

  std::printf("history: %ld MiB written by gamelog\n", mib);
  WriteHistory(dir, "history.log", mib);
  fs::path log = dir / "history.log";
  double bytes = static_cast<double>(fs::file_size(log));
  WarmCache(log);

  // The best wall time and the best CPU time of each, over the runs.
  TRun grep, pass, plain;
  grep.Wall = pass.Wall = plain.Wall = 1e9;
  grep.Cpu = pass.Cpu = plain.Cpu = 1e9;
  auto keepBest = [](TRun& best, const TRun& run) {
    best.Wall = std::min(best.Wall, run.Wall);
    best.Cpu = std::min(best.Cpu, run.Cpu);
    best.MaxRssKiB = std::max(best.MaxRssKiB, run.MaxRssKiB);
    best.Output = run.Output;
  };
  for (int r = 0; r < runs; ++r) {
    keepBest(grep, Spawn({"grep", "-c", "-F", "-f", triggers.string(), log.string()}));
    keepBest(pass, Spawn({SelfPath(), "--child-pass", log.string()}));
    keepBest(plain, Spawn({SelfPath(), "--child-plain", log.string()}));
  }
  std::printf("grep -c -F (14 triggers): %8.0f MB/s wall, %8.0f MB/s cpu  (%s matching lines)\n",
              Mb(bytes) / grep.Wall, Mb(bytes) / grep.Cpu, grep.Output.c_str());
  std::printf("watcher first pass:       %8.0f MB/s wall, %8.0f MB/s cpu  (%s)\n",
              Mb(bytes) / pass.Wall, Mb(bytes) / pass.Cpu,
              pass.Output.substr(0, pass.Output.find('\n')).c_str());
  std::printf("plain line-by-line:       %8.0f MB/s wall, %8.0f MB/s cpu  (%s)\n",
              Mb(bytes) / plain.Wall, Mb(bytes) / plain.Cpu, plain.Output.c_str());
  std::printf("ratio watcher / grep:     %8.2f wall, %8.2f cpu\n", grep.Wall / pass.Wall,
              grep.Cpu / pass.Cpu);
  std::printf("ratio plain / grep:       %8.2f wall, %8.2f cpu\n", grep.Wall / plain.Wall,
              grep.Cpu / plain.Cpu);
  std::printf("announced after the pass:\n%s\n",
              pass.Output.substr(pass.Output.find('\n') + 1).c_str());
  fs::remove(log);

  for (long size : memoryMib) {
    WriteHistory(dir, "memory.log", size);
    WarmCache(dir / "memory.log");
    TRun p = Spawn({SelfPath(), "--child-pass", (dir / "memory.log").string()});
    std::printf("peak memory of the first pass over %5ld MiB: %6.1f MiB (%s)\n", size,
                static_cast<double>(p.MaxRssKiB) / 1024.0,
                p.Output.substr(0, p.Output.find('\n')).c_str());
    fs::remove(dir / "memory.log");
  }
  fs::remove_all(dir);
  return 0;
}
