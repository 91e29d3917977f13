#include "platform/win32/win32_form.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/win32/dpi.h"
#include "platform/win32/mouse.h"
#include "platform/win32/resources.h"
#include "platform/win32/text.h"
#include "platform/win32/twips.h"

namespace mirvane::platform::win32 {
namespace {

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_ACCEPTFILES;
// Posted to itself: run the drop handler once the drop is over.
constexpr UINT kDropMessage = WM_APP + 1;

HICON LoadProgramIcon(int size) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconId),
                                       IMAGE_ICON, size, size, LR_DEFAULTCOLOR | LR_SHARED));
}

}  // namespace

Win32Form::Win32Form() {
  WindowClass window_class{L"Mirvane", static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))};
  window_class.icon = LoadProgramIcon(32);
  window_class.small_icon = LoadProgramIcon(16);
  Create(window_class, kExStyle, kStyle, L"Mirvane",
         RECT{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT}, nullptr);
  slot0_ = std::make_unique<Win32Rastrel>(Handle());
  slot1_ = std::make_unique<Win32Rastrel>(Handle());
  argument_edit_ = CreateEdit(Handle(), 0, RECT{0, 0, 100, 20}, 1);
  argument_.Attach(argument_edit_);
  menu_.Owner(Handle());

  // Slots pass their presses on as the form's own.
  for (int index = 0; index <= 1; ++index) {
    Slot(index).OnMouseDown([this](std::int16_t button, std::int16_t shift, float x, float y) {
      if (on_mouse_down_) on_mouse_down_(button, shift, x, y);
    });
  }

  drop_target_ = new DropTarget([this](std::unique_ptr<DroppedFiles> files) {
    pending_drops_.push_back(std::move(files));
    PostMessageW(Handle(), kDropMessage, 0, 0);
  });
  if (FAILED(RegisterDragDrop(Handle(), drop_target_))) {
    // Without OLE the window still takes WM_DROPFILES.
    drop_target_->Release();
    drop_target_ = nullptr;
  }
}

Win32Form::~Win32Form() {
  if (Handle() != nullptr && drop_target_ != nullptr) RevokeDragDrop(Handle());
  if (drop_target_ != nullptr) drop_target_->Release();
  argument_.Attach(nullptr);
  Destroy();
}

void Win32Form::Caption(const std::string& text) { SetWindowTextW(Handle(), Widen(text).c_str()); }

std::int16_t Win32Form::WindowState() const {
  if (IsIconic(Handle())) return 1;
  if (IsZoomed(Handle())) return 2;
  return 0;
}

float Win32Form::Width() const {
  RECT frame{};
  GetWindowRect(Handle(), &frame);
  return ToTwips(frame.right - frame.left, Dpi());
}

float Win32Form::Height() const {
  RECT frame{};
  GetWindowRect(Handle(), &frame);
  return ToTwips(frame.bottom - frame.top, Dpi());
}

void Win32Form::Unload() {
  timer_.Enabled(false);
  if (Handle() != nullptr) {
    if (drop_target_ != nullptr) RevokeDragDrop(Handle());
    DestroyWindow(Handle());
  }
}

void Win32Form::ResizeClientTwips(float width, float height) {
  const unsigned dpi = Dpi();
  RECT frame{0, 0, std::max(1, ToPixels(width, dpi)), std::max(1, ToPixels(height, dpi))};
  AdjustForFrame(frame, kStyle, kExStyle, dpi);
  SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

unsigned Win32Form::Dpi() const { return WindowDpi(Handle()); }

void Win32Form::RaiseDrop(std::unique_ptr<DroppedFiles> files) {
  Win32DropData data(files->Files());
  POINT at{};
  GetCursorPos(&at);
  ScreenToClient(Handle(), &at);
  const double twips = TwipsPerPixel(Dpi());
  const std::int16_t button = static_cast<std::int16_t>((GetKeyState(VK_LBUTTON) < 0 ? 1 : 0) |
                                                        (GetKeyState(VK_RBUTTON) < 0 ? 2 : 0) |
                                                        (GetKeyState(VK_MBUTTON) < 0 ? 4 : 0));
  const std::int16_t shift = static_cast<std::int16_t>((GetKeyState(VK_SHIFT) < 0 ? 1 : 0) |
                                                       (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                                                       (GetKeyState(VK_MENU) < 0 ? 4 : 0));
  std::int32_t effect = 1;  // copy
  if (on_drop_) {
    on_drop_(data, effect, button, shift, static_cast<float>(at.x * twips),
             static_cast<float>(at.y * twips));
  }
}

void Win32Form::RaisePendingDrops() {
  while (!pending_drops_.empty()) {
    std::unique_ptr<DroppedFiles> files = std::move(pending_drops_.front());
    pending_drops_.pop_front();
    RaiseDrop(std::move(files));
  }
}

LRESULT Win32Form::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:
      if (on_resize_) on_resize_();
      return 0;
    case WM_SHOWWINDOW:
      // The first coming-up lays the slots out even when the size did not change.
      if (wparam && on_resize_) on_resize_();
      break;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(Handle(), nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      RaiseMouseDown(on_mouse_down_, message, wparam, lparam, Dpi());
      return 0;
    case WM_DROPFILES:
      // Drops that do not come through OLE (Wine delivers X drags this way).
      RaiseDrop(std::make_unique<DroppedFiles>(reinterpret_cast<HDROP>(wparam)));
      return 0;
    case kDropMessage:
      RaisePendingDrops();
      return 0;
    case WM_CLOSE:
      Unload();
      return 0;
    case WM_DESTROY:
      timer_.Enabled(false);
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return NativeWindow::HandleMessage(message, wparam, lparam);
}

}  // namespace mirvane::platform::win32
