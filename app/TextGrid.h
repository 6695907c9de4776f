#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/ObjectWindowProc.h"

// A read-only grid of text cells with fixed column widths and rows of equal
// height, no title row and no scroll bars. WM_GETTEXT returns every cell, the
// cells of a row joined by TAB and the rows by CR LF, so that another program
// (the end-to-end tests) can read what the grid shows.
class TTextGrid {
 public:
  static constexpr int kDefaultRowHeight = 24;
  static constexpr int kGridLineWidth = 1;
  static constexpr const char* kClassName = "OrvaneTextGrid";

  TTextGrid() = default;
  TTextGrid(const TTextGrid&) = delete;
  TTextGrid& operator=(const TTextGrid&) = delete;

  void Create(HWND parent, int id, const RECT& bounds, std::vector<int> columnWidths, int rows,
              HFONT font);

  int ColCount() const { return static_cast<int>(Widths_.size()); }
  int RowCount() const { return Rows_; }
  int ColWidth(int col) const { return Widths_.at(static_cast<size_t>(col)); }
  const std::string& Cell(int col, int row) const;
  // Changes one cell and repaints it when the text differs.
  void SetCell(int col, int row, const std::string& text);
  // The whole grid as WM_GETTEXT gives it.
  std::string Text() const;
  HWND Handle() const { return Handle_; }

 private:
  friend LRESULT CALLBACK ObjectWindowProc<TTextGrid>(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();
  void OnKeyDown(WPARAM key);
  void OnClick(int x, int y);
  RECT CellRect(int col, int row) const;
  void InvalidateCell(int col, int row);

  HWND Handle_ = nullptr;
  HFONT Font_ = nullptr;
  std::vector<int> Widths_;
  int Rows_ = 0;
  std::vector<std::string> Cells_;
  // The current cell, outlined while the grid has the keyboard focus.
  int Col_ = 0;
  int Row_ = 0;
};
