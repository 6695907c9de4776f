#include "session/Journal.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "platform/FileOps.h"
#include "session/JournalText.h"

namespace {
constexpr auto kTick = std::chrono::seconds(1);
}  // namespace

// Shared by the journal and its writer thread, which may outlive the journal
// when the disk does not answer: it is let go rather than waited for.
struct TJournal::TState {
  std::string Path;
  std::string OldPath;
  uint64_t MaxBytes = kMaxBytes;
  TClock Clock;
  TWallClock Wall;

  struct TLine {
    TLocalTime At;
    std::string Word;
    std::string Text;
  };
  struct TRun {
    TFold Latest;
    int Count = 0;
    int Unwritten = 0;  // counted since the run's last line
    TLocalTime Since;
    TTime SinceTime;
    TTime LastWritten;
    TTime LastEvent;
  };

  std::mutex Lock;
  std::condition_variable Changed;
  std::deque<TLine> Queue;
  std::map<std::string, TRun> Runs;
  bool Stopping = false;
  bool Done = false;
  // An average rate: a line takes a token, time gives them back at the rate,
  // up to the burst. Lines without a token are left out, and the next line of
  // the same budget says how many.
  struct TBudget {
    double Burst;
    double PerSecond;
    double Tokens;
    TTime Refilled;
    int LeftOut = 0;
    bool Take(TTime now) {
      Tokens = std::min(Burst,
                        Tokens + PerSecond * std::chrono::duration<double>(now - Refilled).count());
      Refilled = now;
      if (Tokens < 1) return false;
      Tokens -= 1;
      return true;
    }
  };
  TBudget All{kBurstLines, 1.0, kBurstLines, {}};
  TBudget Race{kRaceBurstLines, kRaceLinesPerSecond, kRaceBurstLines, {}};

  // Lock held.
  void Enqueue(const std::string& word, std::string text, bool always) {
    const TTime now = Clock();
    TBudget& budget = word == "RACE" ? Race : All;
    if (!always) {
      // A RACE line takes from both budgets, so the whole stays at a line a second.
      const bool taken = (&budget == &All || Race.Take(now)) && All.Take(now);
      if (!taken) {
        ++budget.LeftOut;
        return;
      }
    }
    if (budget.LeftOut > 0) {
      text += " (" + std::to_string(budget.LeftOut) + " lines before this one left out)";
      budget.LeftOut = 0;
    }
    Queue.push_back({Wall(), word, std::move(text)});
    Changed.notify_all();
  }

  // Lock held: the "still" lines that are due, and runs that have ended by
  // themselves (nothing for ten minutes).
  void TendRuns() {
    const TTime now = Clock();
    const auto fold = std::chrono::seconds(kFoldSeconds);
    for (auto it = Runs.begin(); it != Runs.end();) {
      TRun& run = it->second;
      if (run.Unwritten > 0 && now - run.LastWritten >= fold) {
        Enqueue(run.Latest.Word,
                run.Latest.StillLead + ": " + std::to_string(run.Count) + " " + run.Latest.Noun +
                    " since " + ClockTime(run.Since) + run.Latest.Detail,
                false);
        run.Unwritten = 0;
        run.LastWritten = now;
      }
      if (run.Unwritten == 0 && now - run.LastEvent >= fold)
        it = Runs.erase(it);
      else
        ++it;
    }
  }

  // Writer thread, lock not held.
  void WriteToFile(const TLine& line) {
    const std::string bytes = JournalLine(line.At, line.Word, line.Text);
    try {
      const int64_t size = FileSizeOf(Path);
      if (size > 0 && static_cast<uint64_t>(size) + bytes.size() > MaxBytes)
        RotateKeepingLines(Path, OldPath);
      AppendToFile(Path, bytes);
    } catch (const EInOutError&) {
      // Dropped: the journal must never stop or slow the work it tells of.
    }
  }

  void Run() {
    std::unique_lock<std::mutex> lock(Lock);
    for (;;) {
      TendRuns();
      while (!Queue.empty()) {
        TLine line = std::move(Queue.front());
        Queue.pop_front();
        lock.unlock();
        WriteToFile(line);
        lock.lock();
      }
      if (Stopping) break;
      Changed.wait_for(lock, kTick);
    }
    Done = true;
    Changed.notify_all();
  }
};

TJournal::~TJournal() {
  Close();
}

void TJournal::Open(const std::string& path, const std::string& oldPath, uint64_t maxBytes,
                    TClock clock, TWallClock wall) {
  Close();
  auto state = std::make_shared<TState>();
  state->Path = path;
  state->OldPath = oldPath;
  state->MaxBytes = maxBytes;
  state->Clock = clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); };
  state->Wall = wall ? std::move(wall) : [] { return LocalTimeNow(); };
  state->All.Refilled = state->Race.Refilled = state->Clock();
  Writer_ = std::thread([state] { state->Run(); });
  State_ = std::move(state);
}

TJournal::TTime TJournal::Now() const {
  return State_ ? State_->Clock() : std::chrono::steady_clock::now();
}

void TJournal::Write(const std::string& word, const std::string& text) {
  if (!State_) return;
  std::lock_guard<std::mutex> lock(State_->Lock);
  State_->Enqueue(word, text, word == "START" || word == "EXIT");
}

bool TJournal::Fold(const TFold& fold) {
  if (!State_) return false;
  std::lock_guard<std::mutex> lock(State_->Lock);
  const TTime now = State_->Clock();
  auto found = State_->Runs.find(fold.Key);
  if (found != State_->Runs.end()) {
    TState::TRun& run = found->second;
    run.Latest = fold;
    ++run.Count;
    ++run.Unwritten;
    run.LastEvent = now;
    return false;
  }
  TState::TRun run;
  run.Latest = fold;
  run.Count = 1;
  run.Since = State_->Wall();
  run.SinceTime = run.LastWritten = run.LastEvent = now;
  State_->Runs.emplace(fold.Key, run);
  State_->Enqueue(fold.Word, fold.Text, false);
  return true;
}

TJournal::TFoldEnd TJournal::EndFold(const std::string& key) {
  TFoldEnd end;
  if (!State_) return end;
  std::lock_guard<std::mutex> lock(State_->Lock);
  auto found = State_->Runs.find(key);
  if (found == State_->Runs.end()) return end;
  end.Count = found->second.Count;
  end.Since = found->second.Since;
  end.SecondsSince =
      std::chrono::duration_cast<std::chrono::seconds>(State_->Clock() - found->second.SinceTime)
          .count();
  State_->Runs.erase(found);
  return end;
}

void TJournal::Close(int waitMs) {
  if (!State_) return;
  std::shared_ptr<TState> state = std::move(State_);
  bool done;
  {
    std::unique_lock<std::mutex> lock(state->Lock);
    state->Stopping = true;
    state->Changed.notify_all();
    done = state->Changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                                   [&] { return state->Done; });
  }
  // A disk that does not answer keeps the writer: it is let go, holding what
  // it shares with nobody but itself.
  if (done)
    Writer_.join();
  else
    Writer_.detach();
}
