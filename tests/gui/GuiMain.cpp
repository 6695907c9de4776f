// The GUI tests' entry. Under Wine without a window manager (Xvfb), hiding a
// window the window manager is supposed to manage waits two seconds for an
// answer that never comes; the tests' windows are left unmanaged instead, so
// Wine draws their frames itself and hides them at once. The setting applies
// to this test program only.
#include <windows.h>

#include <gtest/gtest.h>

namespace {
void LeaveWindowsUnmanagedUnderWine() {
  if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) return;
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER,
                      "Software\\Wine\\AppDefaults\\orvane_guitests.exe\\X11 Driver", 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
  RegCloseKey(key);
}
}  // namespace

int main(int argc, char** argv) {
  LeaveWindowsUnmanagedUnderWine();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
