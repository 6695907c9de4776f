#include "DialogScript.h"

#include <map>

namespace {
// Timer procedures get no context; the scripts alive on this thread, by timer.
thread_local std::map<UINT_PTR, TDialogScript*> gScripts;

struct TFind {
  const std::string* Caption;
  HWND Found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM param) {
  auto* find = reinterpret_cast<TFind*>(param);
  if (IsWindowVisible(window) && WindowText(window) == *find->Caption) {
    find->Found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CloseDialogs(HWND window, LPARAM) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::string(className) == "#32770") PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}
}  // namespace

TDialogScript::TDialogScript(std::string caption, std::function<void(HWND dialog)> steps)
    : Caption_(std::move(caption)), Steps_(std::move(steps)) {
  Deadline_ = GetTickCount() + kTimeoutMs;
  Timer_ = SetTimer(nullptr, 0, 20, &TDialogScript::OnTimer);
  gScripts[Timer_] = this;
}

TDialogScript::~TDialogScript() {
  if (Timer_) {
    KillTimer(nullptr, Timer_);
    gScripts.erase(Timer_);
  }
}

void CALLBACK TDialogScript::OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
  auto found = gScripts.find(id);
  if (found != gScripts.end()) found->second->Tick();
}

void TDialogScript::Tick() {
  if (!Ran_) {
    if (HWND dialog = FindThreadWindow(Caption_)) {
      // Once only: the steps may run message loops of their own, which call
      // this timer again.
      Ran_ = true;
      Steps_(dialog);
      return;
    }
  }
  if (GetTickCount() > Deadline_) {
    TimedOut_ = !Ran_ || FindThreadWindow(Caption_) != nullptr;
    KillTimer(nullptr, Timer_);
    gScripts.erase(Timer_);
    Timer_ = 0;
    if (TimedOut_) EnumThreadWindows(GetCurrentThreadId(), &CloseDialogs, 0);
  }
}

HWND FindThreadWindow(const std::string& caption) {
  TFind find{&caption, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), &MatchCaption, reinterpret_cast<LPARAM>(&find));
  return find.Found;
}

HWND Control(HWND dialog, int id) {
  return GetDlgItem(dialog, id);
}

RECT ClientPlace(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string WindowText(HWND window) {
  char buffer[4096];
  int n = GetWindowTextA(window, buffer, sizeof buffer);
  return std::string(buffer, static_cast<size_t>(n > 0 ? n : 0));
}

bool IsChecked(HWND button) {
  return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetText(HWND control, const std::string& text) {
  SetWindowTextA(control, text.c_str());
}

void Press(HWND button) {
  SendMessageA(button, BM_CLICK, 0, 0);
}

int TextWidth(HWND control) {
  HDC dc = GetDC(control);
  HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
  std::string text = WindowText(control);
  SIZE size = {};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return size.cx;
}

namespace {
bool ReadBitmap(HBITMAP bitmap, unsigned* pixels) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 16;
  info.bmiHeader.biHeight = -16;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC dc = GetDC(nullptr);
  int rows = GetDIBits(dc, bitmap, 0, 16, pixels, &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  return rows == 16;
}
}  // namespace

TGlyphPixels::TGlyphPixels(HWND button) {
  auto glyph = static_cast<HICON>(GetPropA(button, "OrvaneGlyph"));
  ICONINFO info = {};
  if (!glyph || !GetIconInfo(glyph, &info)) return;
  Loaded = info.hbmColor && ReadBitmap(info.hbmColor, Colour_) && ReadBitmap(info.hbmMask, Mask_);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
}

COLORREF TGlyphPixels::Colour(int x, int y) const {
  unsigned bgr = Colour_[y * 16 + x];
  return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
}

bool TGlyphPixels::Clear(int x, int y) const {
  return (Mask_[y * 16 + x] & 0xFFFFFF) != 0;
}
