#pragma once

#include <windows.h>

// Paints an owner-drawn push button in the classic look: the raised (or, while
// pressed, sunken) frame, a 16 x 16 image left of the caption with the pair
// centred, the caption greyed when disabled and the focus rectangle when the
// button has the focus. glyph may be null: the caption alone is drawn.
void DrawGlyphButton(const DRAWITEMSTRUCT& item, HICON glyph);

inline constexpr int kGlyphSize = 16;

// Loads a 16 x 16 bitmap resource of this program whose magenta (255, 0, 255)
// pixels are transparent, as an icon the caller destroys; null when missing.
HICON LoadGlyph(int bitmapResource);
