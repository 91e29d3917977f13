#include "platform/win32/dpi.h"

namespace mirvane::platform::win32 {

unsigned WindowDpi(HWND hwnd) {
  const UINT dpi = hwnd != nullptr ? GetDpiForWindow(hwnd) : 0;
  return dpi > 0 ? dpi : SystemDpi();
}

unsigned SystemDpi() {
  const UINT dpi = GetDpiForSystem();
  return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

void AdjustForFrame(RECT& rect, DWORD style, DWORD ex_style, unsigned dpi) {
  AdjustWindowRectExForDpi(&rect, style, FALSE, ex_style, dpi);
}

LOGFONTW MessageFont(unsigned dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    return metrics.lfMessageFont;
  }
  LOGFONTW font{};
  font.lfHeight = -MulDiv(9, static_cast<int>(dpi), 72);
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpyW(font.lfFaceName, L"MS Shell Dlg 2");
  return font;
}

}  // namespace mirvane::platform::win32
