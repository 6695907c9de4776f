#pragma once

#include <windows.h>

#include <array>
#include <mutex>

#include "dialogs/DialogWindow.h"
#include "platform/MessageBox.h"
#include "session/Journal.h"
#include "session/RaceBoard.h"

// "Track Configuration": the names of the eight tracks. "Save" writes [TRACK]
// TRK1..TRK8 and rebuilds the status window's track list from what was typed;
// it closes with OK even when the settings file is missing (the list then
// stays as it was).
class TfmTrack {
 public:
  static constexpr const char* kCaption = "Track Configuration";
  static constexpr int kWidth = 523;
  static constexpr int kHeight = 174;
  static constexpr int kTracks = 8;

  enum TControlId : int {
    kIdBitBtn1 = 10,
    kIdBitBtn2 = IDCANCEL,
    // TRKn is kIdTRK1 + n - 1, its label kIdLabel1 + n - 1.
    kIdTRK1 = 100,
    kIdLabel1 = 120,
  };

  TfmTrack(HWND owner, TMessageBoxPort& messages);

  // The edit TRKn shows names[n - 1]; trackList is the list "Save" rebuilds,
  // shared with the log watcher under trackListLock.
  void LoadTracks(const TTrackList& names, TTrackList& trackList, std::mutex& trackListLock);
  void BitBtn1Click();
  int ShowModal() { return Form.ShowModal(); }
  // What the edits hold, TRK1 first.
  TTrackList Names() const;

  TDialogWindow Form;
  // Where a save is told; none: nowhere.
  TJournal* Journal = nullptr;
  // TRK1 .. TRK8.
  std::array<HWND, kTracks> TRK = {};
  HWND BitBtn1 = nullptr;
  HWND BitBtn2 = nullptr;

 private:
  TTrackList* TrackList_ = nullptr;
  std::mutex* TrackListLock_ = nullptr;
};
