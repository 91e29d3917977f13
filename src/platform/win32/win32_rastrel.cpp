#include "platform/win32/win32_rastrel.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "image/error.h"
#include "platform/error.h"
#include "platform/win32/dpi.h"
#include "platform/win32/twips.h"
#include "platform/win32/win32_host.h"

namespace mirvane::platform::win32 {
namespace {

constexpr UINT_PTR kSettleTimer = 1;
constexpr UINT_PTR kFrameTimer = 2;
// How long the size must stay put before a sharper decode is worth its time.
constexpr UINT kSettleMs = 250;

}  // namespace

Win32Rastrel::Win32Rastrel(HWND parent)
    : showing_(Win32Host(),
               {[this] { return Box(); }, [this] { return IsWindowVisible(Handle()) != FALSE; },
                [this] { InvalidateRect(Handle(), nullptr, FALSE); },
                [this](bool run) {
                  if (run) {
                    SetTimer(Handle(), kSettleTimer, kSettleMs, nullptr);
                  } else {
                    KillTimer(Handle(), kSettleTimer);
                  }
                },
                [this](int delay_ms) {
                  SetTimer(Handle(), kFrameTimer, static_cast<UINT>(std::max(1, delay_ms)),
                           nullptr);
                },
                [this] { KillTimer(Handle(), kFrameTimer); }}) {
  Create(WindowClass{L"MirvaneRastrel", static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))}, 0,
         WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, L"", RECT{0, 0, 0, 0}, parent);
  showing_.Playing(true);
}

void Win32Rastrel::SourcePath(const std::string& name) { showing_.SourcePath(name); }

void Win32Rastrel::Render() {
  try {
    showing_.Render(ahead_);
  } catch (const image::Error& e) {  // the pipeline's error, as the slot's own
    throw Error(e.what());
  }
}

std::int32_t Win32Rastrel::PictureHeight() const { return showing_.Picture().height; }

std::int32_t Win32Rastrel::PictureWidth() const { return showing_.Picture().width; }

void Win32Rastrel::Turn(std::int16_t tenths_of_degree) {
  try {
    showing_.Turn(static_cast<int>(std::lround(tenths_of_degree / 900.0)));
  } catch (const image::Error& e) {
    throw Error(e.what());
  }
}

void Win32Rastrel::Refit(std::int16_t /*mode*/) { showing_.Refit(); }

image::Size Win32Rastrel::Box() const {
  RECT client{};
  GetClientRect(Handle(), &client);
  return {client.right - client.left, client.bottom - client.top};
}

Bitmap Win32Rastrel::Shown() const {
  const image::Pixels& image = showing_.image();
  return {image.width, image.height, image.argb};
}

unsigned Win32Rastrel::Dpi() const { return WindowDpi(Handle()); }

void Win32Rastrel::Place(int x, int y, int width, int height) {
  SetWindowPos(Handle(), nullptr, x, y, std::max(0, width), std::max(0, height),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// The geometry puts keep the other values as they are, in the parent's pixels.
void Win32Rastrel::Left(float twips) {
  RECT at{};
  GetWindowRect(Handle(), &at);
  MapWindowPoints(HWND_DESKTOP, GetParent(Handle()), reinterpret_cast<POINT*>(&at), 2);
  Place(ToPixels(twips, Dpi()), at.top, at.right - at.left, at.bottom - at.top);
}

void Win32Rastrel::Top(float twips) {
  RECT at{};
  GetWindowRect(Handle(), &at);
  MapWindowPoints(HWND_DESKTOP, GetParent(Handle()), reinterpret_cast<POINT*>(&at), 2);
  Place(at.left, ToPixels(twips, Dpi()), at.right - at.left, at.bottom - at.top);
}

void Win32Rastrel::Width(float twips) {
  RECT at{};
  GetWindowRect(Handle(), &at);
  MapWindowPoints(HWND_DESKTOP, GetParent(Handle()), reinterpret_cast<POINT*>(&at), 2);
  Place(at.left, at.top, ToPixels(twips, Dpi()), at.bottom - at.top);
}

void Win32Rastrel::Height(float twips) {
  RECT at{};
  GetWindowRect(Handle(), &at);
  MapWindowPoints(HWND_DESKTOP, GetParent(Handle()), reinterpret_cast<POINT*>(&at), 2);
  Place(at.left, at.top, at.right - at.left, ToPixels(twips, Dpi()));
}

void Win32Rastrel::Visible(bool on) {
  // A hidden slot is shown again only after a new Render: its picture is not kept.
  if (!on) showing_.Visible(false);
  ShowWindow(Handle(), on ? SW_SHOWNA : SW_HIDE);
  showing_.Playing(on);
  if (on) showing_.Visible(true);
}

void Win32Rastrel::Paint() {
  showing_.Refresh();  // moved to a screen with another dpi
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(Handle(), &paint);
  RECT client{};
  GetClientRect(Handle(), &client);
  const image::Pixels& image = showing_.image();
  const bool empty = image.argb.empty();
  const image::Size slot = Box();
  image::Size shown{image.width, image.height};
  if (shown.width > slot.width || shown.height > slot.height) {
    // Resized but not yet refitted: still show the whole picture.
    shown = image::FittedSize(shown, slot);
  }
  const int x = (slot.width - shown.width) / 2;
  const int y = (slot.height - shown.height) / 2;
  // Black around the picture only, so that it does not flicker.
  const HRGN around = CreateRectRgnIndirect(&client);
  if (!empty) {
    const HRGN picture = CreateRectRgn(x, y, x + shown.width, y + shown.height);
    CombineRgn(around, around, picture, RGN_DIFF);
    DeleteObject(picture);
  }
  FillRgn(dc, around, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  DeleteObject(around);
  if (!empty) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, x, y, shown.width, shown.height, 0, 0, image.width, image.height,
                  image.argb.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  }
  EndPaint(Handle(), &paint);
}

LRESULT Win32Rastrel::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_TIMER:
      KillTimer(Handle(), wparam);  // each fires once
      if (wparam == kSettleTimer) showing_.Settled();
      if (wparam == kFrameTimer) showing_.NextFrame();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      RaiseMouseDown(on_mouse_down_, message, wparam, lparam, Dpi());
      return 0;
    default:
      return NativeWindow::HandleMessage(message, wparam, lparam);
  }
}

}  // namespace mirvane::platform::win32
