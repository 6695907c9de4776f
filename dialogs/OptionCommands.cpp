#include "dialogs/OptionCommands.h"

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
  host.StopAll();
  session.RequestResend();
  host.StartMonitoring();
  fmmsg.reset();
  host.Repaint();
}

void rack1Click(TOptionHost& host) {
  TSession& session = host.Session();
  TRaceBoard& board = host.Board();
  int result;
  {
    TfmTrack fmTrack(host.OwnerWindow(), host.Messages());
    TTrackList names;
    {
      std::lock_guard<std::mutex> lock(session.StateLock);
      names = session.TrackNames;
    }
    fmTrack.LoadTracks(names, session.TrackNames, session.StateLock);
    result = fmTrack.ShowModal();
  }
  if (result == IDOK) {
    // The selected position stays selected and now shows its new name. The
    // log watcher runs on while the dialog is open: a track it selected from
    // the log meanwhile is the one kept, not the one selected before.
    std::lock_guard<std::mutex> lock(session.StateLock);
    int index = board.TrackIndex();
    if (index >= 0) board.SelectTrack(index, session.TrackNames);
  }
  host.Repaint();
  if (result == IDOK) host.SendTracks();
}

void Car1Click(TOptionHost& host) {
  TSession& session = host.Session();
  std::array<std::string, TfmCar::kCars> names;
  {
    TfmCar fmCar(host.OwnerWindow(), host.Messages());
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
