#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "image/next_pictures.h"
#include "image/showing.h"
#include "platform/rastrel.h"
#include "platform/win32/bitmap.h"
#include "platform/win32/mouse.h"
#include "platform/win32/native_window.h"

namespace mirvane::platform::win32 {

// An image slot as a child window: draws what the picture pipeline made for it, one device
// pixel a pixel, centred on black. What it shows and keeps is `image::Showing`'s.
class Win32Rastrel final : public NativeWindow, public platform::Rastrel {
 public:
  // Button 1 left, 2 right, 4 middle; shift 1 Shift, 2 Ctrl, 4 Alt; position in
  // twips within the slot.
  using MouseHandler = win32::MouseHandler;

  explicit Win32Rastrel(HWND parent);

  void SourcePath(const std::string& name) override;
  void Render() override;
  std::int32_t PictureHeight() const override;
  std::int32_t PictureWidth() const override;
  // Turns by the nearest whole number of quarter turns (450 rounds away from zero);
  // negative values turn anticlockwise. No effect on an empty slot.
  void Turn(std::int16_t tenths_of_degree) override;
  void Refit(std::int16_t mode) override;
  void Left(float twips) override;
  void Top(float twips) override;
  void Width(float twips) override;
  void Height(float twips) override;
  void Visible(bool on) override;

  // Where Render takes pictures prepared ahead; none: Render decodes each itself.
  void Ahead(image::NextPictures* next) { ahead_ = next; }
  void OnMouseDown(MouseHandler handler) { on_mouse_down_ = std::move(handler); }
  // The slot's size in device pixels.
  image::Size Box() const;
  // What is on view, for tests: the picture as fitted and turned.
  Bitmap Shown() const;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  unsigned Dpi() const;
  void Place(int x, int y, int width, int height);
  void Paint();

  image::NextPictures* ahead_ = nullptr;
  MouseHandler on_mouse_down_;
  image::Showing showing_;
};

}  // namespace mirvane::platform::win32
