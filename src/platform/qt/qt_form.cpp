#include "platform/qt/qt_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QIcon>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <algorithm>
#include <limits>
#include <memory>
#include <utility>

#include "platform/qt/qt_drop_data.h"
#include "platform/qt/qt_mouse.h"
#include "platform/qt/twips.h"
#include "platform/qt/x11_frame.h"

// A resource compiled into a static library is registered by hand, once, from the
// global namespace.
static void LoadIconResource() {
  static const bool loaded = [] {
    Q_INIT_RESOURCE(mirvane);
    return true;
  }();
  (void)loaded;
}

namespace mirvane::platform::qt {
namespace {

// Buttons held during a drag, as the classic bit mask.
std::int16_t ButtonMask(Qt::MouseButtons buttons) {
  std::int16_t mask = 0;
  for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    if (buttons & button) mask |= ButtonCode(button);
  }
  return mask;
}

// The viewer only reads dropped files; a move would invite the source to delete them.
void AcceptAsCopy(QDropEvent& event) {
  if (event.possibleActions() & Qt::CopyAction) {
    event.setDropAction(Qt::CopyAction);
    event.accept();
  } else {
    event.acceptProposedAction();
  }
}

}  // namespace

QString LiteralTitle(const std::string& text) {
  // Qt reads "[*]" as the place of the modified mark and shows a doubled one as
  // itself. Undecodable bytes become U+FFFD, one per byte, so none goes unseen.
  QString title = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
  return title;
}

QtForm::QtForm(QWidget* parent)
    : QWidget(parent), slot0_(this), slot1_(this), argument_edit_(this), menu_(this), timer_(this) {
  setWindowTitle(QStringLiteral("Mirvane"));
  LoadIconResource();
  QIcon icon;
  icon.addFile(QStringLiteral(":/mirvane/icons/mirvane-16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/mirvane/icons/mirvane-32.png"), QSize(32, 32));
  setWindowIcon(icon);
  setAcceptDrops(true);

  // Black around and behind the pictures, so that a picture's own area reads cleanly.
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setAutoFillBackground(true);

  argument_edit_.setMaxLength(std::numeric_limits<int>::max());
  argument_edit_.hide();
  argument_.Attach(&argument_edit_);
}

void QtForm::Caption(const std::string& text) { setWindowTitle(LiteralTitle(text)); }

std::int16_t QtForm::WindowState() const {
  if (isMinimized()) return 1;
  if (isMaximized()) return 2;
  return 0;
}

QSize QtForm::OuterSize() const {
  // Read once per change: the window manager announces each new frame.
  if (!frame_known_) {
    frame_ = X11FrameExtents(*this);
    frame_known_ = true;
  }
  return frame_ ? size().grownBy(*frame_) : frameGeometry().size();
}

float QtForm::Width() const { return ToTwips(OuterSize().width(), *this); }

float QtForm::Height() const { return ToTwips(OuterSize().height(), *this); }

void QtForm::Unload() {
  close();
  QCoreApplication::exit(0);
}

void QtForm::OnResize(ResizeHandler handler) { on_resize_ = std::move(handler); }
void QtForm::OnMouseDown(MouseHandler handler) { on_mouse_down_ = std::move(handler); }
void QtForm::OnDrop(DropHandler handler) { on_drop_ = std::move(handler); }

void QtForm::ResizeClientTwips(float width, float height) {
  resize(std::max(1, ToPixels(width, *this)), std::max(1, ToPixels(height, *this)));
}

void QtForm::RaiseResize() {
  laid_out_outer_size_ = OuterSize();
  if (on_resize_) on_resize_();
}

void QtForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RaiseResize();
}

// The window manager adds its frame after the window is shown and changes it later
// (a maximised window loses its border): the outer size then changes while the
// client size may not, and Qt raises no event for it.
void QtForm::FollowFrame() {
  if (isVisible() && OuterSize() != laid_out_outer_size_) RaiseResize();
}

void QtForm::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  FollowFrame();
}

bool QtForm::nativeEvent(const QByteArray& type, void* message, qintptr* result) {
  if (IsFrameExtentsChange(type, message)) {
    frame_known_ = false;
    QMetaObject::invokeMethod(this, &QtForm::FollowFrame, Qt::QueuedConnection);
  }
  return QWidget::nativeEvent(type, message, result);
}

void QtForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  RaiseResize();
}

void QtForm::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) RaiseResize();
}

void QtForm::mousePressEvent(QMouseEvent* event) {
  const std::int16_t button = ButtonCode(event->button());
  if (button == 0 || !on_mouse_down_) {
    QWidget::mousePressEvent(event);
    return;
  }
  event->accept();
  const double twips = TwipsPerPixel(*this);
  on_mouse_down_(button, ShiftCode(event->modifiers()),
                 static_cast<float>(event->position().x() * twips),
                 static_cast<float>(event->position().y() * twips));
}

// Every drag is welcome; the drop handler decides what a drop means.
void QtForm::dragEnterEvent(QDragEnterEvent* event) { AcceptAsCopy(*event); }
void QtForm::dragMoveEvent(QDragMoveEvent* event) { AcceptAsCopy(*event); }

void QtForm::dropEvent(QDropEvent* event) {
  AcceptAsCopy(*event);
  if (event->mimeData() == nullptr) return;
  // The names are taken now; the handler runs once the drop is over, so that a
  // message box it opens does not keep the drag source waiting for the drop's end.
  auto data = std::make_shared<QtDropData>(*event->mimeData());
  const std::int16_t button = ButtonMask(event->buttons());
  const std::int16_t shift = ShiftCode(event->modifiers());
  const double twips = TwipsPerPixel(*this);
  const auto x = static_cast<float>(event->position().x() * twips);
  const auto y = static_cast<float>(event->position().y() * twips);
  QMetaObject::invokeMethod(
      this,
      [this, data, button, shift, x, y] {
        std::int32_t effect = 1;  // copy
        if (on_drop_) on_drop_(*data, effect, button, shift, x, y);
      },
      Qt::QueuedConnection);
}

void QtForm::closeEvent(QCloseEvent* event) {
  timer_.Enabled(false);
  event->accept();
  QCoreApplication::exit(0);
}

}  // namespace mirvane::platform::qt
