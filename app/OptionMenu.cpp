// The Option menu: each command opens its dialog (dialogs/ConnOpz, TrackOpz,
// CarOpz) and applies what the dialog saved (dialogs/OptionCommands).
#include "app/MainWindow.h"
#include "dialogs/OptionCommands.h"

namespace {

// The status window as the Option menu's commands see it.
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
  void Repaint() override { Form_.Repaint(); }

 private:
  TfmMain& Form_;
};

}  // namespace

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
