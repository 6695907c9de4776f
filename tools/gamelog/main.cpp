// gamelog: writes the log of a make-believe Strakon dedicated server in the
// working directory, the way the game server writes its own, so that the
// controller can be tried, tested and measured without the game.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "tools/gamelog/GameServer.h"

namespace {

const char kHelp[] =
    "Usage: gamelog [options]\n"
    "\n"
    "Writes the log of a make-believe Strakon dedicated server into the working\n"
    "directory the way the game server writes its own: lines ending in CR LF,\n"
    "appended to the end of the file. The server starts with its name in quotes\n"
    "(\"... created, running...\"), players connect and leave with slot numbers and\n"
    "addresses, latencies are reported, realism, track, race type, AI, damage and\n"
    "reverse change between races, races start and end, and unrelated chatter\n"
    "fills the gaps.\n"
    "\n"
    "  --file NAME     the log file (default: strakon.log)\n"
    "  --lines N       write N lines (default 1000; with --live and no limit: forever)\n"
    "  --bytes SIZE    write lines until SIZE bytes were added; SIZE may end in\n"
    "                  K, M or G (256M = 268435456)\n"
    "  --live RATE     write RATE lines per second, each flushed at once, instead of\n"
    "                  the whole history in one go\n"
    "  --seconds S     with --live: stop after S seconds\n"
    "  --truncate      empty the log first, as a restarting server that keeps its file\n"
    "  --recreate      delete the log and create it anew first, as a restarting server\n"
    "                  that replaces its file\n"
    "  --name TEXT     the server's name (default: Gull Point Racing)\n"
    "  --seed N        seed of the make-believe; the same seed writes the same log\n"
    "                  (default: 1)\n"
    "  --no-startup    leave out the start-up lines, which are otherwise written when\n"
    "                  the log is empty\n"
    "  --rule-share P  make P percent of the lines (0 to 100) lines that the controller\n"
    "                  acts on, every kind of them, with players' names made up from\n"
    "                  a larger pool (default: the mix of an evening on a real server,\n"
    "                  about a fifth)\n"
    "  --help          this text\n"
    "\n"
    "Examples:\n"
    "  gamelog --bytes 256M                 a long history, at once\n"
    "  gamelog --live 20 --seconds 60       a running server, 20 lines a second\n"
    "  gamelog --recreate --lines 50        a restart that replaced the log\n"
    "  gamelog --bytes 1G --rule-share 30   a long history to measure the controller on\n";

struct TOptions {
  std::string File = "strakon.log";
  long long Lines = -1;
  long long Bytes = -1;
  double Rate = 0;
  double Seconds = -1;
  bool Truncate = false;
  bool Recreate = false;
  std::string Name = "Gull Point Racing";
  unsigned long Seed = 1;
  bool StartUp = true;
  int RuleShare = -1;
};

[[noreturn]] void Usage(const std::string& problem) {
  std::fprintf(stderr, "gamelog: %s\nTry 'gamelog --help'.\n", problem.c_str());
  std::exit(2);
}

long long ParseSize(const std::string& text) {
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || value < 0) Usage("not a size: " + text);
  std::string unit = end;
  if (unit == "K" || unit == "k")
    value <<= 10;
  else if (unit == "M" || unit == "m")
    value <<= 20;
  else if (unit == "G" || unit == "g")
    value <<= 30;
  else if (!unit.empty())
    Usage("not a size: " + text);
  return value;
}

double ParseNumber(const std::string& text) {
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || value < 0) Usage("not a number: " + text);
  return value;
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions o;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      std::exit(0);
    } else if (arg == "--file") {
      o.File = value();
    } else if (arg == "--lines") {
      o.Lines = ParseSize(value());
    } else if (arg == "--bytes") {
      o.Bytes = ParseSize(value());
    } else if (arg == "--live") {
      o.Rate = ParseNumber(value());
      if (o.Rate <= 0) Usage("--live needs a rate above 0");
    } else if (arg == "--seconds") {
      o.Seconds = ParseNumber(value());
    } else if (arg == "--truncate") {
      o.Truncate = true;
    } else if (arg == "--recreate") {
      o.Recreate = true;
    } else if (arg == "--name") {
      o.Name = value();
    } else if (arg == "--seed") {
      o.Seed = static_cast<unsigned long>(ParseSize(value()));
    } else if (arg == "--no-startup") {
      o.StartUp = false;
    } else if (arg == "--rule-share") {
      double share = ParseNumber(value());
      if (share > 100 || share != static_cast<int>(share)) Usage("--rule-share needs 0 to 100");
      o.RuleShare = static_cast<int>(share);
    } else {
      Usage("unknown option " + arg);
    }
  }
  if (o.Lines < 0 && o.Bytes < 0 && !(o.Rate > 0)) o.Lines = 1000;
  return o;
}

// Appends lines to the log; a live server flushes each one so that a reader
// sees it at once, a history is written in large blocks.
class TLogWriter {
 public:
  TLogWriter(const std::string& path, bool live) : Live_(live) {
    File_ = std::fopen(path.c_str(), "ab");
    if (!File_) {
      std::perror(path.c_str());
      std::exit(1);
    }
    if (!live) std::setvbuf(File_, nullptr, _IOFBF, 1 << 20);
  }
  ~TLogWriter() {
    if (std::fclose(File_) != 0) {
      std::perror("gamelog");
      std::exit(1);
    }
  }
  void Write(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), File_);
    std::fwrite("\r\n", 1, 2, File_);
    Written_ += static_cast<long long>(line.size()) + 2;
    if (Live_) std::fflush(File_);
    if (std::ferror(File_)) {
      std::perror("gamelog");
      std::exit(1);
    }
  }
  long long Written() const { return Written_; }

 private:
  std::FILE* File_ = nullptr;
  bool Live_;
  long long Written_ = 0;
};

long long FileSize(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  std::fseek(f, 0, SEEK_END);
  long long size = std::ftell(f);
  std::fclose(f);
  return size;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o = ParseOptions(argc, argv);
  if (o.Recreate) std::remove(o.File.c_str());
  if (o.Truncate) {
    std::FILE* f = std::fopen(o.File.c_str(), "wb");
    if (!f) {
      std::perror(o.File.c_str());
      return 1;
    }
    std::fclose(f);
  }
  bool empty = FileSize(o.File) <= 0;
  bool live = o.Rate > 0;
  TGameServer server(o.Name, static_cast<uint32_t>(o.Seed));
  if (o.RuleShare >= 0) server.SetRuleShare(o.RuleShare);
  TLogWriter log(o.File, live);
  long long lines = 0;
  auto done = [&] {
    if (o.Lines >= 0 && lines >= o.Lines) return true;
    if (o.Bytes >= 0 && log.Written() >= o.Bytes) return true;
    return false;
  };
  if (o.StartUp && empty) {
    for (const std::string& line : server.StartUp()) {
      if (done()) break;
      log.Write(line);
      ++lines;
    }
  }
  auto start = std::chrono::steady_clock::now();
  auto next = start;
  const auto gap = std::chrono::duration<double>(live ? 1.0 / o.Rate : 0);
  while (!done()) {
    if (live) {
      if (o.Seconds >= 0 &&
          std::chrono::steady_clock::now() - start >= std::chrono::duration<double>(o.Seconds))
        break;
      next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(gap);
      std::this_thread::sleep_until(next);
    }
    log.Write(server.NextLine());
    ++lines;
  }
  return 0;
}
