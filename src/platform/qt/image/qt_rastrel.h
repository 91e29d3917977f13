#pragma once

#include <QImage>
#include <QSize>
#include <QWidget>
#include <optional>
#include <string>

#include "platform/qt/image/decode.h"
#include "platform/qt/image/qt_playback.h"
#include "platform/rastrel.h"

namespace mirvane::platform::qt {

// An image slot as a Qt widget: keeps only the picture as fitted to its present size and
// draws it centred on black.
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
  void Visible(bool on) override;

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
  // Brings the kept picture to the fitted size for the present slot; never throws.
  void FitToSlot();
  // The shown file decoded afresh for the present slot and turns, if it still reads as
  // the same picture.
  std::optional<image::Decoded> Reread() const;
  // Keeps a decoded picture (or animation) as the one on view; a refitted animation
  // plays on from the frame on view.
  void Keep(image::Decoded decoded, bool refitted);

  std::string source_path_;
  std::string shown_path_;
  QImage image_;  // fitted and turned, ready to draw: the still or the frame on view
  std::vector<image::Frame> frames_;  // an animation's frames, fitted and turned
  QtPlayback playback_;
  bool scalable_ = false;
  QSize full_{0, 0};  // the picture's own size, before turns; 0 x 0 when empty
  int quarter_turns_ = 0;
};

}  // namespace mirvane::platform::qt
