#pragma once

#include "app/MainWindow.h"
#include "dialogs/OptionCommands.h"

// The status window as the Option menu's commands see it. TfmMain's handlers
// run a command on one of these:
//   void TfmMain::Connection1Click() { TMainOptionHost host(*this); ::Connection1Click(host); }
class TMainOptionHost : public TOptionHost {
 public:
  explicit TMainOptionHost(TfmMain& form) : Form_(form) {}

  HWND OwnerWindow() override { return Form_.Handle(); }
  TSession& Session() override { return Form_.Session; }
  TRaceBoard& Board() override { return Form_.Board; }
  TMessageBoxPort& Messages() override { return Form_.Messages(); }
  void StopAll() override { Form_.StopAll(); }
  void StartMonitoring() override { Form_.StartSequence.StartMonitoring(); }
  void SendTracks() override { Form_.ChatLink.SendTracks(); }
  void SendCars() override { Form_.ChatLink.SendCars(); }
  void Repaint() override;

 private:
  TfmMain& Form_;
};
