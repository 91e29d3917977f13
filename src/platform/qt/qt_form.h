#pragma once

#include <QLineEdit>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/drop_data.h"
#include "platform/qt/image/qt_rastrel.h"
#include "platform/qt/qt_popup_menu.h"
#include "platform/qt/qt_text_box.h"
#include "platform/qt/qt_timer.h"
#include "platform/window.h"

namespace mirvane::platform::qt {

// `text` (UTF-8) as a window title that Qt shows unchanged.
QString LiteralTitle(const std::string& text);

// The main window: a black drop target holding the two image slots, the hidden
// Argument text box, the popup menu and the timer. Its events go to the handlers
// that the composition root registers.
class QtForm final : public QWidget, public platform::Window {
  Q_OBJECT

 public:
  using ResizeHandler = std::function<void()>;
  // Button, shift and position in twips, as the classic mouse-down gives them.
  using MouseHandler = std::function<void(std::int16_t, std::int16_t, float, float)>;
  using DropHandler = std::function<void(platform::DropData&, std::int32_t&, std::int16_t,
                                         std::int16_t, float, float)>;

  explicit QtForm(QWidget* parent = nullptr);

  void Caption(const std::string& text) override;
  std::int16_t WindowState() const override;
  float Width() const override;
  float Height() const override;
  // Closes the window and ends the event loop at once.
  void Unload() override;

  QtRastrel& Slot(int index) { return *slots_.at(static_cast<std::size_t>(index)); }
  QtTextBox& Argument() { return argument_; }
  QtPopupMenu& Menu() { return menu_; }
  QtTimer& Timer() { return timer_; }

  // Raised on every resize, on showing and on each change of the window state.
  void OnResize(ResizeHandler handler);
  // Raised for a press of the left, right or middle button on the form itself.
  void OnMouseDown(MouseHandler handler);
  // Raised for every drop, from the event loop right after the drop has finished.
  void OnDrop(DropHandler handler);

  // Sets the client area's size in twips.
  void ResizeClientTwips(float width, float height);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool nativeEvent(const QByteArray& type, void* message, qintptr* result) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void RaiseResize();
  // Client size and window frame together.
  QSize OuterSize() const;
  // Raises resize when the outer size differs from that of the last resize.
  void FollowFrame();

  QtRastrel slot0_;
  QtRastrel slot1_;
  std::array<QtRastrel*, 2> slots_{&slot0_, &slot1_};
  QLineEdit argument_edit_;
  QtTextBox argument_;
  QtPopupMenu menu_;
  QtTimer timer_;
  QSize laid_out_outer_size_;
  mutable std::optional<QMargins> frame_;
  mutable bool frame_known_ = false;
  ResizeHandler on_resize_;
  MouseHandler on_mouse_down_;
  DropHandler on_drop_;
};

}  // namespace mirvane::platform::qt
