// gamelog: writes the log of a make-believe Strakon dedicated server in the
// working directory, the way the game server writes its own, so that the
// controller can be tried, tested and measured without the game.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tools/common/ControlChannel.h"
#include "tools/gamelog/GameServer.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

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
    "  --truncate-every S  with --live: every S seconds the server restarts and\n"
    "                  empties its log, then writes its start-up lines again\n"
    "  --recreate-every S  with --live: every S seconds the server restarts and\n"
    "                  replaces its log with a new one (made under another name and\n"
    "                  renamed over it, so the log's name never goes missing), then\n"
    "                  writes its start-up lines again\n"
    "  --control       with --live: read commands on standard input, one a line:\n"
    "                    hold      write only lines that leave the state as it is\n"
    "                              (no race starts or ends, no setting changes, no\n"
    "                              timed restarts); answers with the state\n"
    "                    go        write as before\n"
    "                    restart truncate|recreate   restart now, held or not;\n"
    "                              answers with the new state\n"
    "                    state     answers with the state\n"
    "  --print-state   at the end, print the state\n"
    "  --rule-share P  make P percent of the lines (0 to 100) lines that the controller\n"
    "                  acts on, every kind of them, with players' names made up from\n"
    "                  a larger pool (default: the mix of an evening on a real server,\n"
    "                  about a fifth)\n"
    "  --help          this text\n"
    "\n"
    "The state is what a reader of the log since the server's last start-up\n"
    "knows, in the words of the controller's status line: \"STATE\", then IN_RACE\n"
    "or OPEN, the track number (1-8), the lap count and the realism (ARCADE,\n"
    "INTERMEDIATE, SIMULATION), e.g. \"STATE OPEN 3 3 ARCADE\". It is known only\n"
    "when the log holds the start-up lines of the last start.\n"
    "\n"
    "Examples:\n"
    "  gamelog --bytes 256M                 a long history, at once\n"
    "  gamelog --live 20 --seconds 60       a running server, 20 lines a second\n"
    "  gamelog --recreate --lines 50        a restart that replaced the log\n"
    "  gamelog --live 2000 --truncate-every 5 --control   a server restarting often\n"
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
  double TruncateEvery = 0;
  double RecreateEvery = 0;
  bool Control = false;
  bool PrintState = false;
  int RuleShare = -1;
};

// The least time between two timed restarts, in seconds.
constexpr double kRestartGap = 1;

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
    } else if (arg == "--truncate-every") {
      o.TruncateEvery = ParseNumber(value());
    } else if (arg == "--recreate-every") {
      o.RecreateEvery = ParseNumber(value());
    } else if (arg == "--control") {
      o.Control = true;
    } else if (arg == "--print-state") {
      o.PrintState = true;
    } else if (arg == "--rule-share") {
      double share = ParseNumber(value());
      if (share > 100 || share != static_cast<int>(share)) Usage("--rule-share needs 0 to 100");
      o.RuleShare = static_cast<int>(share);
    } else {
      Usage("unknown option " + arg);
    }
  }
  if (o.Lines < 0 && o.Bytes < 0 && !(o.Rate > 0)) o.Lines = 1000;
  if (!(o.Rate > 0) && (o.TruncateEvery > 0 || o.RecreateEvery > 0 || o.Control))
    Usage("--truncate-every, --recreate-every and --control need --live");
  return o;
}

// Appends lines to the log; a live server flushes each one so that a reader
// sees it at once, a history is written in large blocks.
class TLogWriter {
 public:
  TLogWriter(const std::string& path, bool live) : Path_(path), Live_(live) {
    File_ = Open(path, "ab");
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

  // Empties the log; the writer goes on at its new end (append mode).
  void Truncate() { std::fclose(Open(Path_, "wb")); }
  // Replaces the log with a new, empty file: made beside it and renamed over
  // it, so a reader never finds the name missing.
  void Recreate() {
    const std::string fresh = Path_ + ".new";
    std::FILE* file = Open(fresh, "ab");
    std::fclose(File_);
    File_ = file;
    if (!ReplaceFile(fresh, Path_)) {
      std::perror(Path_.c_str());
      std::exit(1);
    }
  }

 private:
  static std::FILE* Open(const std::string& path, const char* mode) {
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (!file) {
      std::perror(path.c_str());
      std::exit(1);
    }
    return file;
  }
  static bool ReplaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
    // rename() will not replace an existing file on Windows.
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
  }

  std::string Path_;
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

// One line on standard output, at once: a script may be waiting for it.
void Say(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

// The server restarts: its log emptied or replaced, its start-up lines again.
// Returns the number of lines written.
long long Restart(TGameServer& server, TLogWriter& log, bool recreate) {
  if (recreate)
    log.Recreate();
  else
    log.Truncate();
  std::vector<std::string> lines = server.StartUp();
  for (const std::string& line : lines) log.Write(line);
  return static_cast<long long>(lines.size());
}

// Runs one command of the control channel (see the help text); returns the
// number of lines written.
long long RunCommand(const std::string& command, TGameServer& server, TLogWriter& log) {
  long long written = 0;
  if (command == "hold") {
    server.Hold(true);
  } else if (command == "go") {
    server.Hold(false);
  } else if (command == "restart truncate" || command == "restart recreate") {
    written = Restart(server, log, command == "restart recreate");
  } else if (command != "state") {
    if (!command.empty()) Say("ERR unknown command " + command);
    return 0;
  }
  Say(command == "go" ? "OK go" : "STATE " + server.State());
  return written;
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
  using TClock = std::chrono::steady_clock;
  auto seconds = [](double s) {
    return std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(s));
  };
  TControlChannel control;
  if (o.Control) control.Start();
  auto start = TClock::now();
  auto next = start;
  auto nextTruncate = start + seconds(o.TruncateEvery);
  auto nextRecreate = start + seconds(o.RecreateEvery);
  const auto gap = seconds(live ? 1.0 / o.Rate : 0);
  while (!done()) {
    if (live) {
      auto now = TClock::now();
      if (o.Seconds >= 0 && now - start >= seconds(o.Seconds)) break;
      // Restarts keep a second apart, so that a reader that passes every few
      // hundred milliseconds sees each new log shorter than the one before.
      auto restarted = [&] {
        nextTruncate = std::max(nextTruncate, now + seconds(kRestartGap));
        nextRecreate = std::max(nextRecreate, now + seconds(kRestartGap));
      };
      std::string command;
      while (control.Take(command)) {
        long long written = RunCommand(command, server, log);
        if (written > 0) restarted();  // only a restart writes at once
        lines += written;
      }
      // A held server does not restart on its own; a due restart waits for "go".
      if (!server.Held() && o.TruncateEvery > 0 && now >= nextTruncate) {
        lines += Restart(server, log, false);
        nextTruncate = now + seconds(o.TruncateEvery);
        restarted();
      } else if (!server.Held() && o.RecreateEvery > 0 && now >= nextRecreate) {
        lines += Restart(server, log, true);
        nextRecreate = now + seconds(o.RecreateEvery);
        restarted();
      }
      next += gap;
      std::this_thread::sleep_until(next);
    }
    log.Write(server.NextLine());
    ++lines;
  }
  if (o.PrintState) Say("STATE " + server.State());
  return 0;
}
