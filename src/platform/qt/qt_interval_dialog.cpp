#include "platform/qt/qt_interval_dialog.h"

#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>
#include <utility>

#include "platform/qt/twips.h"

namespace mirvane::platform::qt {
namespace {

// Esc presses Cancel; the title bar's close still goes through reject(), which only
// closes, so it raises nothing.
class EscapeDialog final : public QDialog {
 public:
  explicit EscapeDialog(QWidget* parent) : QDialog(parent) {}
  void SetCancel(QPushButton* cancel) { cancel_ = cancel; }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        cancel_ != nullptr) {
      cancel_->click();
      return;
    }
    QDialog::keyPressEvent(event);
  }

 private:
  QPushButton* cancel_ = nullptr;
};

void PlaceInTwips(QWidget& widget, int left, int top, int width, int height) {
  const QPaintDevice& device = widget;
  widget.setGeometry(ToPixels(left, device), ToPixels(top, device), ToPixels(width, device),
                     ToPixels(height, device));
}

// The label's box is fixed; a smaller font, down to a readable floor, keeps its whole
// text within it.
void ShrinkToFit(QLabel& label) {
  QFont font = label.font();
  for (qreal size = font.pointSizeF(); size > 6.0; size -= 0.5) {
    font.setPointSizeF(size);
    const QRect needed =
        QFontMetrics(font).boundingRect(label.contentsRect(), Qt::TextWordWrap, label.text());
    if (needed.height() <= label.contentsRect().height() &&
        needed.width() <= label.contentsRect().width()) {
      break;
    }
  }
  label.setFont(font);
}

}  // namespace

QtIntervalDialog::QtIntervalDialog(QWidget* parent) : parent_(parent) {}

QtIntervalDialog::~QtIntervalDialog() = default;

void QtIntervalDialog::Show(IntervalDialogEvents& events) {
  if (dialog_) return;  // already on view; it is modal, so this is a stray call
  auto owned = std::make_unique<EscapeDialog>(parent_);
  EscapeDialog& dialog = *owned;
  dialog_ = std::move(owned);
  dialog.setWindowTitle(QString::fromUtf8("タイマー設定"));
  dialog.setFixedSize(ToPixels(3585, dialog), ToPixels(1155, dialog));

  auto* edit = new QLineEdit(&dialog);
  edit->setObjectName("TimerInterval");
  edit->setMaxLength(std::numeric_limits<int>::max());
  PlaceInTwips(*edit, 240, 600, 1695, 270);

  auto* label =
      new QLabel(QString::fromUtf8("画像を表示する時間間隔をミリ秒で指定する。"), &dialog);
  label->setObjectName("Label1");
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PlaceInTwips(*label, 240, 120, 1815, 375);
  ShrinkToFit(*label);

  auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
  cancel->setObjectName("Cancel");
  PlaceInTwips(*cancel, 2280, 600, 1095, 255);
  dialog.SetCancel(cancel);

  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  ok->setObjectName("OK");
  ok->setDefault(true);
  PlaceInTwips(*ok, 2280, 240, 1095, 255);

  QWidget::setTabOrder(edit, cancel);
  QWidget::setTabOrder(cancel, ok);
  edit->setFocus();

  QObject::connect(ok, &QPushButton::clicked, &dialog, [&events] { events.OK_Click(); });
  QObject::connect(cancel, &QPushButton::clicked, &dialog, [&events] { events.Cancel_Click(); });

  // Whatever way Show is left, the dialog goes and the box lets go of it.
  struct Teardown {
    QtIntervalDialog& owner;
    ~Teardown() {
      owner.timer_interval_.Attach(nullptr);
      owner.dialog_.reset();
    }
  } teardown{*this};

  timer_interval_.Attach(edit);
  unloaded_ = false;
  events.Form_Load();
  if (!unloaded_) dialog.exec();
}

void QtIntervalDialog::Unload() {
  unloaded_ = true;
  if (dialog_) dialog_->done(0);
}

}  // namespace mirvane::platform::qt
