#include "dialogs/GlyphButton.h"

#include <string>

namespace {
constexpr int kGlyphGap = 4;
constexpr int kFocusInset = 4;
constexpr COLORREF kTransparent = RGB(255, 0, 255);
}  // namespace

HICON LoadGlyph(int bitmapResource) {
  auto colour =
      static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapResource),
                                      IMAGE_BITMAP, kGlyphSize, kGlyphSize, 0));
  if (!colour) return nullptr;
  HBITMAP mask = CreateBitmap(kGlyphSize, kGlyphSize, 1, 1, nullptr);
  HDC colourDc = CreateCompatibleDC(nullptr);
  HDC maskDc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldColour = SelectObject(colourDc, colour);
  HGDIOBJ oldMask = SelectObject(maskDc, mask);
  // Colour to monochrome: pixels of the background colour become 1 (clear).
  SetBkColor(colourDc, kTransparent);
  BitBlt(maskDc, 0, 0, kGlyphSize, kGlyphSize, colourDc, 0, 0, SRCCOPY);
  // The clear pixels of the colour image must be black for the icon: clear
  // the colour where the mask is set (destination AND NOT source).
  SetBkColor(colourDc, RGB(255, 255, 255));
  SetTextColor(colourDc, RGB(0, 0, 0));
  constexpr DWORD kDestinationAndNotSource = 0x00220326;
  BitBlt(colourDc, 0, 0, kGlyphSize, kGlyphSize, maskDc, 0, 0, kDestinationAndNotSource);
  SelectObject(colourDc, oldColour);
  SelectObject(maskDc, oldMask);
  DeleteDC(colourDc);
  DeleteDC(maskDc);
  ICONINFO info = {};
  info.fIcon = TRUE;
  info.hbmMask = mask;
  info.hbmColor = colour;
  HICON glyph = CreateIconIndirect(&info);
  DeleteObject(mask);
  DeleteObject(colour);
  return glyph;
}

void DrawGlyphButton(const DRAWITEMSTRUCT& item, HICON glyph) {
  HDC dc = item.hDC;
  RECT frame = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  DrawFrameControl(dc, &frame, DFC_BUTTON,
                   DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0) | (disabled ? DFCS_INACTIVE : 0));

  char buffer[128] = {};
  int length = GetWindowTextA(item.hwndItem, buffer, sizeof buffer);
  std::string caption(buffer, static_cast<size_t>(length > 0 ? length : 0));
  // The dialog's font is the button's font; the device context of WM_DRAWITEM
  // does not always carry it.
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(item.hwndItem, WM_GETFONT, 0, 0));
  HGDIOBJ previousFont = font ? SelectObject(dc, font) : nullptr;
  SIZE textSize = {};
  GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &textSize);

  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int glyphWidth = glyph ? kGlyphSize + kGlyphGap : 0;
  // A pressed button moves its face one pixel down and to the right.
  const int shift = pressed ? 1 : 0;
  int x = frame.left + (width - glyphWidth - textSize.cx) / 2 + shift;
  if (glyph) {
    DrawIconEx(dc, x, frame.top + (height - kGlyphSize) / 2 + shift, glyph, kGlyphSize, kGlyphSize,
               0, nullptr, DI_NORMAL);
    x += glyphWidth;
  }
  const int y = frame.top + (height - textSize.cy) / 2 + shift;
  const int previousMode = SetBkMode(dc, TRANSPARENT);
  if (disabled) {
    // The classic engraved look: a highlight copy one pixel off, then grey.
    const COLORREF previous = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    TextOutA(dc, x + 1, y + 1, caption.c_str(), static_cast<int>(caption.size()));
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    TextOutA(dc, x, y, caption.c_str(), static_cast<int>(caption.size()));
    SetTextColor(dc, previous);
  } else {
    const COLORREF previous = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    TextOutA(dc, x, y, caption.c_str(), static_cast<int>(caption.size()));
    SetTextColor(dc, previous);
  }
  SetBkMode(dc, previousMode);
  if (previousFont) SelectObject(dc, previousFont);

  if (item.itemState & ODS_FOCUS) {
    RECT focus = frame;
    InflateRect(&focus, -kFocusInset, -kFocusInset);
    DrawFocusRect(dc, &focus);
  }
}
