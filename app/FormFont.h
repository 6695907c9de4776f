#pragma once

#include <windows.h>

// The font of every window of the program: "MS Sans Serif", 8 point at 96 dots
// per inch. The caller owns the font and deletes it with DeleteObject.
inline HFONT CreateFormFont() {
  constexpr int kPointSize = 8;
  constexpr int kDotsPerInch = 96;
  return CreateFontA(-MulDiv(kPointSize, kDotsPerInch, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
}

// Places a window of the given outer size at the centre of the desktop.
inline void CentreOnDesktop(HWND window, int width, int height) {
  int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}
