#include "dialogs/OptionCommands.h"

#include <exception>
#include <memory>
#include <mutex>

#include "dialogs/CarOpz.h"
#include "dialogs/ConnOpz.h"
#include "dialogs/TrackOpz.h"
#include "dialogs/message.h"
#include "session/ConnectionValues.h"

void Connection1Click(TOptionHost& host) {
  TSession& session = host.Session();
  TConnectionValues accepted;
  {
    TfmConnOpz fmConnOpz(host.OwnerWindow(), host.Messages());
    fmConnOpz.Journal = &session.Journal;
    TConnectionValues current = ConnectionValuesOf(session);
    fmConnOpz.LoadValues(current.Local, current.Chat, current.Port);
    if (fmConnOpz.ShowModal() != IDOK) return;
    accepted = fmConnOpz.Values();
  }
  // The window is blocked until the chat has been restarted: paint it now,
  // then keep the notice on screen meanwhile. Should the restart fail, the
  // notice goes with the error.
  host.Repaint();
  auto fmmsg = std::make_unique<Tfmmsg>(host.OwnerWindow());
  fmmsg->ShowNotice("Disconnect from old server and connect to new server",
                    "Update Connection Parameters");
  fmmsg->Show();
  ApplyConnectionValues(session, accepted);
  // A "/quit" that could not be written (the old chat server had just gone)
  // is shown, but only after the chat has been started on the new values:
  // left there, the command would leave nothing monitored at all.
  std::exception_ptr stopFailure;
  try {
    host.StopAll();
  } catch (...) {
    stopFailure = std::current_exception();
  }
  session.RequestResend();
  host.StartMonitoring();
  fmmsg.reset();
  host.Repaint();
  if (stopFailure) std::rethrow_exception(stopFailure);
}

void rack1Click(TOptionHost& host) {
  TSession& session = host.Session();
  TRaceBoard& board = host.Board();
  // The selected position is given back after the dialog, whatever the log
  // watcher selected while it was open and however the dialog ended; after an
  // OK it shows that position's new name.
  int remembered;
  {
    std::lock_guard<std::mutex> lock(session.StateLock);
    remembered = board.TrackIndex();
  }
  int result;
  {
    TfmTrack fmTrack(host.OwnerWindow(), host.Messages());
    fmTrack.Journal = &session.Journal;
    TTrackList names;
    {
      std::lock_guard<std::mutex> lock(session.StateLock);
      names = session.TrackNames;
    }
    fmTrack.LoadTracks(names, session.TrackNames, session.StateLock);
    result = fmTrack.ShowModal();
  }
  {
    // After a Cancel with the same position still selected there is nothing to
    // give back, and a text the user typed into the track box stays.
    std::lock_guard<std::mutex> lock(session.StateLock);
    if (result == IDOK || board.TrackIndex() != remembered)
      board.SelectTrack(remembered, session.TrackNames);
  }
  host.Repaint();
  if (result == IDOK) host.SendTracks();
}

void Car1Click(TOptionHost& host) {
  TSession& session = host.Session();
  std::array<std::string, TfmCar::kCars> names;
  {
    TfmCar fmCar(host.OwnerWindow(), host.Messages());
    fmCar.Journal = &session.Journal;
    {
      std::lock_guard<std::mutex> lock(session.StateLock);
      names = session.CarNames;
    }
    fmCar.LoadCars(names);
    if (fmCar.ShowModal() != IDOK) return;
    names = fmCar.Names();
  }
  {
    std::lock_guard<std::mutex> lock(session.StateLock);
    session.CarNames = names;
  }
  host.SendCars();
}
