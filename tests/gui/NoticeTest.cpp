// The notice window that stands while the user-interface thread is blocked.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "dialogs/message.h"

namespace {

std::string TextOf(HWND window) {
  char buffer[256] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

TEST(NoticeTest, ShowNotice_SetsCaptionAndCentredText) {
  Tfmmsg fmmsg(nullptr);
  EXPECT_EQ(TextOf(fmmsg.Handle()), "Update Connection Parameters");
  EXPECT_EQ(TextOf(fmmsg.Label1), "Disconnect from old server and connect to new server");
  fmmsg.ShowNotice("Shutdown connection to chat server", "Shutdown");
  fmmsg.Show();
  EXPECT_TRUE(IsWindowVisible(fmmsg.Handle()));
  EXPECT_EQ(TextOf(fmmsg.Handle()), "Shutdown");
  EXPECT_EQ(TextOf(fmmsg.Label1), "Shutdown connection to chat server");
  EXPECT_EQ(GetWindowLongA(fmmsg.Label1, GWL_STYLE) & SS_TYPEMASK, SS_CENTER);
  RECT label;
  GetWindowRect(fmmsg.Label1, &label);
  MapWindowPoints(nullptr, fmmsg.Handle(), reinterpret_cast<POINT*>(&label), 2);
  EXPECT_EQ(label.left, 0);
  EXPECT_EQ(label.top, 8);
  EXPECT_EQ(label.right - label.left, 256);
  EXPECT_EQ(label.bottom - label.top, 13);
}

TEST(NoticeTest, Window_HasNoTitleBarButtonsAndStandsCentred) {
  Tfmmsg fmmsg(nullptr);
  RECT outer;
  GetWindowRect(fmmsg.Handle(), &outer);
  EXPECT_EQ(outer.right - outer.left, 283);
  EXPECT_EQ(outer.bottom - outer.top, 53);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 283) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 53) / 2);
  LONG style = GetWindowLongA(fmmsg.Handle(), GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_FALSE(style & WS_SYSMENU);  // no close box, nor any other button
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
}

TEST(NoticeTest, Destroyed_WithTheObject) {
  HWND window;
  {
    Tfmmsg fmmsg(nullptr);
    window = fmmsg.Handle();
    EXPECT_TRUE(IsWindow(window));
  }
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
