#include "dialogs/MainOptionHost.h"

void TMainOptionHost::Repaint() {
  Form_.ShowBoard();
  // At once: the commands block this thread right after (the stop of the chat
  // waits for the watcher), and the window must not stay half drawn meanwhile.
  RedrawWindow(Form_.Handle(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}
