#pragma once

#include <windows.h>

// The window procedure of a window that a C++ object owns. The object comes in
// CreateWindowExA's last parameter, is kept in GWLP_USERDATA while the window
// lives and let go at WM_NCDESTROY, so no message reaches an object whose
// window is gone. TWindow makes this function its friend and has a member
// `HWND Handle_` and `LRESULT OnMessage(UINT, WPARAM, LPARAM)`.
template <class TWindow>
LRESULT CALLBACK ObjectWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* self = static_cast<TWindow*>(create->lpCreateParams);
    self->Handle_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    self->Handle_ = nullptr;
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return self->OnMessage(message, wParam, lParam);
}
