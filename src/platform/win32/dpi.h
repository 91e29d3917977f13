#pragma once

#include "platform/win32/win32.h"

// The program is per-monitor DPI aware (its manifest says so): every size comes from
// the DPI of the window concerned.
namespace mirvane::platform::win32 {

unsigned WindowDpi(HWND hwnd);
unsigned SystemDpi();
// Grows a client rectangle to the outer one of a window with these styles, no menu.
void AdjustForFrame(RECT& rect, DWORD style, DWORD ex_style, unsigned dpi);
// The font message boxes use, sized for `dpi`.
LOGFONTW MessageFont(unsigned dpi);

}  // namespace mirvane::platform::win32
