#include "app/RadioGroup.h"

namespace {
constexpr int kButtonHeight = 17;
// Room the caption takes at the top of the frame, and the frame's margins.
constexpr int kCaptionSpace = 14;
constexpr int kBottomMargin = 4;
constexpr int kSideMargin = 8;
}  // namespace

void TRadioGroup::Create(HWND parent, int firstId, const RECT& bounds, const char* caption,
                         std::initializer_list<const char*> items, HFONT font) {
  FirstId_ = firstId;
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
  int width = bounds.right - bounds.left;
  int height = bounds.bottom - bounds.top;
  // The buttons come first: the frame is created after them so that it lies
  // below them and never paints over a button.
  int count = static_cast<int>(items.size());
  int slot = count > 0 ? (height - kCaptionSpace - kBottomMargin) / count : 0;
  int top = bounds.top + kCaptionSpace + ((height - kCaptionSpace - kBottomMargin) % count) / 2;
  int i = 0;
  for (const char* item : items) {
    // The first button starts the group and is the tab stop of the whole group.
    DWORD style = WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
    int y = top + i * slot + (slot - kButtonHeight) / 2;
    HWND button = CreateWindowExA(0, "BUTTON", item, style, bounds.left + kSideMargin, y,
                                  width - 2 * kSideMargin, kButtonHeight, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(firstId + 1 + i)),
                                  instance, nullptr);
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    Buttons_.push_back(button);
    ++i;
  }
  Box_ =
      CreateWindowExA(0, "BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX,
                      bounds.left, bounds.top, width, height, parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(firstId)), instance, nullptr);
  SendMessageA(Box_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // Keep the frame at the bottom of the z-order, clipped by its buttons, so
  // that repainting the frame never paints over a button.
  SetWindowPos(Box_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetItemIndex(-1);
}

void TRadioGroup::SetItemIndex(int index) {
  if (index < -1) index = -1;
  if (index > Count() - 1) index = Count() - 1;
  ItemIndex_ = index;
  for (int i = 0; i < Count(); ++i) {
    HWND button = Buttons_[static_cast<size_t>(i)];
    SendMessageA(button, BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
    // Checking a radio button moves the group's tab stop to it and unchecking
    // takes it away; with nothing checked the first button keeps it, so that
    // TAB still reaches the group.
    LONG_PTR style = GetWindowLongPtrA(button, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_TABSTOP);
    if (i == (index >= 0 ? index : 0)) style |= WS_TABSTOP;
    SetWindowLongPtrA(button, GWL_STYLE, style);
  }
}

int TRadioGroup::ItemOf(int id) const {
  int item = id - FirstId_ - 1;
  return item >= 0 && item < Count() ? item : -1;
}
