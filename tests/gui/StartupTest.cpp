// Start-up of the status window: a refused start, the state after FormCreate,
// and the window's layout.
// Winsock's header must come before <windows.h>.
#include "tools/common/ToolNet.h"

#include <windows.h>

#include <filesystem>

#include "GuiFixture.h"
#include "app/ControlIds.h"
#include "app/Resources.h"

namespace {

// A loopback port on which nothing listens: bound once, then released.
int RefusedPort() {
  ToolNet::TNetStartup net;
  ToolNet::TSocket s = ToolNet::Listen("127.0.0.1", 0);
  int port = ToolNet::LocalPort(s);
  ToolNet::CloseSocket(s);
  return port;
}

RECT ClientBounds(HWND parent, HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

struct TPlace {
  const char* Name;
  int Left, Top, Width, Height;
};

void ExpectPlace(HWND parent, HWND control, const TPlace& p) {
  RECT r = ClientBounds(parent, control);
  EXPECT_EQ(r.left, p.Left) << p.Name;
  EXPECT_EQ(r.top, p.Top) << p.Name;
  if (p.Width > 0) {
    EXPECT_EQ(r.right - r.left, p.Width) << p.Name;
  }
  if (p.Height > 0) {
    EXPECT_EQ(r.bottom - r.top, p.Height) << p.Name;
  }
}

std::string FontFace(HWND control, LONG* height = nullptr) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  LOGFONTA lf = {};
  if (!font || !GetObjectA(font, sizeof lf, &lf)) return "";
  if (height) *height = lf.lfHeight;
  return lf.lfFaceName;
}

// The text colour the window sets when control asks how to draw its caption.
COLORREF CaptionColour(HWND window, HWND control) {
  HDC dc = CreateCompatibleDC(nullptr);
  SetTextColor(dc, RGB(1, 2, 3));
  SendMessageA(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(control));
  COLORREF colour = GetTextColor(dc);
  DeleteDC(dc);
  return colour;
}

std::string MenuText(HMENU menu, UINT position) {
  char buffer[64] = {};
  GetMenuStringA(menu, position, buffer, sizeof buffer, MF_BYPOSITION);
  return buffer;
}

using StartupTest = TGuiTest;

TEST_F(StartupTest, WithoutSettingsFile_ShowsOneMessageAndEnds) {
  TfmMain& form = StartForm();
  EXPECT_TRUE(App.Terminated());
  EXPECT_FALSE(IsWindowVisible(form.Handle()));
  RunFor(300);
  form.Destroy();
  EXPECT_EQ(Shown(), std::vector<std::string>{
                         "message: ORVANE installed not correctly: brennak.ini not found."});
  // Nothing of the start-up came about: no response file, no watcher, no connection.
  EXPECT_FALSE(std::filesystem::exists(Dir.File("response.txt")));
  EXPECT_FALSE(form.Session.LogThread);
  EXPECT_FALSE(form.IdTCPClient1.IsConnected());
}

TEST_F(StartupTest, WithoutLogFile_ShowsItsMessageAndEnds) {
  WriteSettings(RefusedPort());
  TfmMain& form = StartForm();
  EXPECT_TRUE(App.Terminated());
  form.Destroy();
  EXPECT_EQ(Shown(), std::vector<std::string>{"message: Cannot find file " + std::string(kLogName) +
                                              ". Strakon Dedicate Server shutdown?"});
  EXPECT_FALSE(form.Session.LogThread);
}

TEST_F(StartupTest, AfterStart_RedLampReconnectEnabledAndAvailableInGreen) {
  WriteSettings(RefusedPort());
  WriteLog({"Strakon dedicated server starting"});
  TfmMain& form = StartForm();
  ASSERT_FALSE(App.Terminated());
  // What FormCreate left, before the watcher's first report is taken over.
  EXPECT_TRUE(IsWindowVisible(form.LedRosso));
  EXPECT_FALSE(IsWindowVisible(form.LedVerde));
  EXPECT_EQ(form.ChatColour(), RGB(255, 0, 0));
  EXPECT_TRUE(MenuEnabled(IDM_CHAT1));
  EXPECT_FALSE(MenuEnabled(IDM_RETRIVEAUTOIP1));  // nothing automatic: the watcher runs
  EXPECT_EQ(Text(form.CBRace), "Available");
  EXPECT_FALSE(Checked(form.CBRace));
  EXPECT_EQ(form.RaceColour(), RGB(0, 128, 0));
  // The colours the window hands the controls when they draw their captions.
  EXPECT_EQ(CaptionColour(form.Handle(), form.CBRace), RGB(0, 128, 0));
  EXPECT_EQ(CaptionColour(form.Handle(), form.lchat), RGB(255, 0, 0));
  EXPECT_EQ(CaptionColour(form.Handle(), form.Label1), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(Text(form.Handle()), "Server Status");
  EXPECT_TRUE(form.Session.LogThread);
  EXPECT_TRUE(std::filesystem::exists(Dir.File("response.txt")));
}

TEST_F(StartupTest, ResponseFileThatCannotBeCreated_LeavesTheIndicatorAvailable) {
  WriteSettings(RefusedPort());
  WriteLog({"Strakon dedicated server starting"});
  std::filesystem::create_directory(Dir.File("response.txt"));
  TfmMain& form = StartForm();
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Text(form.CBRace), "Available");
  EXPECT_EQ(form.RaceColour(), RGB(0, 128, 0));
  EXPECT_FALSE(form.Session.LogThread);
}

TEST_F(StartupTest, Window_HasItsSizeCaptionBoxesAndPlace) {
  WriteSettings(RefusedPort());
  WriteLog({});
  TfmMain& form = StartForm();
  HWND w = form.Handle();
  RECT outer;
  GetWindowRect(w, &outer);
  EXPECT_EQ(outer.right - outer.left, 401);
  EXPECT_EQ(outer.bottom - outer.top, 502);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 401) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 502) / 2);
  // The client area is the outer size less frame, caption bar and menu bar.
  RECT client;
  GetClientRect(w, &client);
  LONG style = GetWindowLongA(w, GWL_STYLE);
  RECT adjusted = client;
  AdjustWindowRectEx(&adjusted, static_cast<DWORD>(style), TRUE,
                     static_cast<DWORD>(GetWindowLongA(w, GWL_EXSTYLE)));
  EXPECT_EQ(adjusted.right - adjusted.left, 401);
  EXPECT_EQ(adjusted.bottom - adjusted.top, 502);
  EXPECT_GE(client.right, 385 + 8);
  EXPECT_GE(client.bottom, 449);
  // Close box only.
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  char className[64];
  GetClassNameA(w, className, sizeof className);
  EXPECT_STREQ(className, "TfmMain");
  EXPECT_EQ(GetClassLongPtrA(w, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
  EXPECT_TRUE(SendMessageA(w, WM_GETICON, ICON_BIG, 0));
}

TEST_F(StartupTest, Controls_StandAtTheirPlacesInTheirFont) {
  WriteSettings(RefusedPort());
  WriteLog({});
  TfmMain& form = StartForm();
  HWND w = form.Handle();
  const TPlace places[] = {
      {"RGRalism", 8, 8, 185, 105},   {"RGRaceLen", 200, 8, 185, 105},
      {"RGAIStr", 8, 120, 185, 105},  {"CBDemage", 208, 128, 65, 17},
      {"CBRace", 296, 128, 89, 17},   {"CBReverse", 208, 152, 65, 17},
      {"LedRosso", 280, 152, 16, 16}, {"LedVerde", 280, 152, 16, 16},
      {"lchat", 300, 154, 0, 13},     {"Label1", 208, 180, 0, 13},
      {"AICC", 272, 176, 113, 21},    {"Label2", 208, 204, 0, 13},
      {"CBTrack", 240, 200, 145, 0},  {"SGRacer", 8, 232, 377, 217},
  };
  HWND controls[] = {form.RGRalism.Box(), form.RGRaceLen.Box(), form.RGAIStr.Box(), form.CBDemage,
                     form.CBRace,         form.CBReverse,       form.LedRosso,      form.LedVerde,
                     form.lchat,          form.Label1,          form.AICC,          form.Label2,
                     form.CBTrack,        form.SGRacer.Handle()};
  for (size_t i = 0; i < std::size(places); ++i) ExpectPlace(w, controls[i], places[i]);

  EXPECT_EQ(Text(form.RGRalism.Box()), "Realism");
  EXPECT_EQ(Text(form.RGRaceLen.Box()), "Race Length");
  EXPECT_EQ(Text(form.RGAIStr.Box()), "AI Strength");
  const char* realism[] = {"Arcade", "Intermediate realism", "Simulation"};
  const char* length[] = {"Sprint", "Short", "Long", "Insane"};
  const char* ai[] = {"Easy ai", "Intermediate ai", "Hard ai"};
  ASSERT_EQ(form.RGRalism.Count(), 3);
  ASSERT_EQ(form.RGRaceLen.Count(), 4);
  ASSERT_EQ(form.RGAIStr.Count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Text(form.RGRalism.Button(i)), realism[i]);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Text(form.RGRaceLen.Button(i)), length[i]);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Text(form.RGAIStr.Button(i)), ai[i]);
  EXPECT_EQ(Text(form.CBDemage), "Damage");
  EXPECT_EQ(Text(form.CBReverse), "Reverse");
  EXPECT_EQ(Text(form.lchat), "Chat Connection");
  EXPECT_EQ(Text(form.Label1), "AI Car Count");
  EXPECT_EQ(Text(form.Label2), "Track");
  EXPECT_EQ(Text(form.AICC), "");

  // The track box lists the track names in order and takes typed text.
  ASSERT_EQ(SendMessageA(form.CBTrack, CB_GETCOUNT, 0, 0), 8);
  char item[64];
  SendMessageA(form.CBTrack, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, "Gull Point");
  EXPECT_EQ(GetWindowLongA(form.CBTrack, GWL_STYLE) & 3, CBS_DROPDOWN);

  // The driver grid: 4 x 8, no title row, no scroll bars, read-only.
  EXPECT_EQ(form.SGRacer.ColCount(), 4);
  EXPECT_EQ(form.SGRacer.RowCount(), 8);
  const int widths[] = {64, 127, 114, 64};
  for (int col = 0; col < 4; ++col) EXPECT_EQ(form.SGRacer.ColWidth(col), widths[col]);
  LONG gridStyle = GetWindowLongA(form.SGRacer.Handle(), GWL_STYLE);
  EXPECT_FALSE(gridStyle & (WS_HSCROLL | WS_VSCROLL));

  for (HWND c : controls) {
    if (c == form.LedRosso || c == form.LedVerde || c == form.SGRacer.Handle()) continue;
    LONG height = 0;
    EXPECT_EQ(FontFace(c, &height), "MS Sans Serif");
    EXPECT_EQ(height, -11);  // 8 point at 96 dots per inch
  }
}

TEST_F(StartupTest, TabOrder_FollowsTheOperatorsLayout) {
  WriteSettings(RefusedPort());
  WriteLog({});
  TfmMain& form = StartForm();
  HWND expected[] = {form.RGRalism.Button(0),
                     form.RGRaceLen.Button(0),
                     form.RGAIStr.Button(0),
                     form.CBDemage,
                     form.CBReverse,
                     form.AICC,
                     form.CBTrack,
                     form.SGRacer.Handle(),
                     form.CBRace};
  HWND at = expected[0];
  for (size_t i = 1; i < std::size(expected); ++i) {
    at = GetNextDlgTabItem(form.Handle(), at, FALSE);
    // A combo box's tab stop is the box itself.
    char cls[32] = {}, txt[64] = {};
    GetClassNameA(at, cls, sizeof cls);
    GetWindowTextA(at, txt, sizeof txt);
    EXPECT_EQ(at, expected[i]) << "tab stop " << i << " is " << cls << " " << txt;
  }
}

TEST_F(StartupTest, Menus_HaveTheirCaptions) {
  WriteSettings(RefusedPort());
  WriteLog({});
  TfmMain& form = StartForm();
  HMENU bar = form.MainMenu1;
  ASSERT_EQ(GetMenu(form.Handle()), bar);
  ASSERT_EQ(GetMenuItemCount(bar), 2);
  EXPECT_EQ(MenuText(bar, 0), "File");
  EXPECT_EQ(MenuText(bar, 1), "Option");
  HMENU file = GetSubMenu(bar, 0);
  ASSERT_EQ(GetMenuItemCount(file), 5);
  EXPECT_EQ(MenuText(file, 0), "Retrive Auto IP");
  EXPECT_EQ(MenuText(file, 1), "Reconnect to Chat");
  EXPECT_EQ(MenuText(file, 2), "Iconize");
  EXPECT_TRUE(GetMenuState(file, 3, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(MenuText(file, 4), "Exit");
  HMENU option = GetSubMenu(bar, 1);
  ASSERT_EQ(GetMenuItemCount(option), 3);
  EXPECT_EQ(MenuText(option, 0), "Connection");
  EXPECT_EQ(MenuText(option, 1), "Track");
  EXPECT_EQ(MenuText(option, 2), "Car");
}

}  // namespace
