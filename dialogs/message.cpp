#include "dialogs/message.h"

#include "app/FormFont.h"

namespace {
// What the notice says until ShowNotice replaces it.
constexpr const char* kDefaultCaption = "Update Connection Parameters";
constexpr const char* kDefaultText = "Disconnect from old server and connect to new server";

void RegisterNoticeClass(HINSTANCE instance) {
  WNDCLASSA existing;
  if (GetClassInfoA(instance, Tfmmsg::kClassName, &existing)) return;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_WAIT);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = Tfmmsg::kClassName;
  RegisterClassA(&wc);
}
}  // namespace

Tfmmsg::Tfmmsg(HWND owner) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterNoticeClass(instance);
  Font_ = CreateFormFont();
  // A caption without a system menu: no close box, nothing to press.
  Handle_ = CreateWindowExA(WS_EX_DLGMODALFRAME, kClassName, kDefaultCaption,
                            WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN, 0, 0, kWidth, kHeight, owner,
                            nullptr, instance, nullptr);
  CentreOnDesktop(Handle_, kWidth, kHeight);
  Label1 = CreateWindowExA(0, "STATIC", kDefaultText, WS_CHILD | WS_VISIBLE | SS_CENTER, 0, 8, 256,
                           13, Handle_, nullptr, instance, nullptr);
  SendMessageA(Label1, WM_SETFONT, reinterpret_cast<WPARAM>(Font_), FALSE);
}

Tfmmsg::~Tfmmsg() {
  if (Handle_) DestroyWindow(Handle_);
  if (Font_) DeleteObject(Font_);
}

void Tfmmsg::ShowNotice(const std::string& text, const std::string& caption) {
  SetWindowTextA(Handle_, caption.c_str());
  SetWindowTextA(Label1, text.c_str());
}

void Tfmmsg::Show() {
  ShowWindow(Handle_, SW_SHOWNOACTIVATE);
  UpdateWindow(Handle_);
  // Under Wine the drawing reaches the X server only when the thread next
  // looks at its queue: one look, without taking anything out of it, before
  // the caller blocks.
  MSG msg;
  PeekMessageA(&msg, Handle_, 0, 0, PM_NOREMOVE);
}
