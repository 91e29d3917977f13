#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <ostream>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/qt/qt_form.h"
#include "qt_test_support.h"

namespace mirvane::platform::qt {
namespace {

struct Press {
  int index;  // -1: the form itself
  int button;
  int shift;
  float x;
  float y;
  bool operator==(const Press&) const = default;
};

void PrintTo(const Press& p, std::ostream* out) {
  *out << "{" << p.index << ", " << p.button << ", " << p.shift << ", " << p.x << ", " << p.y
       << "}";
}

class QtFormTest : public ::testing::Test {
 protected:
  QtFormTest() {
    form_.OnMouseDown([this](std::int16_t button, std::int16_t shift, float x, float y) {
      presses_.push_back({-1, button, shift, x, y});
    });
    for (int i = 0; i <= 1; ++i) {
      QObject::connect(&form_.Slot(i), &QtRastrel::mouseDown,
                       [this, i](int button, int shift, float x, float y) {
                         presses_.push_back({i, button, shift, x, y});
                       });
    }
    form_.OnResize([this] { ++resizes_; });
  }

  QtForm form_;
  std::vector<Press> presses_;
  int resizes_ = 0;
};

TEST_F(QtFormTest, MousePressesReachTheHandlersWithClassicCodesAndTwips) {
  ASSERT_EQ(form_.logicalDpiX(), 96);
  form_.resize(300, 200);
  form_.Slot(0).setGeometry(0, 0, 100, 100);
  form_.Slot(1).setGeometry(0, 0, 100, 100);
  QTest::mousePress(&form_.Slot(0), Qt::RightButton, {}, QPoint(10, 20));
  QTest::mousePress(&form_.Slot(1), Qt::RightButton, {}, QPoint(4, 2));
  QTest::mousePress(&form_, Qt::RightButton, {}, QPoint(250, 150));
  QTest::mousePress(&form_, Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(1, 1));
  QTest::mousePress(&form_, Qt::MiddleButton, Qt::AltModifier, QPoint(2, 3));
  QTest::mousePress(&form_, Qt::BackButton, {}, QPoint(2, 3));  // no classic code
  const std::vector<Press> expected = {{0, 2, 0, 150, 300},
                                       {1, 2, 0, 60, 30},
                                       {-1, 2, 0, 3750, 2250},
                                       {-1, 1, 3, 15, 15},
                                       {-1, 4, 4, 30, 45}};
  EXPECT_EQ(presses_, expected);
}

TEST_F(QtFormTest, DropReachesTheHandlerWithItsFilesOnceTheDropIsOver) {
  std::vector<std::string> files;
  int drops = 0;
  float x = 0;
  float y = 0;
  std::int16_t button = 0;
  form_.OnDrop(
      [&](DropData& data, std::int32_t&, std::int16_t b, std::int16_t, float at_x, float at_y) {
        ++drops;
        button = b;
        x = at_x;
        y = at_y;
        if (!data.GetFormat(kFileListFormat)) return;
        for (std::int16_t n = 1;; ++n) {
          try {
            files.push_back(data.Files(n));
          } catch (const Error&) {
            break;
          }
        }
      });
  form_.resize(300, 200);
  auto mime = std::make_unique<QMimeData>();
  mime->setUrls({QUrl::fromLocalFile(QString::fromUtf8("/tmp/a b/写真 1.png")),
                 QUrl::fromLocalFile("/tmp/b.jpg")});

  QDragEnterEvent enter(QPoint(20, 10), Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton,
                        Qt::NoModifier);
  QCoreApplication::sendEvent(&form_, &enter);
  EXPECT_TRUE(enter.isAccepted());
  EXPECT_EQ(enter.dropAction(), Qt::CopyAction) << "a move could make the source delete them";

  QDropEvent drop(QPointF(20, 10), Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton,
                  Qt::NoModifier);
  QCoreApplication::sendEvent(&form_, &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
  mime.reset();  // the names were taken at the drop
  EXPECT_EQ(drops, 0) << "the handler runs after the drop event";
  ASSERT_TRUE(testing::WaitFor([&] { return drops == 1; }, 2000));
  EXPECT_EQ(files, (std::vector<std::string>{"/tmp/a b/写真 1.png", "/tmp/b.jpg"}));
  EXPECT_EQ(button, 1);
  EXPECT_EQ(x, 300);
  EXPECT_EQ(y, 150);
}

TEST_F(QtFormTest, AnyDragIsAcceptedSoThatTheHandlerDecides) {
  bool offered_files = true;
  int drops = 0;
  form_.OnDrop([&](DropData& data, std::int32_t&, std::int16_t, std::int16_t, float, float) {
    ++drops;
    offered_files = data.GetFormat(kFileListFormat);
  });
  QMimeData text;
  text.setText("not a file");
  QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&form_, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&form_, &drop);
  ASSERT_TRUE(testing::WaitFor([&] { return drops == 1; }, 2000));
  EXPECT_FALSE(offered_files);
}

// Offscreen there is no frame, so the outer size is proved under a window manager
// by the end-to-end tests.
TEST_F(QtFormTest, ClientSizeIsSetInTwipsAndEveryChangeRaisesResize) {
  form_.ResizeClientTwips(7005, 4950);
  EXPECT_EQ(form_.size(), QSize(467, 330));
  form_.showNormal();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  EXPECT_GE(resizes_, 1) << "raised when it comes up";
  EXPECT_EQ(form_.WindowState(), 0);

  resizes_ = 0;
  form_.resize(400, 300);
  ASSERT_TRUE(testing::WaitFor([&] { return resizes_ >= 1; }));

  resizes_ = 0;
  form_.showMaximized();
  ASSERT_TRUE(testing::WaitFor([&] { return form_.WindowState() == 2; }));
  EXPECT_GE(resizes_, 1);
  resizes_ = 0;
  form_.showMinimized();
  ASSERT_TRUE(testing::WaitFor([&] { return form_.WindowState() == 1; }));
  EXPECT_GE(resizes_, 1) << "the core itself passes over a minimised window";
  form_.showNormal();
  ASSERT_TRUE(testing::WaitFor([&] { return form_.WindowState() == 0; }));
}

// What the window system is given as the title: Qt's placeholder for the modified
// mark must not eat anything, and undecodable bytes stay visible, one mark a byte.
TEST_F(QtFormTest, CaptionShowsTheNameExactlyWhateverItHolds) {
  const std::string mark = "\xEF\xBF\xBD";  // U+FFFD
  const struct {
    std::string name;
    std::string shown;
  } rows[] = {
      {"/tmp/写真 1.png", "/tmp/写真 1.png"},
      {"a[*].png", "a[*].png"},
      {"[*]", "[*]"},
      {"[*][*]x[*][*][*]", "[*][*]x[*][*][*]"},
      {"[*[*]]", "[*[*]]"},
      {"[[*]*]", "[[*]*]"},
      {"&b.png", "&b.png"},
      {"&&", "&&"},
      {"tab\t.png", "tab\t.png"},
      {"\xFF\xFE.png", mark + mark + ".png"},
      {"caf\xE9.png", "caf" + mark + ".png"},
      {"\xE5\x86.png", mark + mark + ".png"},  // a character cut short
      {"", ""},
  };
  form_.winId();  // the window's title is only set on a real window
  QWindow* window = form_.windowHandle();
  ASSERT_NE(window, nullptr);
  for (const bool modified : {false, true}) {
    form_.Caption("Mirvane [[*]]");  // Qt wants a placeholder before it takes a mark
    form_.setWindowModified(modified);
    for (const auto& row : rows) {
      form_.Caption("Mirvane [" + row.name + "]");
      EXPECT_EQ(window->title().toStdString(), "Mirvane [" + row.shown + "]")
          << row.name << (modified ? " (modified)" : "");
    }
  }
}

TEST_F(QtFormTest, HoldsCaptionIconHiddenArgumentAndBlackBackground) {
  EXPECT_EQ(form_.windowTitle(), QStringLiteral("Mirvane"));

  const QList<QSize> sizes = form_.windowIcon().availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(16, 16)));
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));

  EXPECT_EQ(form_.palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_TRUE(form_.acceptDrops());

  form_.show();
  EXPECT_EQ(form_.Argument().Text(), "");
  const std::string long_text(40000, '7');  // past QLineEdit's usual limit
  for (const std::string& text : {std::string("2000"), std::string(" 1.5ms 写"), long_text}) {
    form_.Argument().Text(text);
    EXPECT_EQ(form_.Argument().Text(), text);
  }
  for (auto* edit : form_.findChildren<QLineEdit*>()) EXPECT_FALSE(edit->isVisible());
}

TEST_F(QtFormTest, UnloadClosesTheWindow) {
  form_.show();
  ASSERT_TRUE(form_.isVisible());
  int code = -1;
  QTimer::singleShot(0, [this] { form_.Unload(); });
  QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });  // guard
  code = QCoreApplication::exec();
  EXPECT_EQ(code, 0) << "the event loop ends with the window";
  EXPECT_FALSE(form_.isVisible());
}

}  // namespace
}  // namespace mirvane::platform::qt
