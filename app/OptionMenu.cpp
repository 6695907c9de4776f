// The Option menu: each command opens its dialog (dialogs/ConnOpz, TrackOpz,
// CarOpz) and applies what the dialog saved (dialogs/OptionCommands).
#include "app/MainWindow.h"
#include "dialogs/MainOptionHost.h"

void TfmMain::Connection1Click() {
  TMainOptionHost host(*this);
  ::Connection1Click(host);
}

void TfmMain::rack1Click() {
  TMainOptionHost host(*this);
  ::rack1Click(host);
}

void TfmMain::Car1Click() {
  TMainOptionHost host(*this);
  ::Car1Click(host);
}
