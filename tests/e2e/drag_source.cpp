// A drag source for the end-to-end tests: a small window that starts a real drag
// as soon as the left button goes down on it, so that a test driving the pointer
// from outside can drop onto the viewer through the window system.
//
//   drag_source [--at X Y] FILE...     drags the files as file URLs
//   drag_source [--at X Y] --text TEXT drags plain text
//
// Prints "ready" once the window is on screen and "drop-result N" (the
// Qt::DropAction the target accepted) after each drag.

#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

struct Payload {
  QList<QUrl> urls;
  QString text;
  bool is_text = false;
};

class DragSource final : public QWidget {
 public:
  explicit DragSource(Payload payload) : payload_(std::move(payload)) {
    setWindowTitle(QStringLiteral("drag-source"));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xff, 0x80, 0x00));
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return;
    auto* data = new QMimeData;
    if (payload_.is_text) {
      data->setText(payload_.text);
    } else {
      data->setUrls(payload_.urls);
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    const Qt::DropAction result = drag->exec(Qt::CopyAction);
    std::printf("drop-result %d\n", static_cast<int>(result));
    std::fflush(stdout);
  }

 private:
  Payload payload_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  Payload payload;
  int x = 800;
  int y = 600;
  for (qsizetype i = 1; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--at") && i + 2 < args.size()) {
      x = args[i + 1].toInt();
      y = args[i + 2].toInt();
      i += 2;
    } else if (args[i] == QLatin1String("--text") && i + 1 < args.size()) {
      payload.is_text = true;
      payload.text = args[++i];
    } else {
      payload.urls.push_back(QUrl::fromLocalFile(QFileInfo(args[i]).absoluteFilePath()));
    }
  }
  if (!payload.is_text && payload.urls.isEmpty()) {
    std::fprintf(stderr, "usage: drag_source [--at X Y] (--text TEXT | FILE...)\n");
    return 2;
  }

  DragSource source(std::move(payload));
  source.setGeometry(x, y, 160, 120);
  source.show();
  QTimer::singleShot(0, [] {
    std::printf("ready\n");
    std::fflush(stdout);
  });
  return QApplication::exec();
}
