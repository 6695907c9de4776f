#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/TextFile.h"
#include "platform/Thread.h"
#include "session/Journal.h"
#include "session/LinkLog.h"
#include "session/RaceBoard.h"

// All run-time state of the controller besides the race board: the settings
// read from Brennak.ini and the bookkeeping of the log watcher and the chat
// link. The status window owns one for the whole run.
//
// Lists are 0-based here: TrackNames[n - 1] holds the settings key TRKn and
// CarNames[n - 1] the key CARnn.
struct TSession {
  // Settings, loaded once at start.
  std::string LogPath;
  TTrackList TrackNames;
  std::array<std::string, 13> CarNames;
  int32_t DefaultRealism = 0;
  int32_t DefaultRaceLength = 1;
  int32_t DefaultAIStrength = 0;
  std::string DefaultAICount = "0";
  int32_t DefaultTrack = 8;
  bool DefaultDamage = false;
  bool DefaultReverse = false;
  int32_t RefreshTime = 5000;
  std::string ChatServerAddress = "127.0.0.1";
  int32_t ChatPort = 7777;
  std::string LocalAddress = "127.0.0.1";
  bool ChatAuto = false;
  bool LocalAuto = false;
  // [SERVER] AUTORECONNECT: the longest wait in seconds between two tries of a
  // chat connect or an address lookup that failed; 0 leaves a failure to the
  // user (a message, and nothing more is tried until a menu command).
  int32_t AutoReconnect = 0;
  // [SERVER] JOURNAL=1: the operator's journal (kJournalPath) is kept.
  bool KeepJournal = false;
  // [SERVER] RECHECKAUTO: with AUTORECONNECT, the seconds between two asks of
  // the directory for the "AUTO" addresses while the program runs; 0: never.
  int32_t RecheckAuto = 900;

  // Bookkeeping of the log watcher. 64-bit, so a log past 2 GiB is followed
  // like any other (a server left running for months writes that much).
  int64_t LastLogSize = -1;
  int64_t ReadOffset = 0;
  int32_t CurrentRealism = 0;
  std::string ServerName;
  bool ResendRequested = false;

  // The running threads; the window owns them through these fields.
  std::unique_ptr<TThread> LogThread;
  std::unique_ptr<TThread> ReceiveThread;
  // "./response.txt", open from InitSession until shutdown.
  TTextFile ResponseLog;
  // The operator's journal, on from the start when KeepJournal is set; and
  // what it says of the chat link.
  TJournal Journal;
  TLinkLog LinkLog{Journal};
  // The journal's bookkeeping of the game server's log (the watcher's).
  bool LogMissing = false;
  bool LogUnreadable = false;

  // Serialises the race board and the fields that the watcher and the
  // user-interface thread both touch (LastLogSize and ReadOffset belong to the
  // watcher alone; ResendRequested, CurrentRealism, ServerName, the settings
  // and ReceiveThread are shared).
  mutable std::mutex StateLock;

  // Reads and clears ResendRequested in one step, so a request made meanwhile
  // is not lost.
  bool TakeResendRequest() {
    std::lock_guard<std::mutex> lock(StateLock);
    bool requested = ResendRequested;
    ResendRequested = false;
    return requested;
  }
  void RequestResend() {
    std::lock_guard<std::mutex> lock(StateLock);
    ResendRequested = true;
  }
};
