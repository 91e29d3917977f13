// The whole program on Qt, offscreen: the real window, menu, slots and timer wired to
// the main window's logic.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <string>
#include <vector>

#include "platform/qt/qt_command_line.h"
#include "platform/qt/qt_viewer.h"
#include "qt_test_support.h"

namespace mirvane::platform::qt {
namespace {

using testing::HangGuard;
using testing::WaitFor;
using testing::WhenShown;

class QtViewerTest : public ::testing::Test {
 protected:
  QtViewerTest() {
    previous_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    // A long interval: only drops and the menu move the show in these tests.
    WriteFile("Mirvane.ini", "Loop=False\r\nInterval=60000\r\nRotate=False\r\n");
  }
  ~QtViewerTest() override { QDir::setCurrent(previous_); }

  static void WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  QString Picture(const QString& name, QColor colour) {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = dir_.filePath(name);
    EXPECT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    EXPECT_TRUE(image.save(path, "PNG"));
    return path;
  }
  void Drop(QMimeData& data) {
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&viewer_.Form(), &enter);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&viewer_.Form(), &drop);
  }
  QString Caption() { return viewer_.Form().windowTitle(); }
  QRgb Centre() {
    const QImage shot = viewer_.Form().grab().toImage();
    return shot.pixel(shot.width() / 2, (shot.height() - 27) / 2);
  }

  QTemporaryDir dir_;
  QString previous_;
  const char* argv_[1] = {"mirvane"};
  QtCommandLine command_{1, argv_};
  QtViewer viewer_{command_};
};

TEST_F(QtViewerTest, RightPressOnEitherSlotOrTheWindowOpensTheSameMenu) {
  viewer_.Start();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer_.Form()));
  HangGuard guard;
  std::vector<QWidget*> targets = {&viewer_.Form().Slot(0), &viewer_.Form().Slot(1),
                                   &viewer_.Form()};
  std::vector<QStringList> menus;
  for (QWidget* target : targets) {
    WhenShown<QMenu>([&menus](QMenu& menu) {
      QStringList captions;
      for (QAction* action : menu.actions())
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
      menus.push_back(captions);
      menu.close();
    });
    target->setVisible(true);  // the hidden slot too: a press on it goes the same way
    QTest::mousePress(target, Qt::RightButton, {}, QPoint(5, 5));
  }
  ASSERT_EQ(menus.size(), 3u);
  EXPECT_EQ(menus[0].size(), 11);
  EXPECT_EQ(menus[0], menus[1]);
  EXPECT_EQ(menus[0], menus[2]);

  int opened = 0;
  WhenShown<QMenu>([&opened](QMenu& menu) {
    ++opened;
    menu.close();
  });
  QTest::mousePress(&viewer_.Form(), Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mousePress(&viewer_.Form(), Qt::MiddleButton, {}, QPoint(5, 5));
  QTest::qWait(300);
  EXPECT_EQ(opened, 0);
}

TEST_F(QtViewerTest, DroppedFilesAreShownFromTheFirstAtOnce) {
  const QString red = Picture(QString::fromUtf8("a b/写真 1.png"), Qt::red);
  const QString blue = Picture("b.png", Qt::blue);
  viewer_.Start();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer_.Form()));
  EXPECT_EQ(Caption(), "Mirvane");

  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(red), QUrl::fromLocalFile(blue)});
  QElapsedTimer clock;
  clock.start();
  Drop(data);
  // Not one full interval (a minute here) later: within a few milliseconds.
  ASSERT_TRUE(WaitFor([&] { return Caption() == "Mirvane [" + red + "]"; }, 1000))
      << Caption().toStdString();
  EXPECT_LT(clock.elapsed(), 500);
  EXPECT_EQ(Centre(), qRgb(255, 0, 0));
}

TEST_F(QtViewerTest, AnythingButLocalFilesIsRefusedWithTheDropMessage) {
  const QString red = Picture("red.png", Qt::red);
  viewer_.Start();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer_.Form()));
  HangGuard guard;

  QMimeData text;
  text.setText(red);
  QMimeData remote;
  remote.setUrls({QUrl("https://example.org/red.png")});
  for (QMimeData* data : {&text, &remote}) {
    QString title;
    QString message;
    WhenShown<QMessageBox>([&](QMessageBox& box) {
      title = box.windowTitle();
      message = box.text();
      box.accept();
    });
    Drop(*data);
    ASSERT_TRUE(WaitFor([&] { return !title.isEmpty(); }, 3000));
    EXPECT_EQ(title, QString::fromUtf8("ドロップエラー"));
    EXPECT_EQ(message, QString::fromUtf8("ファイル以外はドロップできません。"));
  }
  QTest::qWait(100);
  EXPECT_EQ(Caption(), "Mirvane") << "nothing else changed";
}

}  // namespace
}  // namespace mirvane::platform::qt
