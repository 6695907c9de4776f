// The watcher following logs written by tools/gamelog, the make-believe game
// server, as a separate process: a long history, a live server appending while
// the watcher runs, and a restart that replaces the log.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "chat/Envelope.h"
#include "monitor/BoardReset.h"
#include "monitor/LogWatcher.h"
#include "monitor/StatusLines.h"
#include "support/TempDir.h"
#include "support/WatcherDescribe.h"
#include "support/WatcherFakes.h"
#include "support/WatcherReference.h"
#include "tools/common/RuleTriggers.h"

namespace {

void GameLog(const std::string& dir, const std::string& options) {
  std::string command =
      "cd '" + dir + "' && '" + std::string(ORVANE_TOOLS_DIR) + "/gamelog' " + options;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// Runs gamelog in dir with its standard input from input and gives back the
// "STATE" lines it printed, each turned into the status line that its words
// stand for.
std::vector<std::string> GameLogStates(const std::string& dir, const std::string& input,
                                       const std::string& options, const TTrackList& tracks) {
  std::string command = "cd '" + dir + "' && printf '" + input + "' | '" +
                        std::string(ORVANE_TOOLS_DIR) + "/gamelog' " + options;
  std::vector<std::string> states;
  std::FILE* out = popen(command.c_str(), "r");
  if (!out) return states;
  char text[256];
  while (std::fgets(text, sizeof text, out)) {
    char race[16], realism[16];
    int track = 0, laps = 0;
    if (std::sscanf(text, "STATE %15s %d %d %15s", race, &track, &laps, realism) == 4 &&
        track >= 1 && track <= 8)
      states.push_back(std::string("STATUS:  ") + race + " " +
                       tracks[static_cast<size_t>(track - 1)] + " " + std::to_string(laps) + " " +
                       realism);
  }
  EXPECT_EQ(pclose(out), 0) << command;
  return states;
}

// The log on disk; records where each pass of the watcher stopped reading.
class TRecordingLogFile : public TSharedLogFile {
 public:
  explicit TRecordingLogFile(TSession& session) : Session_(session) {}
  void Close() override {
    TSharedLogFile::Close();
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    if (Stops.empty() || Stops.back() != Session_.ReadOffset) Stops.push_back(Session_.ReadOffset);
  }
  std::vector<int64_t> Stops;  // read only after the watcher has ended

 private:
  TSession& Session_;
};

class GameLogWatch : public ::testing::Test {
 protected:
  void SetUp() override {
    Session.LogPath = Dir.File("strakon.log");
    Session.TrackNames = TReferenceState().TrackNames;
    auto file = std::make_unique<TRecordingLogFile>(Session);
    File = file.get();
    Chat.SetConnected(true);
    Log_ = std::make_unique<TTLog>(Session, Board, Chat, Window, std::move(file));
  }

  // Waits (bounded) until the watcher has read the log to its end.
  void CatchUp() {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int64_t size = static_cast<int64_t>(ReadFileBytes(Session.LogPath).size());
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(Session.StateLock);
        if (Session.ReadOffset == size && Session.LastLogSize == size) return;
      }
      ASSERT_LT(std::chrono::steady_clock::now(), until) << "the watcher did not catch up";
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  // The plain reference reading of a log, cut where the watcher's passes
  // stopped; a restart (a stop lower than the one before) resets the board
  // and carries on in the next log.
  TReferenceState Replay(const std::vector<std::string>& logs) {
    TReferenceState state;
    TSession defaults;
    defaults.TrackNames = state.TrackNames;
    ResetBoard(state.Board, defaults);
    size_t current = 0;
    TReferenceLog log;
    for (size_t i = 0; i < File->Stops.size(); ++i) {
      if (i > 0 && File->Stops[i] < File->Stops[i - 1]) {
        ++current;
        ResetBoard(state.Board, defaults);
        log = TReferenceLog();
      }
      log.Bytes = logs.at(current).substr(0, static_cast<size_t>(File->Stops[i]));
      ReferenceReadAll(log, state);
    }
    state.Board.SetRealism(state.CurrentRealism);
    return state;
  }

  TTempDir Dir;
  TSession Session;
  TRaceBoard Board;
  TFakeChat Chat;
  TFakeWindow Window;
  TRecordingLogFile* File = nullptr;
  std::unique_ptr<TTLog> Log_;
};

TEST_F(GameLogWatch, LongHistoryLeavesTheBoardThePlainReadingLeaves) {
  GameLog(Dir.Path(), "--lines 200000 --seed 7");
  ASSERT_TRUE(Log_->Pass());
  TReferenceState reference = Replay({ReadFileBytes(Session.LogPath)});
  EXPECT_EQ(DescribeBoard(Board), DescribeBoard(reference.Board));
  EXPECT_EQ(Session.ServerName, "_Gull_Point_Racing");
  EXPECT_EQ(Session.ReadOffset, static_cast<int64_t>(ReadFileBytes(Session.LogPath).size()));
  EXPECT_EQ(Chat.Sent(),
            (std::vector<std::string>{RoomLine(StatusLine(reference.Board, Session.LocalAddress)),
                                      RoomLine(DriversLine(reference.Board))}));
}

TEST_F(GameLogWatch, RuleShareHistoryHoldsEveryKindAtItsShareWithVariedNames) {
  GameLog(Dir.Path(), "--lines 50000 --rule-share 30 --no-startup --seed 9");
  std::string bytes = ReadFileBytes(Session.LogPath);
  std::vector<int> kinds(std::size(kRuleTriggers));
  std::set<std::string> joined;
  int lines = 0, ruleLines = 0;
  for (size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2) {
    std::string line = bytes.substr(at, end - at);
    bool acted = false;
    for (size_t k = 0; k < kinds.size(); ++k)
      if (line.find(kRuleTriggers[k]) != std::string::npos) acted = ++kinds[k] > 0;
    if (line.rfind("Server: User Connected: ", 0) == 0)
      joined.insert(line.substr(24, line.find(" (") - 24));
    ++lines;
    ruleLines += acted;
  }
  EXPECT_EQ(lines, 50000);
  EXPECT_NEAR(ruleLines, lines * 30 / 100, lines / 100);
  for (size_t k = 0; k < kinds.size(); ++k) EXPECT_GT(kinds[k], 0) << kRuleTriggers[k];
  EXPECT_GT(joined.size(), 100u);  // far more than the evening's eighteen regulars
  ASSERT_TRUE(Log_->Pass());
  EXPECT_EQ(DescribeBoard(Board), DescribeBoard(Replay({bytes}).Board));
}

TEST_F(GameLogWatch, FollowsALiveServerAndItsRestart) {
  Session.RefreshTime = 5;
  Log_->Start();
  GameLog(Dir.Path(), "--live 2000 --lines 3000 --seed 3");
  CatchUp();
  std::string first = ReadFileBytes(Session.LogPath);
  // A restart that replaces the log with a new, shorter one.
  GameLog(Dir.Path(), "--recreate --live 2000 --lines 400 --seed 4 --name 'Harbour Night'");
  CatchUp();
  Log_->Terminate();
  Log_->WaitFor();
  std::string second = ReadFileBytes(Session.LogPath);
  ASSERT_GT(File->Stops.size(), 10u);  // the watcher read the live log pass by pass
  TReferenceState reference = Replay({first, second});
  EXPECT_EQ(DescribeBoard(Board), DescribeBoard(reference.Board));
  EXPECT_EQ(Session.ServerName, "_Harbour_Night");
  EXPECT_EQ(Session.ReadOffset, static_cast<int64_t>(second.size()));
}

// The soak's check rests on this: the state gamelog says its log implies is
// the one a plain reading of that log leaves, through restarts and holds.
TEST(GameLogState, IsTheStatusThatAPlainReadingOfTheLogLeaves) {
  struct TCase {
    const char* Input;
    const char* Options;
    size_t States;
    size_t FirstChecked;  // the states printed before a restart are not this log's
  };
  // Each run empties the log first, so that the log holds the start-up lines.
  const TCase cases[] = {
      {"", "--lines 20000 --seed 7", 1, 0},
      {"", "--live 4000 --seconds 1.5 --truncate-every 0.4 --seed 5", 1, 0},
      {"", "--live 4000 --seconds 1.5 --recreate-every 0.4 --seed 6", 1, 0},
      // Held early: thousands of lines later the state is still the held one.
      {"hold\\n", "--live 4000 --seconds 1.5 --control --seed 8", 2, 0},
      {"hold\\nrestart recreate\\n", "--live 4000 --seconds 1 --control --seed 9", 3, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Options);
    TTempDir dir;
    TReferenceState reference;
    std::vector<std::string> states =
        GameLogStates(dir.Path(), c.Input, std::string("--truncate --print-state ") + c.Options,
                      reference.TrackNames);
    TSession defaults;
    defaults.TrackNames = reference.TrackNames;
    ResetBoard(reference.Board, defaults);
    TReferenceLog log;
    log.Bytes = ReadFileBytes(dir.File("strakon.log"));
    ReferenceReadAll(log, reference);
    reference.Board.SetRealism(reference.CurrentRealism);
    ASSERT_EQ(states.size(), c.States);
    for (size_t i = c.FirstChecked; i < states.size(); ++i)
      EXPECT_EQ(states[i], StatusLine(reference.Board, "")) << "state " << i;
  }
}

}  // namespace
