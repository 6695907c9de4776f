// Placeholder entry until the status window exists: it says so and ends, so
// nobody mistakes this build for the finished controller.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MessageBoxA(nullptr, "This build of ORVANE has no status window yet.", "ORVANE",
              MB_OK | MB_ICONINFORMATION);
  return 1;
}
