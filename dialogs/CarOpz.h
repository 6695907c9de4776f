#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "dialogs/DialogWindow.h"
#include "platform/MessageBox.h"
#include "session/Journal.h"

// "Car Configuration": the names of the thirteen cars (an empty name marks a
// free place). "Save" writes [CAR] CAR01..CAR13 and closes with OK, even when
// the settings file is missing; the status window takes the names after an OK.
class TfmCar {
 public:
  static constexpr const char* kCaption = "Car Configuration";
  static constexpr int kWidth = 552;
  static constexpr int kHeight = 187;
  static constexpr int kCars = 13;

  enum TControlId : int {
    kIdBitBtn1 = 10,
    kIdBitBtn2 = IDCANCEL,
    // Carn is kIdCar1 + n - 1, its label kIdLabel1 + n - 1.
    kIdCar1 = 100,
    kIdLabel1 = 120,
  };

  TfmCar(HWND owner, TMessageBoxPort& messages);

  // The edit Carn shows names[n - 1].
  void LoadCars(const std::array<std::string, kCars>& names);
  void BitBtn1Click();
  int ShowModal() { return Form.ShowModal(); }
  // What the edits hold, Car1 first, as typed.
  std::array<std::string, kCars> Names() const;

  TDialogWindow Form;
  // Where a save is told; none: nowhere.
  TJournal* Journal = nullptr;
  // Car1 .. Car13.
  std::array<HWND, kCars> Car = {};
  HWND BitBtn1 = nullptr;
  HWND BitBtn2 = nullptr;
};
