// The controls of the status window, at their places and sizes (pixels at 96
// dots per inch, relative to the client area), created in tab order.
#include "app/ControlIds.h"
#include "app/MainWindow.h"
#include "app/Resources.h"

namespace {
RECT Bounds(int left, int top, int width, int height) {
  return RECT{left, top, left + width, top + height};
}

HWND MakeControl(HWND parent, HFONT font, const char* windowClass, const char* text, DWORD style,
                 DWORD exStyle, const RECT& r, int id) {
  HWND control =
      CreateWindowExA(exStyle, windowClass, text, WS_CHILD | style, r.left, r.top, r.right - r.left,
                      r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                      GetModuleHandleA(nullptr), nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

// A label takes the width of its text, as the operator's font draws it: the
// widths below are those of "MS Sans Serif" on Windows, and another rendering of
// the font (Wine's) must not cut a word off.
HWND MakeLabel(HWND parent, HFONT font, const char* text, int left, int top, int width, int id) {
  HDC dc = GetDC(parent);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE extent = {};
  GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
  SelectObject(dc, old);
  ReleaseDC(parent, dc);
  if (extent.cx > 0) width = extent.cx;
  return MakeControl(parent, font, "STATIC", text, WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0,
                     Bounds(left, top, width, 13), id);
}

HWND MakeLamp(HWND parent, const RECT& r, int id, int icon) {
  HWND lamp = CreateWindowExA(0, "STATIC", "", WS_CHILD | SS_ICON | SS_REALSIZECONTROL, r.left,
                              r.top, r.right - r.left, r.bottom - r.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleA(nullptr), nullptr);
  HANDLE image = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(icon), IMAGE_ICON,
                            r.right - r.left, r.bottom - r.top, LR_SHARED);
  SendMessageA(lamp, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(image));
  // The icon may have changed the control's size; the lamp is 16 x 16.
  SetWindowPos(lamp, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  return lamp;
}
}  // namespace

void TfmMain::CreateControls() {
  HWND w = Handle_;
  constexpr DWORD kVisible = WS_VISIBLE;
  RGRalism.Create(w, kIdRGRalism, Bounds(8, 8, 185, 105), "Realism",
                  {"Arcade", "Intermediate realism", "Simulation"}, Font_);
  RGRaceLen.Create(w, kIdRGRaceLen, Bounds(200, 8, 185, 105), "Race Length",
                   {"Sprint", "Short", "Long", "Insane"}, Font_);
  RGAIStr.Create(w, kIdRGAIStr, Bounds(8, 120, 185, 105), "AI Strength",
                 {"Easy ai", "Intermediate ai", "Hard ai"}, Font_);
  CBDemage =
      MakeControl(w, Font_, "BUTTON", "Damage", kVisible | WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX,
                  0, Bounds(208, 128, 65, 17), kIdCBDemage);
  CBReverse =
      MakeControl(w, Font_, "BUTTON", "Reverse", kVisible | WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX,
                  0, Bounds(208, 152, 65, 17), kIdCBReverse);
  AICC = MakeControl(w, Font_, "EDIT", "", kVisible | WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL,
                     WS_EX_CLIENTEDGE, Bounds(272, 176, 113, 21), kIdAICC);
  // The height given to a combo box includes its drop-down list; the box
  // itself takes the height its font needs.
  CBTrack =
      MakeControl(w, Font_, "COMBOBOX", "",
                  kVisible | WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0,
                  Bounds(240, 200, 145, 21 + 8 * 16), kIdCBTrack);
  SGRacer.Create(w, kIdSGRacer, Bounds(8, 232, 377, 217), {64, 127, 114, 64}, 8, Font_);
  CBRace =
      MakeControl(w, Font_, "BUTTON", "In Race", kVisible | WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX,
                  0, Bounds(296, 128, 89, 17), kIdCBRace);
  // Neither lamp shows until the chat state is first set.
  LedRosso = MakeLamp(w, Bounds(280, 152, 16, 16), kIdLedRosso, IDI_LEDROSSO);
  LedVerde = MakeLamp(w, Bounds(280, 152, 16, 16), kIdLedVerde, IDI_LEDVERDE);
  lchat = MakeLabel(w, Font_, "Chat Connection", 300, 154, 79, kIdlchat);
  Label1 = MakeLabel(w, Font_, "AI Car Count", 208, 180, 60, kIdLabel1);
  Label2 = MakeLabel(w, Font_, "Track", 208, 204, 28, kIdLabel2);
}
