// The program's resources: the lamps and the icon drawn for it, the version
// record, and a manifest without visual styles (the controls stay classic, so
// the colours of the indicator and the chat caption show as given).
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Resources.h"

namespace {

// The build folder is a Unix path; Wine shows the Unix root as drive Z:.
const std::string kProgram = "Z:" ORVANE_PROGRAM;

SIZE IconSize(HICON icon) {
  ICONINFO info = {};
  SIZE size = {0, 0};
  if (!GetIconInfo(icon, &info)) return size;
  BITMAP bm = {};
  GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
  size.cx = bm.bmWidth;
  size.cy = info.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return size;
}

TEST(ResourcesTest, Lamps_AreSixteenBySixteenIcons) {
  for (int id : {IDI_LEDROSSO, IDI_LEDVERDE}) {
    HICON icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 0, 0, 0));
    ASSERT_NE(icon, nullptr) << id;
    SIZE size = IconSize(icon);
    EXPECT_EQ(size.cx, 16);
    EXPECT_EQ(size.cy, 16);
    DestroyIcon(icon);
  }
}

TEST(ResourcesTest, ProgramIcon_ComesInBothShellSizes) {
  for (int size : {16, 32}) {
    HICON icon = static_cast<HICON>(LoadImageA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ORVANE), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(IconSize(icon).cx, size);
    DestroyIcon(icon);
  }
}

TEST(ResourcesTest, Program_CarriesVersionOneZeroZeroOne) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(kProgram.c_str(), &ignored);
  ASSERT_GT(size, 0u) << kProgram;
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoA(kProgram.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  char* product = nullptr;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904E4\\ProductName",
                             reinterpret_cast<void**>(&product), &length));
  EXPECT_STREQ(product, "ORVANE");
}

TEST(ResourcesTest, Program_HasAManifestWithoutVisualStyles) {
  HMODULE program = LoadLibraryExA(kProgram.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(program, nullptr) << kProgram;
  HRSRC manifest = FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(manifest, nullptr);
  HGLOBAL loaded = LoadResource(program, manifest);
  std::string text(static_cast<const char*>(LockResource(loaded)),
                   SizeofResource(program, manifest));
  EXPECT_EQ(text.find("Microsoft.Windows.Common-Controls"), std::string::npos) << text;
  HRSRC menu = FindResourceA(program, MAKEINTRESOURCEA(IDM_MAINMENU1), MAKEINTRESOURCEA(4));
  EXPECT_NE(menu, nullptr);
  FreeLibrary(program);
}

}  // namespace
