#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

// A captioned frame with one radio button per item, of which at most one is
// checked: a group box and the buttons beside it, children of the same window.
// The buttons are not automatic: a click reaches the owner as BN_CLICKED, and
// the owner decides with SetItemIndex what is checked.
class TRadioGroup {
 public:
  // firstId is the group box's identifier; item i gets firstId + 1 + i.
  void Create(HWND parent, int firstId, const RECT& bounds, const char* caption,
              std::initializer_list<const char*> items, HFONT font);

  int Count() const { return static_cast<int>(Buttons_.size()); }
  int ItemIndex() const { return ItemIndex_; }
  // Checks item index, -1 none; other values are clamped to -1 .. Count() - 1.
  void SetItemIndex(int index);
  // The item that owns the control identifier id, or -1.
  int ItemOf(int id) const;
  HWND Box() const { return Box_; }
  HWND Button(int item) const { return Buttons_.at(static_cast<size_t>(item)); }

 private:
  HWND Box_ = nullptr;
  std::vector<HWND> Buttons_;
  int FirstId_ = 0;
  int ItemIndex_ = -1;
};
