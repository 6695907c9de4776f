#pragma once

#include <windows.h>

#include "platform/MessageBox.h"
#include "session/RaceBoard.h"
#include "session/Session.h"

// What the Option menu's commands need of the status window. The window gives
// itself (tests give a stand-in with real dialogs and recorders).
class TOptionHost {
 public:
  virtual ~TOptionHost() = default;

  // The owner of the dialogs and of the notice window.
  virtual HWND OwnerWindow() = 0;
  virtual TSession& Session() = 0;
  virtual TRaceBoard& Board() = 0;
  // The window's message boxes; ShowError is the general error display.
  virtual TMessageBoxPort& Messages() = 0;
  // Stops the watcher and the receive thread, leaves the chat and disconnects.
  virtual void StopAll() = 0;
  // Resolves what is automatic and starts the watcher. May throw (a looked-up
  // port that is not a number); the command then ends with that error.
  virtual void StartMonitoring() = 0;
  // Post the track list / the car list in the chat room if connected.
  virtual void SendTracks() = 0;
  virtual void SendCars() = 0;
  // Puts the track list and the board on the window and paints it at once.
  virtual void Repaint() = 0;
};

// "Option" / "Connection": edits the own address and the chat server; after
// an OK the new values go into the session and the chat is restarted on them,
// with a notice on screen while the old connection is closed.
void Connection1Click(TOptionHost& host);
// "Option" / "Track": edits the track names; the track selected before the
// dialog is selected again after it (showing its new name after an OK), and
// after an OK the list is posted.
void rack1Click(TOptionHost& host);
// "Option" / "Car": edits the car names; after an OK the session takes them and
// the list is posted.
void Car1Click(TOptionHost& host);
