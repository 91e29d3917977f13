#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/decoded.h"
#include "image/file_identity.h"
#include "image/host.h"
#include "image/next_pictures.h"
#include "image/playback.h"
#include "image/sharpener.h"

namespace mirvane::image {

// What an image slot shows, and all it keeps to turn and refit it without reading the file
// again: the slot's whole behaviour but the drawing. Each back-end's slot widget gives it
// its box and visibility and a few timers, and draws `image()` one device pixel a pixel.
// Lives on the user-interface thread.
class Showing {
 public:
  struct Slot {
    std::function<Size()> box;                 // the slot's size in device pixels now
    std::function<bool()> visible;             // whether it is on view
    std::function<void()> repaint;             // `image()` changed
    std::function<void(bool run)> settle;      // (re)start or stop the resize quiet period
    std::function<void(int delay_ms)> frame;   // call NextFrame after this long
    std::function<void()> no_frame;            // cancel that
  };

  Showing(const Host& host, Slot slot);

  void SourcePath(const std::string& name) { source_path_ = name; }
  // Reads the named file (or takes it from `ahead`) and shows it. Throws Error; the slot
  // then shows what it showed before.
  void Render(NextPictures* ahead);
  // The picture's size as drawn (after turns); 0 x 0 when empty.
  Size Picture() const { return Turned(full_, quarter_turns_); }
  // Turns clockwise by whole quarter turns (negative: anticlockwise). Throws Error.
  void Turn(int quarter_turns);
  // Fits the picture to the present box; never throws.
  void Refit();
  // Fits again when the box changed since (a screen of another ratio, say); never throws.
  void Refresh();
  // Hidden, the slot lets go of its picture.
  void Visible(bool on);
  // The resize quiet period ended: the other frames of an animation, a sharper decode.
  void Settled();
  // The frame timer fired.
  void NextFrame();
  // An animation plays only while on view.
  void Playing(bool on);

  // What to draw: fitted and turned, opaque; empty when nothing.
  const Pixels& image() const { return image_; }

 private:
  void Keep(Decoded decoded, bool sharper, int decoded_turns);
  std::vector<Frame> FramesFor(Size box, int quarter_turns) const;
  Pixels FrameFor(std::size_t index, Size box, int quarter_turns) const;
  bool UseTurnedAhead(int clockwise);
  void BringUpright();
  bool Softer() const;
  void Sharpen();
  void ArmFrame();
  void Clear();

  const Host& host_;
  Slot slot_;
  std::string source_path_;
  std::string shown_path_;
  std::optional<FileIdentity> shown_file_;  // as it stood before Render read it
  Pixels source_;  // upright, as decoded, sRGB: what fits and turns are made from
  Pixels image_;   // fitted and turned: the still or the frame on view
  std::vector<Frame> decoded_frames_;  // an animation's frames as decoded
  int frames_turns_ = 0;               // the turns they were decoded with
  std::vector<Frame> frames_;          // ... fitted to the slot and turned
  bool frames_behind_ = false;         // resized since: each frame is fitted as it comes up
  Playback playback_;
  bool playing_ = false;
  bool scalable_ = false;
  Size full_{0, 0};  // the picture's own size, before turns
  int quarter_turns_ = 0;
  Pixels turned_ahead_;  // fitted for one quarter turn clockwise, not yet asked for
  Sharpener sharpener_;
};

}  // namespace mirvane::image
