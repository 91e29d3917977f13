#include "platform/win32/win32_rastrel.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "platform/error.h"
#include "platform/win32/dpi.h"
#include "platform/win32/mouse.h"
#include "platform/win32/picture_file.h"
#include "platform/win32/twips.h"
#include "platform/win32/wic_decode.h"
#include "platform/win32/win32_next_pictures.h"

namespace mirvane::platform::win32 {

Win32Rastrel::Win32Rastrel(HWND parent) {
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory_.Put())))) {
    factory_.Reset();  // Render then fails; the slot still lays out and draws black
  }
  Create(WindowClass{L"MirvaneRastrel", static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))}, 0,
         WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, L"", RECT{0, 0, 0, 0}, parent);
}

void Win32Rastrel::SourcePath(const std::string& name) { source_path_ = name; }

// Made at the first picture, so that loading the codecs does not delay the window.
IWICImagingFactory* Win32Rastrel::Factory() {
  if (!factory_ &&
      FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory_.Put())))) {
    factory_.Reset();
  }
  return factory_.Get();
}

void Win32Rastrel::Render() {
  if (Factory() == nullptr) throw Error("no imaging component");
  Supplied supplied = ahead_ ? ahead_->Supply(*factory_.Get(), source_path_, SlotSize())
                             : DecodeNow(*factory_.Get(), source_path_, SlotSize());
  image_ = std::move(supplied.decoded.image);
  turned_ahead_ = {};
  if (supplied.quarter_turns == 1) turned_ahead_ = std::exchange(image_, Bitmap{});
  full_ = supplied.decoded.full;
  quarter_turns_ = 0;
  shown_path_ = source_path_;
  InvalidateRect(Handle(), nullptr, FALSE);
}

std::int32_t Win32Rastrel::PictureHeight() const {
  return image::Turned(full_, quarter_turns_).height;
}

std::int32_t Win32Rastrel::PictureWidth() const {
  return image::Turned(full_, quarter_turns_).width;
}

void Win32Rastrel::Turn(std::int16_t tenths_of_degree) {
  const int quarters = static_cast<int>(std::lround(tenths_of_degree / 900.0)) % 4;
  const int clockwise = (quarters + 4) % 4;
  if (UseTurnedAhead(clockwise)) return;
  if (quarters == 0 || image_.empty()) return;
  try {
    image_ = TurnedClockwise(image_, clockwise);
  } catch (const std::bad_alloc&) {
    throw Error("out of memory");
  }
  quarter_turns_ = (quarter_turns_ + clockwise) % 4;
  FitToSlot();
  InvalidateRect(Handle(), nullptr, FALSE);
}

bool Win32Rastrel::UseTurnedAhead(int clockwise) {
  if (turned_ahead_.empty()) return false;
  if (clockwise != 1) {
    SettleAhead();
    return false;
  }
  image_ = std::exchange(turned_ahead_, Bitmap{});
  quarter_turns_ = 1;
  FitToSlot();
  InvalidateRect(Handle(), nullptr, FALSE);
  return true;
}

void Win32Rastrel::SettleAhead() {
  if (turned_ahead_.empty()) return;
  try {
    image_ = TurnedClockwise(turned_ahead_, 3);
  } catch (const std::bad_alloc&) {
    image_ = {};  // drawn black, as after a failed Render; refitted at the next Render
  }
  turned_ahead_ = {};
  FitToSlot();
  InvalidateRect(Handle(), nullptr, FALSE);
}

void Win32Rastrel::Refit(std::int16_t /*mode*/) {
  SettleAhead();
  FitToSlot();
  InvalidateRect(Handle(), nullptr, FALSE);
}

void Win32Rastrel::FitToSlot() {
  if (image_.empty() || !factory_) return;
  try {
    const image::Size picture = image::Turned(full_, quarter_turns_);
    const image::Size target = image::FittedSize(picture, SlotSize());
    if (target == image_.size()) return;
    const bool larger = target.width > image_.width || target.height > image_.height;
    const bool reduced = image_.width < picture.width || image_.height < picture.height;
    if (larger && reduced) {
      Bitmap sharper = Reread();
      if (!sharper.empty()) {
        image_ = std::move(sharper);
        return;
      }
    }
    image_ = ScaledTo(image_, target);
  } catch (...) {
    // Keep what is on view: a refit must not fail.
  }
}

Bitmap Win32Rastrel::Reread() const {
  try {
    const image::Size box = image::Turned(SlotSize(), quarter_turns_);
    Decoded decoded = Decode(*factory_.Get(), ReadPictureFile(*factory_.Get(), shown_path_), box);
    if (!(decoded.full == full_)) return {};  // the file now holds another picture
    return TurnedClockwise(decoded.image, quarter_turns_);
  } catch (...) {
    return {};
  }
}

image::Size Win32Rastrel::SlotSize() const {
  RECT client{};
  GetClientRect(Handle(), &client);
  return {client.right - client.left, client.bottom - client.top};
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
  if (on) {
    SettleAhead();
  } else {
    // A hidden slot is shown again only after a new Render: its picture is not kept.
    image_ = turned_ahead_ = Bitmap{};
    full_ = {};
    quarter_turns_ = 0;
  }
  ShowWindow(Handle(), on ? SW_SHOWNA : SW_HIDE);
}

void Win32Rastrel::Paint() {
  SettleAhead();  // shown without the turn it was prepared for
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(Handle(), &paint);
  RECT client{};
  GetClientRect(Handle(), &client);
  const image::Size slot = SlotSize();
  image::Size shown = image_.size();
  if (shown.width > slot.width || shown.height > slot.height) {
    // Resized but not yet refitted: still show the whole picture.
    shown = image::FittedSize(shown, slot);
  }
  const int x = (slot.width - shown.width) / 2;
  const int y = (slot.height - shown.height) / 2;
  // Black around the picture only, so that it does not flicker.
  const HRGN around = CreateRectRgnIndirect(&client);
  if (!image_.empty()) {
    const HRGN picture = CreateRectRgn(x, y, x + shown.width, y + shown.height);
    CombineRgn(around, around, picture, RGN_DIFF);
    DeleteObject(picture);
  }
  FillRgn(dc, around, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  DeleteObject(around);
  if (!image_.empty()) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image_.width;
    info.bmiHeader.biHeight = -image_.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, x, y, shown.width, shown.height, 0, 0, image_.width, image_.height,
                  image_.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
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
