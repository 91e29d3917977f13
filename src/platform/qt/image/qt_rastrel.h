#pragma once

#include <QImage>
#include <QSize>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "image/decoded.h"
#include "image/file_identity.h"
#include "image/next_pictures.h"
#include "image/sharpener.h"
#include "platform/qt/image/qt_playback.h"
#include "platform/rastrel.h"

namespace mirvane::platform::qt {

// An image slot as a Qt widget: shows what the picture pipeline made for it, one device
// pixel a pixel, centred on black. Keeps the picture as decoded (large enough to fit either
// way round) for later turns and sizes.
class QtRastrel : public QWidget, public platform::Rastrel {
  Q_OBJECT

 public:
  explicit QtRastrel(QWidget* parent = nullptr);

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
  // Hiding the slot lets go of its picture: a hidden slot shows nothing until its next
  // Render.
  void Visible(bool on) override;

  // Where Render takes pictures prepared ahead; none by default.
  void Ahead(mirvane::image::NextPictures* ahead) { ahead_ = ahead; }
  // The size pictures are decoded for, in device pixels.
  mirvane::image::Size Box() const;
  // What is on view, for tests: the picture as fitted and turned; null when nothing.
  QImage Shown() const;

 Q_SIGNALS:
  // A mouse button went down: button 1 left, 2 right, 4 middle; shift 1 Shift, 2 Ctrl,
  // 4 Alt; position in twips within the slot.
  void mouseDown(int button, int shift, float x, float y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  // An animation plays only while its slot is on view.
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  using Pixels = mirvane::image::Pixels;
  // Fits the kept picture to the present slot and ratio at once (of an animation on view,
  // only the frame on view), and once the size has settled fits the other frames and asks
  // for a sharper decode when the kept one is too small; never throws.
  void FitToSlot();
  // The size has settled: the other frames of an animation, then a sharper decode.
  void Settled();
  // Has the shown file decoded afresh for the present slot and turns, if it is still the
  // file rendered; only for a slot on view.
  void Sharpen();
  // Keeps a decoded picture (or animation) as the one on view; a sharper decode of the
  // same animation plays on from the frame on view. `decoded_turns`: the turns it was
  // decoded with.
  void Keep(mirvane::image::Decoded decoded, bool sharper, int decoded_turns);
  // The animation's frames fitted to `box` and turned.
  std::vector<mirvane::image::Frame> FramesFor(mirvane::image::Size box, int quarter_turns) const;
  Pixels FrameFor(std::size_t index, mirvane::image::Size box, int quarter_turns) const;
  // A picture prepared already turned is shown by the quarter turn that asks for it; any
  // other call first brings it upright.
  bool UseTurnedAhead(int clockwise);
  void BringUpright();
  bool Softer() const;
  void Clear();

  std::string source_path_;
  std::string shown_path_;
  std::optional<mirvane::image::FileIdentity> shown_file_;  // as it stood before Render read it
  Pixels source_;    // upright, as decoded, sRGB: what fits and turns are made from
  Pixels image_;     // fitted and turned, in device pixels, ready to draw: the still or the
                     // frame on view
  qreal ratio_ = 1;  // the device-pixel ratio `image_` was fitted for
  std::vector<mirvane::image::Frame> decoded_frames_;  // an animation's frames as decoded
  int frames_turns_ = 0;                               // the turns they were decoded with
  std::vector<mirvane::image::Frame> frames_;          // ... fitted to the slot and turned
  bool frames_behind_ = false;  // resized since: each frame is fitted as it comes up
  QtPlayback playback_;
  bool scalable_ = false;
  mirvane::image::Size full_{0, 0};  // the picture's own size, before turns; 0 x 0 when empty
  int quarter_turns_ = 0;
  QTimer settle_;  // runs while the size may still be changing
  mirvane::image::NextPictures* ahead_ = nullptr;
  Pixels turned_ahead_;  // fitted for one quarter turn clockwise, not yet asked for
  mirvane::image::Sharpener sharpener_;
};

}  // namespace mirvane::platform::qt
