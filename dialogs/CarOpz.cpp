#include "dialogs/CarOpz.h"

#include "dialogs/DialogResources.h"
#include "session/SaveJournal.h"
#include "session/Settings.h"

namespace {
// Three columns: Car1..Car4, Car5..Car9 (the only fifth row), Car10..Car13.
struct TColumn {
  int First;
  int Last;
  int LabelLeft;
  int EditLeft;
};
constexpr TColumn kColumns[] = {{1, 4, 8, 56}, {5, 9, 184, 232}, {10, 13, 360, 414}};
}  // namespace

TfmCar::TfmCar(HWND owner, TMessageBoxPort& messages)
    : Form(owner, messages, kCaption, kWidth, kHeight) {
  for (const TColumn& column : kColumns) {
    for (int n = column.First; n <= column.Last; ++n) {
      const int top = 8 + 24 * (n - column.First);
      Form.AddLabel("Car N\xB0 " + std::to_string(n) + ":", column.LabelLeft, top + 4,
                    kIdLabel1 + n - 1);
      Car[n - 1] = Form.AddEdit(column.EditLeft, top, 121, 21, kIdCar1 + n - 1);
    }
  }
  BitBtn1 = Form.AddGlyphButton("Save", IDB_SAVEGLYPH, 104, 128, 75, 25, kIdBitBtn1);
  BitBtn2 = Form.AddGlyphButton("Cancel", IDB_CANCELGLYPH, 360, 128, 75, 25, kIdBitBtn2);
  Form.OnCommand([this](int id, int code) {
    if (id == kIdBitBtn1 && code == BN_CLICKED) BitBtn1Click();
  });
}

void TfmCar::LoadCars(const std::array<std::string, kCars>& names) {
  for (int n = 0; n < kCars; ++n) SetWindowTextA(Car[n], names[n].c_str());
}

std::array<std::string, TfmCar::kCars> TfmCar::Names() const {
  std::array<std::string, kCars> names;
  for (int n = 0; n < kCars; ++n) names[n] = TDialogWindow::Text(Car[n]);
  return names;
}

void TfmCar::BitBtn1Click() {
  // A failed write leaves here with its error and the dialog stays open.
  JournalSave(
      Journal, "Car", [&] { return SaveCarNames(Names(), Form.Messages()); },
      [] { return std::string("CAR01..CAR13"); });
  Form.Close(IDOK);
}
