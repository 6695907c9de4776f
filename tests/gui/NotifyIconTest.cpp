// "Iconize", the icon's callback, and the icon across a restart of the shell
// and the end of the program.
#include <windows.h>

#include <cstring>

#include "GuiFixture.h"
#include "app/Resources.h"
#include "support/ChatServerProcess.h"

namespace {

class NotifyIconTest : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    Server = std::make_unique<TChatServerProcess>();
    WriteSettings(Server->Port());
    WriteLog({"Strakon dedicated server starting"});
    StartForm();
    ASSERT_FALSE(App.Terminated());
  }
  void TearDown() override {
    TGuiTest::TearDown();
    Server.reset();
  }
  void IconMessage(LPARAM mouse) { SendMessageA(Form->Handle(), 1024, 1, mouse); }
  void ExpectRecord(const NOTIFYICONDATAA& d) { ExpectRecord(d, Form->Handle()); }
  void ExpectRecord(const NOTIFYICONDATAA& d, HWND window) {
    EXPECT_EQ(d.cbSize, NOTIFYICONDATAA_V1_SIZE);
#ifndef _WIN64
    EXPECT_EQ(d.cbSize, 88u);
#endif
    EXPECT_EQ(d.hWnd, window);
    EXPECT_EQ(d.uID, 1u);
    EXPECT_EQ(d.uFlags, 7u);
    EXPECT_EQ(d.uCallbackMessage, 1024u);
    EXPECT_NE(d.hIcon, nullptr);
    EXPECT_STREQ(d.szTip, "ORVANE Active");
  }
  std::unique_ptr<TChatServerProcess> Server;
};

TEST_F(NotifyIconTest, Iconize_HidesTheWindowAndAddsTheIcon) {
  Command(IDM_CLOSE1);
  EXPECT_FALSE(IsWindowVisible(Form->Handle()));
  ASSERT_EQ(Shell.Calls.size(), 1u);
  EXPECT_EQ(Shell.Calls[0].Message, static_cast<DWORD>(NIM_ADD));
  ExpectRecord(Shell.Calls[0].Data);
}

TEST_F(NotifyIconTest, OtherMouseMessages_DoNothing) {
  Command(IDM_CLOSE1);
  for (LPARAM mouse : {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_MOUSEMOVE, WM_LBUTTONUP,
                       WM_LBUTTONDBLCLK, WM_MBUTTONDOWN})
    IconMessage(mouse);
  EXPECT_FALSE(IsWindowVisible(Form->Handle()));
  EXPECT_EQ(Shell.Calls.size(), 1u);
}

TEST_F(NotifyIconTest, LeftPress_DeletesTheIconAndShowsTheWindow) {
  Command(IDM_CLOSE1);
  IconMessage(WM_LBUTTONDOWN);
  EXPECT_TRUE(IsWindowVisible(Form->Handle()));
  ASSERT_EQ(Shell.Calls.size(), 2u);
  EXPECT_EQ(Shell.Calls[1].Message, static_cast<DWORD>(NIM_DELETE));
  // The same record deletes what it added.
  EXPECT_EQ(std::memcmp(&Shell.Calls[0].Data, &Shell.Calls[1].Data, sizeof(NOTIFYICONDATAA)), 0);
  // Iconized again, the icon comes back.
  Command(IDM_CLOSE1);
  ASSERT_EQ(Shell.Calls.size(), 3u);
  EXPECT_EQ(Shell.Calls[2].Message, static_cast<DWORD>(NIM_ADD));
}

TEST_F(NotifyIconTest, TaskbarRecreated_WhileIconized_AddsTheIconAgain) {
  UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  SendMessageA(Form->Handle(), taskbarCreated, 0, 0);
  EXPECT_TRUE(Shell.Calls.empty());  // not iconized: no icon to restore
  Command(IDM_CLOSE1);
  SendMessageA(Form->Handle(), taskbarCreated, 0, 0);
  ASSERT_EQ(Shell.Calls.size(), 2u);
  EXPECT_EQ(Shell.Calls[1].Message, static_cast<DWORD>(NIM_ADD));
  ExpectRecord(Shell.Calls[1].Data);
  // And the window still comes back with a left press.
  IconMessage(WM_LBUTTONDOWN);
  EXPECT_TRUE(IsWindowVisible(Form->Handle()));
  EXPECT_EQ(Shell.Calls.back().Message, static_cast<DWORD>(NIM_DELETE));
}

TEST_F(NotifyIconTest, EndWhileIconized_RemovesTheIcon) {
  Command(IDM_CLOSE1);
  HWND window = Form->Handle();
  // The window is hidden: the end comes from outside, by its close message.
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(RunUntil([&] { return App.Terminated(); }, 5000));
  Form->Destroy();
  ASSERT_EQ(Shell.Calls.size(), 2u);
  EXPECT_EQ(Shell.Calls[1].Message, static_cast<DWORD>(NIM_DELETE));
  ExpectRecord(Shell.Calls[1].Data, window);
}

TEST_F(NotifyIconTest, EndWhileShown_AsksNothingOfTheShell) {
  ExitProgram();
  EXPECT_TRUE(Shell.Calls.empty());
}

}  // namespace
