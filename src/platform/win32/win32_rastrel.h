#pragma once

#include <wincodec.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/rastrel.h"
#include "platform/win32/bitmap.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/mouse.h"
#include "platform/win32/native_window.h"

namespace mirvane::platform::win32 {

class Win32NextPictures;

// An image slot as a child window: keeps only the picture as fitted to its present
// size and draws it centred on black.
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
  void Ahead(Win32NextPictures* next) { ahead_ = next; }
  void OnMouseDown(MouseHandler handler) { on_mouse_down_ = std::move(handler); }
  // The slot's size in device pixels.
  image::Size Box() const { return SlotSize(); }
  // What is on view, for tests: the picture as fitted and turned.
  const Bitmap& Shown() const { return image_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  IWICImagingFactory* Factory();
  image::Size SlotSize() const;
  unsigned Dpi() const;
  void Place(int x, int y, int width, int height);
  // Brings the kept picture to the fitted size for the present slot; never throws.
  void FitToSlot();
  // The shown file decoded afresh for the present slot and turns, if it still reads as
  // the same picture; empty otherwise.
  Bitmap Reread() const;
  // A picture prepared turned is kept for the quarter turn that asks for it; any other
  // call brings it upright first.
  bool UseTurnedAhead(int clockwise);
  void SettleAhead();
  void Paint();

  ComPtr<IWICImagingFactory> factory_;
  Win32NextPictures* ahead_ = nullptr;
  MouseHandler on_mouse_down_;
  std::string source_path_;
  std::string shown_path_;
  Bitmap image_;        // fitted and turned, ready to draw
  image::Size full_{};  // the picture's own size, upright, before turns
  int quarter_turns_ = 0;
  Bitmap turned_ahead_;  // prepared a quarter turn clockwise, until Turn asks for it
};

}  // namespace mirvane::platform::win32
