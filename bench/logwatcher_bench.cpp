// The watcher's first pass over a long history, against grep and ripgrep
// looking for the same fourteen triggers in the same file, measured in the same run.
//
//   logwatcher_bench [--dir FOLDER] [--runs N] [--mib N] [--rule-share P]
//                    [--memory-mib A,B,...]
//
// Writes a history of --mib MiB (default 256) with tools/gamelog into a fresh
// folder, --rule-share percent of its lines rule lines (default 30; -1: the
// tool's own mix), warms the page cache, then alternates: `LC_ALL=C grep -c -F`
// and `rg -c -F` with the triggers, the watcher's pass (TTLog::Pass, the whole
// of it), and a plain line-by-line reading (ReadLogLine and every rule on every
// line) for scale.
// Each runs in a child process; the best wall time and the best CPU time of
// --runs runs are shown, the CPU time because the machine may be shared.
// Then the pass's peak memory (the child's maximum resident set) over histories
// of the --memory-mib sizes (default 64 and 1024).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/support/BenchProcess.h"
#include "monitor/LineRules.h"
#include "monitor/LogReader.h"
#include "monitor/LogWatcher.h"

namespace fs = std::filesystem;

namespace {

// Ports that connect at once and take every line.
struct TQuietChat : TWatcherChatPort {
  bool IsConnected() override { return true; }
  void SetTarget(const std::string&, int) override {}
  void OpenConnection() override {}
  void SendLine(const std::string& line) override { Sent += line + "\n"; }
  void CloseConnection() override {}
  void StartReceiver() override {}
  void SignOff() override {}
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

double Mb(double bytes) {
  return bytes / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--child-pass") == 0) return ChildPass(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--child-plain") == 0) return ChildPlain(argv[2]);

  std::string base = fs::temp_directory_path().string();
  int runs = 5, ruleShare = 30;
  long mib = 256;
  std::vector<long> memoryMib = {64, 1024};
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--dir")
      base = argv[i + 1];
    else if (option == "--runs")
      runs = std::max(1, std::atoi(argv[i + 1]));
    else if (option == "--mib")
      mib = std::atol(argv[i + 1]);
    else if (option == "--rule-share")
      ruleShare = std::atoi(argv[i + 1]);
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

  if (ruleShare >= 0)
    std::printf("history: %ld MiB written by gamelog, %d %% rule lines\n", mib, ruleShare);
  else
    std::printf("history: %ld MiB written by gamelog, its own mix of lines\n", mib);
  std::printf("load before: %s\n", LoadAverage().c_str());
  WriteHistory(dir.string(), "history.log", std::to_string(mib) + "M", ruleShare);
  std::string log = (dir / "history.log").string();
  double bytes = static_cast<double>(fs::file_size(log));
  WarmCache(log);
  std::vector<std::string> grepArgs = TriggerCountCommand("grep", log);
  std::vector<std::string> rgArgs = TriggerCountCommand("rg", log);

  // The best wall time and the best CPU time of each, over the runs.
  TBenchRun grep, rg, pass, plain;
  grep.Wall = rg.Wall = pass.Wall = plain.Wall = 1e9;
  grep.Cpu = rg.Cpu = pass.Cpu = plain.Cpu = 1e9;
  auto keepBest = [](TBenchRun& best, const TBenchRun& run) {
    best.Wall = std::min(best.Wall, run.Wall);
    best.Cpu = std::min(best.Cpu, run.Cpu);
    best.MaxRssKiB = std::max(best.MaxRssKiB, run.MaxRssKiB);
    best.Output = run.Output;
  };
  for (int r = 0; r < runs; ++r) {
    keepBest(grep, SpawnTimed(grepArgs));
    keepBest(rg, SpawnTimed(rgArgs));
    keepBest(pass, SpawnTimed({SelfPath(), "--child-pass", log}));
    keepBest(plain, SpawnTimed({SelfPath(), "--child-plain", log}));
  }
  std::printf("grep -c -F (14 triggers): %8.0f MB/s wall, %8.0f MB/s cpu  (%s matching lines)\n",
              Mb(bytes) / grep.Wall, Mb(bytes) / grep.Cpu, grep.Output.c_str());
  std::printf("rg -c -F (14 triggers):   %8.0f MB/s wall, %8.0f MB/s cpu  (%s matching lines)\n",
              Mb(bytes) / rg.Wall, Mb(bytes) / rg.Cpu, rg.Output.c_str());
  std::printf("watcher first pass:       %8.0f MB/s wall, %8.0f MB/s cpu  (%s)\n",
              Mb(bytes) / pass.Wall, Mb(bytes) / pass.Cpu,
              pass.Output.substr(0, pass.Output.find('\n')).c_str());
  std::printf("plain line-by-line:       %8.0f MB/s wall, %8.0f MB/s cpu  (%s)\n",
              Mb(bytes) / plain.Wall, Mb(bytes) / plain.Cpu, plain.Output.c_str());
  std::printf("ratio watcher / grep:     %8.2f wall, %8.2f cpu\n", grep.Wall / pass.Wall,
              grep.Cpu / pass.Cpu);
  std::printf("ratio watcher / rg:       %8.2f wall, %8.2f cpu\n", rg.Wall / pass.Wall,
              rg.Cpu / pass.Cpu);
  std::printf("ratio plain / grep:       %8.2f wall, %8.2f cpu\n", grep.Wall / plain.Wall,
              grep.Cpu / plain.Cpu);
  std::printf("announced after the pass:\n%s\n",
              pass.Output.substr(pass.Output.find('\n') + 1).c_str());
  std::printf("load after: %s\n", LoadAverage().c_str());
  fs::remove(log);

  for (long size : memoryMib) {
    std::string memoryLog = (dir / "memory.log").string();
    WriteHistory(dir.string(), "memory.log", std::to_string(size) + "M", ruleShare);
    WarmCache(memoryLog);
    TBenchRun p = SpawnTimed({SelfPath(), "--child-pass", memoryLog});
    std::printf("peak memory of the first pass over %5ld MiB: %6.1f MiB (%s)\n", size,
                static_cast<double>(p.MaxRssKiB) / 1024.0,
                p.Output.substr(0, p.Output.find('\n')).c_str());
    fs::remove(memoryLog);
  }
  fs::remove_all(dir);
  return 0;
}
