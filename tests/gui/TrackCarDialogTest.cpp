// The Track and Car dialogs: their forms, and what "Save" writes.
#include <windows.h>

#include <mutex>

#include "DialogFixture.h"
#include "DialogScript.h"
#include "dialogs/CarOpz.h"
#include "dialogs/TrackOpz.h"

namespace {

using TrackDialogTest = TDialogTest;
using CarDialogTest = TDialogTest;

const TTrackList kTracks = {"Torvane",     "Gull Point",  "Ambermoor", "Dusk Plateau",
                            "Fern Hollow", "Tower Heath", "Caddock",   "Ostvik"};

void ExpectOuterSize(HWND window, int width, int height) {
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_EQ(r.right - r.left, width);
  EXPECT_EQ(r.bottom - r.top, height);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
  LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
}

void ExpectPlace(HWND control, int left, int top, int width, int height) {
  RECT r = ClientPlace(control);
  EXPECT_EQ(r.left, left) << WindowText(control);
  EXPECT_EQ(r.top, top) << WindowText(control);
  if (width >= 0) {
    EXPECT_EQ(r.right - r.left, width) << WindowText(control);
  }
  EXPECT_EQ(r.bottom - r.top, height) << WindowText(control);
}

std::vector<HWND> TabOrder(HWND window) {
  std::vector<HWND> order;
  HWND at = GetNextDlgTabItem(window, nullptr, FALSE);
  for (int i = 0; i < 40 && at && (order.empty() || at != order.front()); ++i) {
    order.push_back(at);
    at = GetNextDlgTabItem(window, at, FALSE);
  }
  return order;
}

// The lines of one section of the file, as written.
std::string Section(const std::string& ini, const std::string& name) {
  size_t start = ini.find("[" + name + "]\r\n");
  if (start == std::string::npos) return "<no section>";
  start += name.size() + 4;
  size_t end = ini.find("\r\n[", start);
  return ini.substr(start, end == std::string::npos ? std::string::npos : end + 2 - start);
}

// ---- Track

TEST_F(TrackDialogTest, Form_TwoColumnsOfLabelledEditsAndTheButtons) {
  TfmTrack dialog(nullptr, Boxes);
  HWND window = dialog.Form.Handle();
  EXPECT_EQ(WindowText(window), "Track Configuration");
  ExpectOuterSize(window, 523, 174);
  for (int n = 1; n <= 8; ++n) {
    const int row = (n - 1) % 4;
    HWND label = Control(window, TfmTrack::kIdLabel1 + n - 1);
    EXPECT_EQ(WindowText(label), "Track N\xB0 " + std::to_string(n) + ":");
    ExpectPlace(label, n <= 4 ? 6 : 262, 12 + 24 * row, -1, 13);
    ExpectPlace(dialog.TRK[n - 1], n <= 4 ? 64 : 320, 8 + 24 * row, 185, 21);
    EXPECT_EQ(Control(window, TfmTrack::kIdTRK1 + n - 1), dialog.TRK[n - 1]);
  }
  ExpectPlace(dialog.BitBtn1, 112, 112, 75, 25);
  ExpectPlace(dialog.BitBtn2, 328, 112, 75, 25);
  EXPECT_EQ(WindowText(dialog.BitBtn1), "Save");
  EXPECT_EQ(WindowText(dialog.BitBtn2), "Cancel");
  std::vector<HWND> expected(dialog.TRK.begin(), dialog.TRK.end());
  expected.push_back(dialog.BitBtn1);
  expected.push_back(dialog.BitBtn2);
  EXPECT_EQ(TabOrder(window), expected);
}

TEST_F(TrackDialogTest, Save_WritesTheEightNamesAsTypedAndRebuildsTheList) {
  TTrackList list = kTracks;
  std::mutex lock;
  TfmTrack dialog(nullptr, Boxes);
  dialog.LoadTracks(list, list, lock);
  for (int n = 0; n < 8; ++n) EXPECT_EQ(WindowText(dialog.TRK[n]), kTracks[n]);
  SetText(dialog.TRK[1], "Harbour Night");
  SetText(dialog.TRK[6], "Spaced  Out");
  SetText(dialog.TRK[7], "");
  const std::string before = Ini();
  dialog.BitBtn1Click();
  EXPECT_EQ(dialog.Form.ModalResult(), IDOK);
  EXPECT_TRUE(Shown().empty());
  TTrackList expected = kTracks;
  expected[1] = "Harbour Night";
  expected[6] = "Spaced  Out";
  expected[7] = "";
  EXPECT_EQ(list, expected);
  std::string after = WithKey(before, "TRK2", "Gull Point", "Harbour Night");
  after = WithKey(after, "TRK7", "Caddock", "Spaced  Out");
  after = WithKey(after, "TRK8", "Ostvik", "");
  EXPECT_EQ(Ini(), after);
}

TEST_F(TrackDialogTest, Save_WithoutTheSettingsFileLeavesTheListAndClosesWithOk) {
  TTrackList list = kTracks;
  std::mutex lock;
  TfmTrack dialog(nullptr, Boxes);
  dialog.LoadTracks(list, list, lock);
  SetText(dialog.TRK[0], "Elsewhere");
  RemoveIni();
  dialog.BitBtn1Click();
  EXPECT_EQ(dialog.Form.ModalResult(), IDOK);
  EXPECT_EQ(Shown(), std::vector<std::string>{
                         "message: ORVANE installed not correctly: brennak.ini not found."});
  EXPECT_EQ(list, kTracks);
  EXPECT_EQ(GetFileAttributesA(Dir.File("Brennak.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(TrackDialogTest, Save_FailedWriteShowsTheErrorBoxAndLeavesListAndDialog) {
  TTrackList list = kTracks;
  std::mutex lock;
  TfmTrack dialog(nullptr, Boxes);
  dialog.LoadTracks(list, list, lock);
  SetText(dialog.TRK[0], "Elsewhere");
  LockIni();
  Press(dialog.BitBtn1);
  EXPECT_EQ(dialog.Form.ModalResult(), 0);
  EXPECT_EQ(Shown(), std::vector<std::string>{"error: Unable to write to ./Brennak.ini."});
  EXPECT_EQ(list, kTracks);
}

TEST_F(TrackDialogTest, ShowModal_CancelAfterEditingChangesNothing) {
  TTrackList list = kTracks;
  std::mutex lock;
  TfmTrack dialog(nullptr, Boxes);
  dialog.LoadTracks(list, list, lock);
  const std::string before = Ini();
  TDialogScript script("Track Configuration", [&](HWND) {
    SetText(dialog.TRK[3], "Changed");
    Press(dialog.BitBtn2);
  });
  EXPECT_EQ(dialog.ShowModal(), IDCANCEL);
  EXPECT_TRUE(script.Ran());
  EXPECT_EQ(Ini(), before);
  EXPECT_EQ(list, kTracks);
}

// ---- Car

TEST_F(CarDialogTest, Form_ThreeColumnsOfLabelledEditsAndTheButtons) {
  TfmCar dialog(nullptr, Boxes);
  HWND window = dialog.Form.Handle();
  EXPECT_EQ(WindowText(window), "Car Configuration");
  ExpectOuterSize(window, 552, 187);
  struct TColumn {
    int First, Last, LabelLeft, EditLeft;
  };
  for (TColumn c : {TColumn{1, 4, 8, 56}, TColumn{5, 9, 184, 232}, TColumn{10, 13, 360, 414}}) {
    for (int n = c.First; n <= c.Last; ++n) {
      const int top = 8 + 24 * (n - c.First);
      HWND label = Control(window, TfmCar::kIdLabel1 + n - 1);
      EXPECT_EQ(WindowText(label), "Car N\xB0 " + std::to_string(n) + ":");
      ExpectPlace(label, c.LabelLeft, top + 4, -1, 13);
      ExpectPlace(dialog.Car[n - 1], c.EditLeft, top, 121, 21);
    }
  }
  ExpectPlace(dialog.BitBtn1, 104, 128, 75, 25);
  ExpectPlace(dialog.BitBtn2, 360, 128, 75, 25);
  std::vector<HWND> expected(dialog.Car.begin(), dialog.Car.end());
  expected.push_back(dialog.BitBtn1);
  expected.push_back(dialog.BitBtn2);
  EXPECT_EQ(TabOrder(window), expected);
  // The labels of the third column end before its edits.
  RECT label10 = ClientPlace(Control(window, TfmCar::kIdLabel1 + 9));
  EXPECT_LE(label10.right, 414);
}

TEST_F(CarDialogTest, Save_WritesAllThirteenKeysInOrderWithEmptyOnesEmpty) {
  TfmCar dialog(nullptr, Boxes);
  std::array<std::string, 13> names;
  names[0] = "Falco";
  names[1] = "Brio";
  dialog.LoadCars(names);
  EXPECT_EQ(WindowText(dialog.Car[0]), "Falco");
  EXPECT_EQ(WindowText(dialog.Car[2]), "");
  SetText(dialog.Car[1], "");
  SetText(dialog.Car[4], "Vento  GT");
  SetText(dialog.Car[12], "Last");
  const std::string before = Ini();
  dialog.BitBtn1Click();
  EXPECT_EQ(dialog.Form.ModalResult(), IDOK);
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(Section(Ini(), "CAR"),
            "CAR01=Falco\r\nCAR02=\r\nCAR03=\r\nCAR04=\r\nCAR05=Vento  GT\r\nCAR06=\r\n"
            "CAR07=\r\nCAR08=\r\nCAR09=\r\nCAR10=\r\nCAR11=\r\nCAR12=\r\nCAR13=Last\r\n");
  // Nothing outside the section moved.
  EXPECT_EQ(Section(Ini(), "SERVER"), Section(before, "SERVER"));
  EXPECT_EQ(Section(Ini(), "NETWORK"), Section(before, "NETWORK"));
  std::array<std::string, 13> typed = dialog.Names();
  EXPECT_EQ(typed[4], "Vento  GT");
  EXPECT_EQ(typed[1], "");
}

TEST_F(CarDialogTest, Save_WithoutTheSettingsFileSaysSoAndClosesWithOk) {
  TfmCar dialog(nullptr, Boxes);
  dialog.LoadCars({});
  SetText(dialog.Car[0], "Falco");
  RemoveIni();
  dialog.BitBtn1Click();
  EXPECT_EQ(dialog.Form.ModalResult(), IDOK);
  EXPECT_EQ(Shown(), std::vector<std::string>{
                         "message: ORVANE installed not correctly: brennak.ini not found."});
  EXPECT_EQ(GetFileAttributesA(Dir.File("Brennak.ini").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(dialog.Names()[0], "Falco");
}

TEST_F(CarDialogTest, Save_FailedWriteShowsTheErrorBoxAndStaysOpen) {
  TfmCar dialog(nullptr, Boxes);
  dialog.LoadCars({});
  const std::string before = Ini();
  LockIni();
  Press(dialog.BitBtn1);
  EXPECT_EQ(dialog.Form.ModalResult(), 0);
  EXPECT_EQ(Shown(), std::vector<std::string>{"error: Unable to write to ./Brennak.ini."});
  UnlockIni();
  EXPECT_EQ(Ini(), before);
}

TEST_F(CarDialogTest, ShowModal_SaveThroughTheButtonClosesWithOk) {
  TfmCar dialog(nullptr, Boxes);
  dialog.LoadCars({});
  TDialogScript script("Car Configuration", [&](HWND) {
    SetText(dialog.Car[8], "Ninth");
    Press(dialog.BitBtn1);
  });
  EXPECT_EQ(dialog.ShowModal(), IDOK);
  EXPECT_TRUE(script.Ran());
  EXPECT_EQ(Key("CAR", "CAR09"), "Ninth");
}

}  // namespace
