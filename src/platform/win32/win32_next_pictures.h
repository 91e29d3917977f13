#pragma once

#include <wincodec.h>

#include <array>
#include <functional>
#include <string>

#include "image/preparer.h"
#include "platform/next_pictures.h"
#include "platform/win32/native_window.h"
#include "platform/win32/wic_decode.h"

namespace mirvane::platform::win32 {

class Win32Rastrel;

// What a slot shows after Render: the picture decoded for its box, turned `quarter_turns`
// (0 or 1) clockwise.
struct Supplied {
  Decoded decoded;
  int quarter_turns = 0;
};

// The picture of `name` fitted to `box`, upright, read and decoded here and now for a slot's
// Render. Throws Error naming the file.
Supplied DecodeNow(IWICImagingFactory& factory, const std::string& name, image::Size box);

// The same off the user-interface thread for a picture wanted ahead, turned when `order`'s
// rule turns it. Each worker thread has COM and a factory of its own. Throws Error, also
// when the file changed while it was read.
image::Prepared<Decoded> PrepareAhead(const image::Order& order);

// Gets the next pictures ready on two worker threads for the slots to take at Render. The
// order goes out from a message-only window of its own once the message loop is back.
class Win32NextPictures final : public NativeWindow, public platform::NextPictures {
 public:
  using Prepare = image::Preparer<Decoded>::Prepare;
  Win32NextPictures(const Win32Rastrel& slot0, const Win32Rastrel& slot1,
                    Prepare prepare = PrepareAhead);

  void Expect(const Upcoming& next) noexcept override;
  // Off: nothing more is prepared and what is kept is dropped.
  void Enabled(bool on);

  // For a slot's Render of `name` into `box`: the picture prepared for it, when it is still
  // the same file and agrees with the box and the turn; otherwise decoded here and now.
  Supplied Supply(IWICImagingFactory& factory, const std::string& name, image::Size box);

  // For the show's timer (Win32Timer::HoldTicks): true while the next picture is being
  // decoded, and then `resume` is called once it is ready.
  bool HoldTick(std::function<void()> resume);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  // Hands the latest order to the workers.
  void SendOrder();
  // The held tick goes on once its picture is no longer under way.
  void ResumeWhenReady();

  std::array<const Win32Rastrel*, 2> slots_;
  TurnWhen turn_ = TurnWhen::kNever;
  bool enabled_ = true;
  bool posted_ = false;
  Upcoming next_;
  std::function<void()> resume_;       // the held tick
  image::Preparer<Decoded> preparer_;  // last: its workers stop first
};

}  // namespace mirvane::platform::win32
