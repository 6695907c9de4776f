// The shipped program's first pass over a long history, timed from outside
// under Wine, against grep and ripgrep looking for the fourteen triggers in the
// same file, in the same run.
//
//   firstpass_bench [--exe PATH] [--dir FOLDER] [--runs N] [--mib N]
//                   [--rule-share P] [--memory-mib N]
//
// Run it through scripts/bench, which builds what it needs and gives it a Wine
// prefix and a display. It writes a history of --mib MiB (default 256) with
// tools/gamelog, P percent of whose lines are rule lines (default 30), and a
// log of a few lines, each in a folder of its own with a Brennak.ini that points
// the program at tools/chatserver on loopback. A run starts the program (--exe,
// default dist/orvane.exe) in one of the folders and ends when the chat server
// prints its first STATUS line; the first pass is the long history's time less
// the tiny log's, which holds Wine's start, the window and the sign-on. Each
// round also runs `grep -c -F` and `rg -c -F` with the triggers (output to a
// pipe) and the native build's pass (logwatcher_bench --child-pass) on the same
// file; the best of --runs rounds counts, and the median is shown beside it.
// Last, the Wine process's peak resident memory (VmHWM, read when its first
// STATUS line arrives) over a --memory-mib history (default 1024; 0: skip)
// against the tiny log's.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/support/BenchProcess.h"

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

namespace {

struct TShipped {
  double Seconds = 0;  // program start to the first STATUS line
  long PeakKiB = 0;    // VmHWM of the Wine process at that moment
  std::string Status;
};

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "firstpass_bench: %s\n", why.c_str());
  std::exit(1);
}

// The status payload of a chat envelope, or empty text when the line has none.
std::string StatusOf(const std::string& line) {
  size_t at = line.find("STATUS: ");
  if (at == std::string::npos) return "";
  size_t end = line.find("\"/>", at);
  return line.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

long PeakResidentKiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

void WriteSettings(const fs::path& folder, int port) {
  std::ofstream ini(folder / "Brennak.ini", std::ios::binary);
  ini << "[FILE]\r\nLOG=strakon.log\r\n"
      << "[DEFAULT]\r\nREALISM=ARCADE\r\nRECELENGTH=SHORT\r\nAISTRENGTH=EASY\r\nAINUMBER=0\r\n"
      << "DAMAGE=N\r\nREVERSE=N\r\nTRK=1\r\nREFRESHTIME=5000\r\nPORT=" << port << "\r\n"
      << "[SERVER]\r\nIPADDRCHATSERVER=127.0.0.1\r\nMYIP=127.0.0.1\r\n"
      << "[CAR]\r\nCAR01=Vanta GT\r\n";
}

// One start of the program in folder, with a chat server of its own.
TShipped RunShipped(const fs::path& folder, const std::string& wine, const std::string& exe) {
  TBenchChild chat({ToolPath("chatserver"), "--bind", "127.0.0.1", "--port", "0", "--print-port",
                    "--no-control"},
                   "", true);
  std::string line;
  int port = 0;
  while (port == 0 && chat.ReadLine(line, TClock::now() + std::chrono::seconds(10)))
    if (line.rfind("PORT ", 0) == 0) port = std::atoi(line.c_str() + 5);
  if (port == 0) Fail("the chat server did not start");
  WriteSettings(folder, port);
  auto start = TClock::now();
  TBenchChild program({wine, exe}, folder.string(), false);
  TShipped run;
  while (chat.ReadLine(line, start + std::chrono::seconds(900))) {
    run.Status = StatusOf(line);
    if (run.Status.empty()) continue;
    run.Seconds = std::chrono::duration<double>(TClock::now() - start).count();
    run.PeakKiB = PeakResidentKiB(program.Pid());
    return run;
  }
  Fail("no STATUS line from " + exe + " in " + folder.string());
}

struct TSeries {
  std::vector<double> Seconds;
  double Best() const { return *std::min_element(Seconds.begin(), Seconds.end()); }
  double Median() const {
    std::vector<double> s = Seconds;
    std::sort(s.begin(), s.end());
    return s[s.size() / 2];
  }
};

void PrintRow(const char* what, double best, double median, double bytes, const std::string& note) {
  std::printf("%-34s %8.3f s %8.3f s %8.0f MB/s  %s\n", what, best, median, bytes / 1e6 / best,
              note.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::string exe = (fs::path(SourceRoot()) / "dist" / "orvane.exe").string();
  std::string base = fs::temp_directory_path().string();
  int runs = 15, ruleShare = 30;
  long mib = 256, memoryMib = 1024;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i], value = argv[i + 1];
    if (option == "--exe")
      exe = fs::absolute(value).string();
    else if (option == "--dir")
      base = value;
    else if (option == "--runs")
      runs = std::max(1, std::atoi(value.c_str()));
    else if (option == "--mib")
      mib = std::atol(value.c_str());
    else if (option == "--rule-share")
      ruleShare = std::atoi(value.c_str());
    else if (option == "--memory-mib")
      memoryMib = std::atol(value.c_str());
    else
      Fail("unknown option " + option);
  }
  if (!fs::exists(exe)) Fail(exe + " not found; build it with the preset windows");
  const char* wineVariable = std::getenv("WINE");
  std::string wine = wineVariable && *wineVariable ? wineVariable : "/usr/lib/wine/wine64";
  std::string nativePass = (fs::path(SelfPath()).parent_path() / "logwatcher_bench").string();

  fs::path dir = fs::path(base) / ("orvane-firstpass-" + std::to_string(getpid()));
  fs::path longDir = dir / "long", tinyDir = dir / "tiny";
  fs::create_directories(longDir);
  fs::create_directories(tinyDir);
  std::string size = std::to_string(mib) + "M";
  WriteHistory(longDir.string(), "strakon.log", size, ruleShare);
  WriteHistory(tinyDir.string(), "strakon.log", "1K", ruleShare);
  std::string log = (longDir / "strakon.log").string();
  double bytes = static_cast<double>(fs::file_size(log));
  WarmCache(log);

  std::vector<std::string> grep = TriggerCountCommand("grep", log);
  std::vector<std::string> rg = TriggerCountCommand("rg", log);

  std::printf("program: %s under %s\n", exe.c_str(), wine.c_str());
  std::printf("history: %.0f bytes (gamelog --bytes %s --rule-share %d), tiny log %ju bytes\n",
              bytes, size.c_str(), ruleShare,
              static_cast<uintmax_t>(fs::file_size(tinyDir / "strakon.log")));
  std::printf("load before: %s\n", LoadAverage().c_str());
  std::fflush(stdout);

  RunShipped(tinyDir, wine, exe);  // Wine's first start loads its libraries
  TSeries grepTimes, rgTimes, nativeTimes, tinyTimes, longTimes;
  std::string grepCount, rgCount, nativeOutput;
  TShipped tiny, shipped;
  long tinyPeak = 0;
  for (int r = 0; r < runs; ++r) {
    TBenchRun run = SpawnTimed(grep);
    grepTimes.Seconds.push_back(run.Wall);
    grepCount = run.Output;
    run = SpawnTimed(rg);
    rgTimes.Seconds.push_back(run.Wall);
    rgCount = run.Output;
    run = SpawnTimed({nativePass, "--child-pass", log});
    nativeTimes.Seconds.push_back(run.Wall);
    nativeOutput = run.Output;
    tiny = RunShipped(tinyDir, wine, exe);
    tinyTimes.Seconds.push_back(tiny.Seconds);
    tinyPeak = tinyPeak == 0 ? tiny.PeakKiB : std::min(tinyPeak, tiny.PeakKiB);
    shipped = RunShipped(longDir, wine, exe);
    longTimes.Seconds.push_back(shipped.Seconds);
  }

  // The first pass is the difference of the bests; its median, of the medians.
  double passBest = longTimes.Best() - tinyTimes.Best();
  double passMedian = longTimes.Median() - tinyTimes.Median();
  std::printf("%-34s %10s %10s\n", "", "best", "median");
  PrintRow("grep -c -F (14 triggers)", grepTimes.Best(), grepTimes.Median(), bytes,
           grepCount + " matching lines");
  PrintRow("rg -c -F (14 triggers)", rgTimes.Best(), rgTimes.Median(), bytes,
           rgCount + " matching lines");
  std::printf("%-34s %8.3f s %8.3f s\n", "shipped, start to STATUS, tiny log", tinyTimes.Best(),
              tinyTimes.Median());
  std::printf("%-34s %8.3f s %8.3f s\n", "shipped, start to STATUS, history", longTimes.Best(),
              longTimes.Median());
  PrintRow("shipped first pass (difference)", passBest, passMedian, bytes, "under Wine");
  PrintRow("native first pass (-O2, Linux)", nativeTimes.Best(), nativeTimes.Median(), bytes,
           "logwatcher_bench --child-pass");
  std::printf("ratio shipped / grep: %.2f   shipped / rg: %.2f   native / grep: %.2f\n",
              grepTimes.Best() / passBest, rgTimes.Best() / passBest,
              grepTimes.Best() / nativeTimes.Best());
  // The shipped pass is a difference of two program starts: a lucky best start
  // with the tiny log moves the best ratio a long way, the medians much less.
  std::printf("of the medians:       %.2f                %.2f                 %.2f\n",
              grepTimes.Median() / passMedian, rgTimes.Median() / passMedian,
              grepTimes.Median() / nativeTimes.Median());
  std::string nativeStatus = StatusOf(nativeOutput);
  std::printf("status line: %s (native pass: %s)\n", shipped.Status.c_str(),
              nativeStatus == shipped.Status ? "the same" : nativeStatus.c_str());
  std::printf("load after: %s\n", LoadAverage().c_str());
  fs::remove(log);

  if (memoryMib > 0) {
    fs::path memoryDir = dir / "memory";
    fs::create_directories(memoryDir);
    WriteHistory(memoryDir.string(), "strakon.log", std::to_string(memoryMib) + "M", ruleShare);
    WarmCache((memoryDir / "strakon.log").string());
    TShipped big = RunShipped(memoryDir, wine, exe);
    std::printf(
        "peak resident memory of the Wine process: tiny log %.1f MiB, %ld MiB history %.1f MiB "
        "(+%.1f MiB)\n",
        tinyPeak / 1024.0, memoryMib, big.PeakKiB / 1024.0, (big.PeakKiB - tinyPeak) / 1024.0);
  }
  fs::remove_all(dir);
  return 0;
}
