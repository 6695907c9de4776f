#include "monitor/LogWatcher.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <mutex>
#include <vector>

#include "chat/Envelope.h"
#include "monitor/BoardReset.h"
#include "monitor/LogReader.h"
#include "monitor/PassReading.h"
#include "monitor/RaceJournal.h"
#include "monitor/StatusLines.h"
#include "session/JournalText.h"

namespace {
constexpr int kDefaultRefreshTime = 5000;
const char kCannotConnect[] = "Cannot connect to chat server";
}  // namespace

TTLog::TTLog(TSession& session, TRaceBoard& board, TWatcherChatPort& chat,
             TWatcherWindowPort& window, std::unique_ptr<TLogFile> file, TReconnectBackoff backoff)
    : Session_(session),
      Board_(board),
      Chat_(chat),
      Window_(window),
      File_(file ? std::move(file) : std::make_unique<TSharedLogFile>()),
      Backoff_(std::move(backoff)) {}

TTLog::~TTLog() {
  // The body uses this object's members: it must be over before they go.
  Terminate();
  if (!IsCurrentThread()) WaitFor();
}

void TTLog::EnableRechecks(std::unique_ptr<TWatcherDirectoryPort> directory, int intervalSeconds,
                           TClock clock) {
  Directory_ = std::move(directory);
  RecheckInterval_ = std::chrono::seconds(intervalSeconds);
  RecheckClock_ = clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); };
  // The lookup that started this watcher has just been made.
  NextRecheck_ = RecheckClock_() + RecheckInterval_;
}

int TTLog::PauseAfterPass(int32_t refreshTime) {
  return refreshTime < 0 ? kDefaultRefreshTime : refreshTime;
}

void TTLog::Execute() {
  do {
    try {
      RunPasses();
    } catch (...) {
      // An error inside a pass ends the passes without a message.
    }
  } while (!DecideToEnd());
}

void TTLog::RunPasses() {
  while (!Terminated()) {
    TakeStartRequest();
    if (!Pass()) return;
    int32_t refreshTime;
    {
      std::lock_guard<std::mutex> lock(Session_.StateLock);
      refreshTime = Session_.RefreshTime;
    }
    // A stop does not cut the sleep short: StopAll's wait is bounded by one
    // pause plus one pass. A connect that waits for its next try wakes the
    // watcher when the try is due, however long the pause between passes.
    int pause = PauseAfterPass(refreshTime);
    if (Waiting_) pause = static_cast<int>(std::min<int64_t>(pause, Backoff_.MillisecondsToNext()));
    // A stop asked for during the pass ends the watcher now: the sleep would
    // only hold the stop up.
    if (Terminated()) return;
    Sleep(pause);
  }
}

void TTLog::Sleep(int pause) {
  if (pause <= 0) return;
  std::unique_lock<std::mutex> lock(StartLock_);
  StartAsked_.wait_until(lock, std::chrono::steady_clock::now() + std::chrono::milliseconds(pause),
                         [this] { return StartRequested_; });
}

void TTLog::TakeStartRequest() {
  std::lock_guard<std::mutex> lock(StartLock_);
  if (StartRequested_) Backoff_.TryNow();
  StartRequested_ = false;
}

bool TTLog::DecideToEnd() {
  std::lock_guard<std::mutex> lock(StartLock_);
  if (StartRequested_ && !Terminated()) return false;
  Ending_ = true;
  return true;
}

bool TTLog::RequestStart() {
  std::lock_guard<std::mutex> lock(StartLock_);
  if (Ending_ || Finished()) return false;
  StartRequested_ = true;
  StartAsked_.notify_all();
  return true;
}

bool TTLog::Pass() {
  TRaceBoard before;
  std::string nameBefore;
  bool firstReading;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    before = Board_;
    nameBefore = Session_.ServerName;
    firstReading = Session_.LastLogSize == -1;
  }
  bool send = ReadLog();
  if (Directory_ && RecheckIfDue()) send = true;
  const bool connected = Chat_.IsConnected();
  // A read that met the chat server's close closed the connection at once:
  // this pass may find it closed before the receive loop has told why. Every
  // other end of a link is told before the connection is closed.
  if (!connected) Session_.LinkLog.Lost("closed by the chat server");
  const TConnect connect = connected ? TConnect::Connected : ConnectStep();
  const bool goOn = connect != TConnect::Failed;
  Waiting_ = connect == TConnect::Waiting;
  // Nothing can be announced without a connection; the connect that ends the
  // wait announces the state the log has reached by then.
  if (Waiting_) send = false;
  // A chat server that has just taken a new sign-on knows nothing of this game server: after a
  // dropped connection it would otherwise show the server without a status until the log grows,
  // which on a quiet server can take hours. A pass that could not read the log announces
  // nothing; the request waits for the next pass that can.
  if (connect == TConnect::Connected && !connected) {
    if (LogRead_)
      send = true;
    else
      Session_.RequestResend();
  }
  std::string status, drivers;
  bool changed;
  std::vector<std::string> raceLines;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    if (goOn) {
      Board_.SetRealism(Session_.CurrentRealism);
      if (send) {
        status = StatusLine(Board_, Session_.LocalAddress);
        drivers = DriversLine(Board_);
      }
    }
    // The in-race indicator is redrawn whenever a rule or a reset set InRace,
    // even to the value a click of the user had already given it.
    changed = Board_ != before || Board_.InRaceSets != before.InRaceSets;
    // A first pass over a history tells the board it reached, not every
    // change on the way there.
    if (Session_.Journal.IsOn() && LogRead_) {
      if (firstReading)
        raceLines.push_back(BoardReached(Board_, Session_.ServerName));
      else
        raceLines = RaceChanges(before, nameBefore, Board_, Session_.ServerName);
    }
  }
  for (const std::string& line : raceLines) Session_.Journal.Write("RACE", line);
  // The window hears of a pass's changes once, however many lines it read.
  if (Caption_.Pending) {
    Caption_.Pending = false;
    Window_.SetCaption(Caption_.Text);
  }
  if (changed) Window_.BoardChanged();
  if (goOn && send) Announce(status, drivers);
  return goOn;
}

// Reads what is new in the log and returns whether to announce. A log that cannot be opened or
// sized (the game server re-creating it, or holding it locked for a moment) leaves this pass
// without lines and without a send; the next pass tries again.
bool TTLog::ReadLog() {
  struct TCloser {
    TLogFile& File;
    ~TCloser() { File.Close(); }
  };
  std::string path;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    path = Session_.LogPath;
  }
  int64_t size;
  LogRead_ = false;
  try {
    File_->Open(path);
  } catch (const EFileError& e) {
    LogTrouble(path, e.what());
    return false;
  }
  TCloser closer{*File_};
  try {
    size = File_->Size();
  } catch (const EFileError& e) {
    LogTrouble(path, e.what());
    return false;
  }
  LogRead_ = true;
  bool send;
  int64_t offset;
  int64_t lastSize;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    lastSize = Session_.LastLogSize;
    if (size < Session_.LastLogSize || Session_.LastLogSize == -1) ResetBoard(Board_, Session_);
    send = size > Session_.LastLogSize;
    Session_.LastLogSize = size;
    offset = Session_.ReadOffset;
  }
  if (Session_.TakeResendRequest()) send = true;
  LogReadable(size, lastSize);
  // A log that has not grown past the offset costs no read at all.
  if (offset < size) {
    try {
      ReadLines(offset, size);
    } catch (const EFileError&) {
      // A read that fails part-way keeps what it had read; the pass goes on.
    }
  }
  return send;
}

// The journal's GAMELOG lines. A game server that restarts every few minutes,
// or a log that goes missing at every pass, folds into one line every ten
// minutes.
void TTLog::LogTrouble(const std::string& path, const std::string& error) {
  TJournal::TFold run;
  run.Word = "GAMELOG";
  run.Noun = "times";
  if (!FileExists(path)) {
    if (Session_.LogMissing) return;
    Session_.LogMissing = true;
    run.Key = "log missing";
    run.Text = "log missing";
    run.StillLead = "log went missing";
  } else {
    if (Session_.LogUnreadable) return;
    Session_.LogUnreadable = true;
    run.Key = "log unreadable";
    run.Text = "log cannot be read: " + error;
    run.StillLead = "log could not be read";
  }
  Session_.Journal.Fold(run);
}

void TTLog::LogReadable(int64_t size, int64_t lastSize) {
  TJournal::TFold run;
  run.Word = "GAMELOG";
  run.Noun = "times";
  if (Session_.LogMissing || Session_.LogUnreadable) {
    Session_.LogMissing = Session_.LogUnreadable = false;
    run.Key = "log back";
    run.Text = "log back, " + GroupedNumber(size) + " bytes";
    run.StillLead = "log came back";
    Session_.Journal.Fold(run);
  }
  if (lastSize >= 0 && size < lastSize) {
    run.Key = "log shrank";
    run.Text = "log shrank from " + GroupedNumber(lastSize) + " to " + GroupedNumber(size) +
               " bytes: game server restarted";
    run.StillLead = "log shrank";
    run.Detail = ", last from " + GroupedNumber(lastSize) + " to " + GroupedNumber(size) + " bytes";
    Session_.Journal.Fold(run);
  }
}

// From offset to the end of the file. A long read (the first pass over a history) is read a
// buffer ahead on a second thread; a few new lines are not worth starting one.
void TTLog::ReadLines(int64_t offset, int64_t size) {
  constexpr int64_t kReadAheadFrom = 4 * static_cast<int64_t>(TLogReader::kBufferBytes);
  if (offset != 0) File_->Seek(offset);
  TLogReader reader(*File_, TLogReader::BufferFor(size - offset));
  if (size - offset >= kReadAheadFrom)
    ReadNewLinesAhead(reader, Session_, Board_, Caption_);
  else
    ReadNewLines(reader, Session_, Board_, Caption_);
}

bool TTLog::RecheckIfDue() {
  const auto now = RecheckClock_();
  bool chatAuto;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    chatAuto = Session_.ChatAuto;
  }
  // A chat server that three tries in a row could not reach may have moved.
  const bool follow = chatAuto && FailuresInARow_ >= 3 && !FollowChecked_;
  if (now < NextRecheck_ && !follow) return false;
  NextRecheck_ = now + RecheckInterval_;
  if (FailuresInARow_ >= 3) FollowChecked_ = true;
  TLookedUp found;
  if (!Directory_->Ask([this] { return Terminated(); }, found)) return false;
  std::string oldLocal, oldChat, newChat;
  bool localChanged = false, chatMoved = false;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    if (found.Local && found.LocalAddress != Session_.LocalAddress) {
      oldLocal = Session_.LocalAddress;
      Session_.LocalAddress = found.LocalAddress;
      localChanged = true;
    }
    if (found.Chat && (found.ChatServerAddress != Session_.ChatServerAddress ||
                       found.ChatPort != Session_.ChatPort)) {
      oldChat = Session_.ChatServerAddress + ":" + std::to_string(Session_.ChatPort);
      newChat = found.ChatServerAddress + ":" + std::to_string(found.ChatPort);
      Session_.ChatServerAddress = found.ChatServerAddress;
      Session_.ChatPort = found.ChatPort;
      chatMoved = true;
    }
  }
  if (localChanged)
    Session_.Journal.Write("LOOKUP",
                           "own address changed from " + oldLocal + " to " + found.LocalAddress);
  if (chatMoved) {
    Session_.Journal.Write("LOOKUP", "chat server moved from " + oldChat + " to " + newChat);
    // The room is where the new chat server is: this pass signs on there.
    Chat_.SignOff();
    Session_.LinkLog.Left();
    Backoff_.TryNow();
    FailuresInARow_ = 0;
    FollowChecked_ = false;
  }
  return localChanged;
}

// Connects when the chat connection is down; the connect signs on before it
// returns.
TTLog::TConnect TTLog::ConnectStep() {
  std::string host;
  int port;
  int64_t longestWait;
  int32_t refreshTime;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    host = Session_.ChatServerAddress;
    port = Session_.ChatPort;
    longestWait = int64_t{Session_.AutoReconnect} * 1000;
    refreshTime = Session_.RefreshTime;
  }
  const bool heals = longestWait > 0;
  if (heals && !Backoff_.Due()) return TConnect::Waiting;
  std::string failure;
  try {
    Chat_.SetTarget(host, port);
    Chat_.OpenConnection();
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "Unknown error";
  }
  if (!failure.empty()) {
    ++FailuresInARow_;
    // A stop gives the connect up; nobody is to be told of that.
    if (Terminated()) {
      Window_.ShowChatState(1);
      return TConnect::Failed;
    }
    if (heals) {
      // Nobody may be at the machine to close a box: the lamp and "Reconnect
      // to Chat" say what is wrong, and the watcher tries again by itself.
      Window_.ShowChatState(1);
      const int64_t wait = Backoff_.Failed(PauseAfterPass(refreshTime), longestWait);
      Session_.LinkLog.ConnectFailed(host, port, failure, wait);
      return TConnect::Waiting;
    }
    Session_.LinkLog.ConnectFailed(host, port, failure, -1);
    Window_.ShowModalMessage(kCannotConnect);
    Window_.ShowChatState(1);
    return TConnect::Failed;
  }
  {
    std::string name;
    {
      std::lock_guard<std::mutex> lock(Session_.StateLock);
      name = Session_.ServerName;
    }
    Session_.LinkLog.SignedOn(host, port, name);
  }
  FailuresInARow_ = 0;
  FollowChecked_ = false;
  Backoff_.Succeeded();
  Window_.ShowChatState(0);
  Chat_.StartReceiver();
  return TConnect::Connected;
}

// Announces the status and the drivers. A connection that breaks under the announcement is closed
// and shown as down; the next pass connects again (a new sign-on) and, through the resend request,
// announces again.
void TTLog::Announce(const std::string& status, const std::string& drivers) {
  try {
    Chat_.SendLine(RoomLine(status));
    Chat_.SendLine(RoomLine(drivers));
  } catch (const std::exception& e) {
    // A stop that gave up a send waiting for room ends the link itself.
    if (!Terminated()) Session_.LinkLog.Lost(e.what());
    try {
      Chat_.CloseConnection();
    } catch (const std::exception&) {
      // Already broken; closing it is all that is left to do.
    }
    Window_.ShowChatState(1);
    Session_.RequestResend();
  }
}
