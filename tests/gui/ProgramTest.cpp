// The shipped orvane.exe, started as the operator starts it: in a folder of
// its own, driven only through its windows.
#include <windows.h>

#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "chat/Envelope.h"
#include "support/ChatServerProcess.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace {

std::string ProgramPath() {
  std::string path = ORVANE_PROGRAM;
  // The build folder is a Unix path; Wine shows the Unix root as drive Z:.
  if (path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < static_cast<DWORD>(timeoutMs);
       Sleep(20))
    if (done()) return true;
  return done();
}

TEST(ProgramTest, WithoutSettingsFile_ShowsItsMessageAndEnds) {
  TTempDir dir;
  TProcess program(ProgramPath(), {}, dir.Path());
  HWND box = nullptr;
  // Wine takes a few seconds to start a program.
  ASSERT_TRUE(WaitFor([&] { return (box = FindWindowA("#32770", "ORVANE")) != nullptr; }, 60000));
  char text[256] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  EXPECT_STREQ(text, "ORVANE installed not correctly: brennak.ini not found.");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(program.Wait(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("response.txt")));
}

TEST(ProgramTest, AnnouncesTheServerAndLeavesTheChatWhenClosed) {
  TTempDir dir;
  TChatServerProcess server;
  WriteFileBytes(dir.File("Brennak.ini"),
                 "[FILE]\r\nLOG=game.log\r\n[DEFAULT]\r\nREFRESHTIME=200\r\nPORT=" +
                     std::to_string(server.Port()) + "\r\n");
  WriteFileBytes(dir.File("game.log"),
                 "Server: Game \"Quay Side\" created, running...\r\n"
                 "Server: User Connected: Bob (3) @ 10.0.0.5:2300\r\n");
  TProcess program(ProgramPath(), {}, dir.Path());
  ASSERT_TRUE(server.WaitForOutput("DRIVERS: Bob", 60000));
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] { return (window = FindWindowA("TfmMain", "Server Status: Quay Side")) != nullptr; },
      10000));
  EXPECT_TRUE(IsWindowVisible(window));
  // The grid's text, as another program reads it (GetWindowText would not ask
  // a window of another process).
  HWND gridWindow = FindWindowExA(window, nullptr, "OrvaneTextGrid", nullptr);
  char grid[512] = {};
  EXPECT_TRUE(WaitFor(
      [&] {
        SendMessageA(gridWindow, WM_GETTEXT, sizeof grid, reinterpret_cast<LPARAM>(grid));
        return std::string(grid).find("3\tBob\t10.0.0.5:2300\t") != std::string::npos;
      },
      10000))
      << grid;

  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.Wait(), 0);
  ASSERT_TRUE(server.WaitForOutput("/quit", 10000));
  auto lines = server.ReceivedLines();
  EXPECT_EQ(lines.front(), ChatEnvelope("/signon\t_Quay_Side"));
  EXPECT_EQ(lines.back(), ChatEnvelope("/quit"));
  std::string response = ReadFileBytes(dir.File("response.txt"));
  EXPECT_FALSE(response.empty());
  EXPECT_EQ(response.substr(response.size() - 2), "\r\n");
}

TEST(ProgramTest, WithoutAUsableSocketLibrary_ShowsWhyAndEnds) {
  TTempDir dir;
  WriteFileBytes(dir.File("Brennak.ini"), "[FILE]\r\nLOG=game.log\r\n");
  WriteFileBytes(dir.File("game.log"), "");
  // The shipped file under a name of its own, for which Wine is told that the
  // socket library is disabled (an empty load order): loading it fails as it
  // does on a Windows whose Winsock is broken. Other tests starting the
  // program meanwhile are not touched.
  const std::string name = "orvane-nosockets.exe";
  ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), dir.File(name).c_str(), FALSE));
  const std::string key = "Software\\Wine\\AppDefaults\\" + name;
  HKEY overrides;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\DllOverrides").c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &overrides, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(overrides, "ws2_32", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
  RegCloseKey(overrides);
  TProcess program(dir.File(name), {}, dir.Path());
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = FindWindowA("#32770", "ORVANE")) != nullptr; }, 60000));
  char text[512] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  EXPECT_NE(std::string(text).find("Error on loading Winsock2 library (WS2_32.DLL)"),
            std::string::npos)
      << text;
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(program.Wait(), 1);
  RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
}

}  // namespace
