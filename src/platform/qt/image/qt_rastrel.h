#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <string>

#include "image/next_pictures.h"
#include "image/showing.h"
#include "platform/rastrel.h"

namespace mirvane::platform::qt {

// An image slot as a Qt widget: draws what the picture pipeline made for it, one device
// pixel a pixel, centred on black. What it shows and keeps is `image::Showing`'s.
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
  QTimer settle_;  // runs while the size may still be changing
  QTimer frame_;   // the next frame of an animation
  mirvane::image::NextPictures* ahead_ = nullptr;
  mirvane::image::Showing showing_;
};

}  // namespace mirvane::platform::qt
