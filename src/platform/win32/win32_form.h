#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platform/drop_data.h"
#include "platform/win32/drop_target.h"
#include "platform/win32/mouse.h"
#include "platform/win32/native_window.h"
#include "platform/win32/win32_popup_menu.h"
#include "platform/win32/win32_rastrel.h"
#include "platform/win32/win32_text_box.h"
#include "platform/win32/win32_timer.h"
#include "platform/window.h"

namespace mirvane::platform::win32 {

// The main window: a black top-level window and drop target holding the two image
// slots and the hidden Argument text box, with the popup menu and the timer. Its
// events go to the handlers that the composition root registers. Needs OLE
// initialised on the thread.
class Win32Form final : public NativeWindow, public platform::Window {
 public:
  using ResizeHandler = std::function<void()>;
  // Button, shift and position in twips, as the classic mouse-down gives them.
  using MouseHandler = win32::MouseHandler;
  using DropHandler = std::function<void(platform::DropData&, std::int32_t&, std::int16_t,
                                         std::int16_t, float, float)>;

  Win32Form();
  ~Win32Form() override;

  void Caption(const std::string& text) override;
  std::int16_t WindowState() const override;
  float Width() const override;
  float Height() const override;
  // Destroys the window and ends the message loop.
  void Unload() override;

  Win32Rastrel& Slot(int index) { return index == 0 ? *slot0_ : *slot1_; }
  Win32TextBox& Argument() { return argument_; }
  Win32PopupMenu& Menu() { return menu_; }
  Win32Timer& Timer() { return timer_; }

  // Raised on every size change, when the window first comes up and on each change of
  // the window state.
  void OnResize(ResizeHandler handler) { on_resize_ = std::move(handler); }
  // Raised for a press of the left, right or middle button on the form itself.
  void OnMouseDown(MouseHandler handler) { on_mouse_down_ = std::move(handler); }
  // Raised for every drop, after the drop itself has finished.
  void OnDrop(DropHandler handler) { on_drop_ = std::move(handler); }

  // Sets the client area's size in twips.
  void ResizeClientTwips(float width, float height);
  void Show() { ShowWindow(Handle(), SW_SHOWNORMAL); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  unsigned Dpi() const;
  void RaiseDrop(std::unique_ptr<DroppedFiles> files);
  void RaisePendingDrops();

  // Made once the window exists, as its children.
  std::unique_ptr<Win32Rastrel> slot0_;
  std::unique_ptr<Win32Rastrel> slot1_;
  HWND argument_edit_ = nullptr;
  Win32TextBox argument_;
  Win32PopupMenu menu_;
  Win32Timer timer_;
  DropTarget* drop_target_ = nullptr;
  std::deque<std::unique_ptr<DroppedFiles>> pending_drops_;
  ResizeHandler on_resize_;
  MouseHandler on_mouse_down_;
  DropHandler on_drop_;
};

}  // namespace mirvane::platform::win32
