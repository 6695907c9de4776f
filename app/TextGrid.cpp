#include "app/TextGrid.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kTextIndent = 2;

void RegisterGridClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSA existing;
  if (GetClassInfoA(instance, TTextGrid::kClassName, &existing)) return;
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = TTextGrid::kClassName;
  RegisterClassA(&wc);
}
}  // namespace

void TTextGrid::Create(HWND parent, int id, const RECT& bounds, std::vector<int> columnWidths,
                       int rows, HFONT font) {
  Widths_ = std::move(columnWidths);
  Rows_ = rows;
  Font_ = font;
  Cells_.assign(static_cast<size_t>(ColCount() * Rows_), std::string());
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
  RegisterGridClass(instance, &ObjectWindowProc<TTextGrid>);
  CreateWindowExA(WS_EX_CLIENTEDGE, kClassName, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP,
                  bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                  parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
}

const std::string& TTextGrid::Cell(int col, int row) const {
  return Cells_.at(static_cast<size_t>(row * ColCount() + col));
}

void TTextGrid::SetCell(int col, int row, const std::string& text) {
  std::string& cell = Cells_.at(static_cast<size_t>(row * ColCount() + col));
  if (cell == text) return;
  cell = text;
  InvalidateCell(col, row);
}

std::string TTextGrid::Text() const {
  std::string text;
  for (int row = 0; row < Rows_; ++row) {
    if (row > 0) text += "\r\n";
    for (int col = 0; col < ColCount(); ++col) {
      if (col > 0) text += '\t';
      text += Cell(col, row);
    }
  }
  return text;
}

LRESULT TTextGrid::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(Text().size());
    case WM_GETTEXT: {
      if (wParam == 0) return 0;
      std::string text = Text();
      size_t n = std::min(text.size(), static_cast<size_t>(wParam) - 1);
      std::memcpy(reinterpret_cast<char*>(lParam), text.data(), n);
      reinterpret_cast<char*>(lParam)[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_SETTEXT:
      // The cells are the grid's text; a caption of its own would only mislead.
      return FALSE;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateCell(Col_, Row_);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_KEYDOWN:
      OnKeyDown(wParam);
      return 0;
    case WM_LBUTTONDOWN:
      OnClick(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      return 0;
    default:
      return DefWindowProcA(Handle_, message, wParam, lParam);
  }
}

RECT TTextGrid::CellRect(int col, int row) const {
  RECT r;
  r.left = 0;
  for (int c = 0; c < col; ++c) r.left += Widths_[static_cast<size_t>(c)] + kGridLineWidth;
  r.right = r.left + Widths_[static_cast<size_t>(col)];
  r.top = row * (kDefaultRowHeight + kGridLineWidth);
  r.bottom = r.top + kDefaultRowHeight;
  return r;
}

void TTextGrid::InvalidateCell(int col, int row) {
  if (!Handle_) return;
  RECT r = CellRect(col, row);
  InflateRect(&r, kGridLineWidth, kGridLineWidth);
  InvalidateRect(Handle_, &r, TRUE);
}

void TTextGrid::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(Handle_, &ps);
  HGDIOBJ oldFont = SelectObject(dc, Font_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  HBRUSH lines = GetSysColorBrush(COLOR_BTNSHADOW);
  for (int row = 0; row < Rows_; ++row) {
    for (int col = 0; col < ColCount(); ++col) {
      RECT cell = CellRect(col, row);
      // The grid lines to the right of and below the cell.
      RECT right = {cell.right, cell.top, cell.right + kGridLineWidth,
                    cell.bottom + kGridLineWidth};
      RECT below = {cell.left, cell.bottom, cell.right, cell.bottom + kGridLineWidth};
      FillRect(dc, &right, lines);
      FillRect(dc, &below, lines);
      RECT text = cell;
      text.left += kTextIndent;
      const std::string& s = Cell(col, row);
      DrawTextA(dc, s.c_str(), static_cast<int>(s.size()), &text,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
      if (col == Col_ && row == Row_ && GetFocus() == Handle_) DrawFocusRect(dc, &cell);
    }
  }
  SelectObject(dc, oldFont);
  EndPaint(Handle_, &ps);
}

void TTextGrid::OnKeyDown(WPARAM key) {
  int col = Col_, row = Row_;
  switch (key) {
    case VK_LEFT:
      col = std::max(0, col - 1);
      break;
    case VK_RIGHT:
      col = std::min(ColCount() - 1, col + 1);
      break;
    case VK_UP:
      row = std::max(0, row - 1);
      break;
    case VK_DOWN:
      row = std::min(Rows_ - 1, row + 1);
      break;
    default:
      return;
  }
  InvalidateCell(Col_, Row_);
  Col_ = col;
  Row_ = row;
  InvalidateCell(Col_, Row_);
}

void TTextGrid::OnClick(int x, int y) {
  SetFocus(Handle_);
  for (int row = 0; row < Rows_; ++row)
    for (int col = 0; col < ColCount(); ++col) {
      RECT r = CellRect(col, row);
      POINT p = {x, y};
      if (PtInRect(&r, p)) {
        InvalidateCell(Col_, Row_);
        Col_ = col;
        Row_ = row;
        InvalidateCell(Col_, Row_);
        return;
      }
    }
}
