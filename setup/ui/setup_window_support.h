// What both windows of SETUP.EXE share: the white header strip and its bold title.
#pragma once
#include "platform/win32/win32_api.h"

namespace bv {

// A bold copy of the window's dialog font; the caller deletes it.
HFONT CreateBoldFont(HWND window);
// Paints the header strip above the etched line in the window colour.
void PaintHeader(HWND dialog);
// True (and the brush) for a static control on the header strip.
bool HeaderControlColour(HWND control, HDC dc, INT_PTR& brush);

}  // namespace bv
