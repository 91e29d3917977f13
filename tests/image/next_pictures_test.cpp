#include "image/next_pictures.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <set>
#include <string>

#include "image/error.h"
#include "image/head_check.h"
#include "platform/qt/image/qt_host.h"
#include "platform/qt/image/qt_rastrel.h"
#include "test_pictures.h"

namespace mirvane::platform::qt {
namespace {

using mirvane::image::TurnWhen;
using mirvane::image::Upcoming;
using NextPictures = mirvane::image::NextPictures;
using test::Near;

// The slots' sizes, as the program gives them to the pictures ahead.
std::function<mirvane::image::Size(int)> BoxOf(QtRastrel& slot0, QtRastrel& slot1) {
  return [&slot0, &slot1](int slot) { return (slot == 0 ? slot0 : slot1).Box(); };
}

mirvane::image::Prepared<mirvane::image::Decoded> Prepare(const mirvane::image::Order& order) {
  return mirvane::image::PrepareAhead(order, QtHost());
}

QByteArray Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

QByteArray Png(const QImage& image) { return Encoded(image, "png"); }

// Tells and lets the order go out, as the event loop does after a handler.
void Tell(NextPictures& next, const Upcoming& upcoming) {
  next.Expect(upcoming);
  QCoreApplication::processEvents();
}

QImage Plain(int w, int h, QColor colour) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// Two slots and the preparer as the program wires them. Pictures prepared ahead come out
// green, so that a test can tell them from pictures decoded at Render.
class NextPicturesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    for (QtRastrel* slot : {&slot0_, &slot1_}) {
      slot->resize(200, 150);
      slot->Ahead(&next_);
    }
  }
  std::string Write(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(name);
    EXPECT_TRUE(test::WriteFile(path, bytes));
    return QFile::encodeName(path).toStdString();
  }
  // Tells what comes next and waits until that many pictures are prepared.
  void Expect(std::vector<std::string> names, TurnWhen turn = TurnWhen::kNever, int count = 1) {
    const int before = prepared_;
    Tell(next_, {std::move(names), 0, turn});
    for (int i = 0; i < 500 && prepared_ < before + count; ++i) QThread::msleep(10);
    ASSERT_EQ(prepared_, before + count);
  }
  QColor Shown(QtRastrel& slot) { return slot.grab().toImage().pixelColor(100, 75); }

  QTemporaryDir dir_;
  QtRastrel slot0_, slot1_;
  std::atomic<int> prepared_{0};
  NextPictures next_{QtHost(), BoxOf(slot0_, slot1_), [this](const mirvane::image::Order& order) {
                       auto prepared = Prepare(order);
                       std::vector<std::uint32_t>& pixels = prepared.picture.image.argb;
                       std::fill(pixels.begin(), pixels.end(), 0xff00ff00u);  // green
                       ++prepared_;
                       return prepared;
                     }};
};

TEST_F(NextPicturesTest, PreparedPictureIsShownAtRender) {
  const std::string path = Write("p.png", Png(Plain(80, 60, Qt::red)));
  Expect({path});
  slot0_.SourcePath(path);
  slot0_.Render();
  EXPECT_TRUE(Near(Shown(slot0_), Qt::green));
  EXPECT_EQ(slot0_.PictureWidth(), 80);
  // Taken: the next Render of the same name decodes it.
  slot1_.SourcePath(path);
  slot1_.Render();
  EXPECT_TRUE(Near(Shown(slot1_), Qt::red));
}

// Each change after the picture was prepared makes Render read the file afresh.
TEST_F(NextPicturesTest, NotUsedWhenFileSlotOrRotationChanged) {
  const QByteArray red = Encoded(Plain(60, 80, Qt::red), "bmp");
  const QByteArray blue = Encoded(Plain(60, 80, Qt::blue), "bmp");
  ASSERT_EQ(red.size(), blue.size());
  const struct {
    const char* what;
    std::function<void(const std::string& path)> change;
    QColor shown;
  } rows[] = {
      {"content rewritten, same size, saved a second later",
       [&](const std::string& path) {
         Write("p.png", blue);
         struct stat info {};
         ::stat(path.c_str(), &info);
         const timespec times[2] = {info.st_atim, {info.st_mtim.tv_sec + 1, info.st_mtim.tv_nsec}};
         ::utimensat(AT_FDCWD, path.c_str(), times, 0);
       },
       Qt::blue},
      {"another file renamed over it",
       [&](const std::string& path) {
         const std::string other = Write("q.png", blue);
         ASSERT_EQ(::rename(other.c_str(), path.c_str()), 0);
       },
       Qt::blue},
      {"slot resized", [&](const std::string&) { slot0_.resize(300, 150); }, Qt::red},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    slot0_.resize(200, 150);
    Tell(next_, {{}, 0, TurnWhen::kNever});
    const std::string path = Write("p.png", red);
    Expect({path});
    row.change(path);
    slot0_.SourcePath(path);
    slot0_.Render();
    EXPECT_TRUE(Near(Shown(slot0_), row.shown)) << Shown(slot0_).name().toStdString();
  }
}

// Switching rotation drops the picture prepared for the old rule and prepares it anew, so
// that the slot shows it as ImageRotate then turns it.
TEST_F(NextPicturesTest, RotationSwitchedPreparesAgain) {
  const std::string path = Write("tall.png", Png(Plain(60, 80, Qt::red)));
  Expect({path}, TurnWhen::kNever);
  Expect({path}, TurnWhen::kPortrait);  // switched on in a landscape window
  slot0_.SourcePath(path);
  slot0_.Render();
  slot0_.Turn(900);
  EXPECT_EQ(slot0_.PictureWidth(), 80);
  EXPECT_TRUE(Near(slot0_.grab().toImage().pixelColor(10, 75), Qt::green));  // turned: full width

  Tell(next_, {{}, 0, TurnWhen::kNever});
  Expect({path}, TurnWhen::kPortrait);
  Expect({path}, TurnWhen::kNever);  // switched off
  slot1_.SourcePath(path);
  slot1_.Render();
  slot1_.Visible(true);
  EXPECT_EQ(slot1_.PictureWidth(), 60);
  EXPECT_TRUE(Near(slot1_.grab().toImage().pixelColor(10, 75), Qt::black));
  EXPECT_TRUE(Near(Shown(slot1_), Qt::green));
}

// A picture prepared turned is the one the Turn of ImageRotate asks for; it matches what
// the slot makes by itself, and without the Turn the slot shows the picture upright.
TEST_F(NextPicturesTest, PreparedTurnedMatchesRenderAndTurn) {
  const std::string path = Write("tall.png", Png(test::TwoTone(60, 120)));
  QtRastrel alone;
  alone.resize(200, 150);
  alone.SourcePath(path);
  alone.Render();
  alone.Turn(900);
  const QImage expected = alone.grab().toImage();

  std::atomic<int> made{0};
  NextPictures plain(QtHost(), BoxOf(slot0_, slot1_), [&](const mirvane::image::Order& order) {
    auto prepared = Prepare(order);  // not painted green
    ++made;
    return prepared;
  });
  const auto wait_for = [&](int n) {
    for (int i = 0; i < 500 && made < n; ++i) QThread::msleep(10);
    ASSERT_EQ(made, n);
  };
  for (QtRastrel* slot : {&slot0_, &slot1_}) slot->Ahead(&plain);
  Tell(plain, {{path}, 0, TurnWhen::kPortrait});
  wait_for(1);
  slot0_.SourcePath(path);
  slot0_.Render();
  EXPECT_EQ(slot0_.PictureWidth(), 60);  // upright until turned
  slot0_.Turn(900);
  EXPECT_EQ(slot0_.PictureWidth(), 120);
  const QImage shown = slot0_.grab().toImage();
  for (const QPoint p : {QPoint(30, 75), QPoint(170, 75), QPoint(100, 40), QPoint(100, 110)}) {
    EXPECT_TRUE(Near(shown.pixelColor(p), expected.pixelColor(p))) << p.x() << "," << p.y();
  }

  Tell(plain, {{}, 0, TurnWhen::kPortrait});
  Tell(plain, {{path}, 0, TurnWhen::kPortrait});
  wait_for(2);
  slot1_.SourcePath(path);
  slot1_.Render();
  slot1_.Visible(true);  // rotation did not turn it after all
  alone.SourcePath(path);
  alone.Render();
  EXPECT_EQ(slot1_.PictureWidth(), 60);
  const QImage upright = alone.grab().toImage();
  const QImage settled = slot1_.grab().toImage();
  for (const QPoint p : {QPoint(80, 75), QPoint(120, 75), QPoint(100, 20), QPoint(100, 130)}) {
    EXPECT_TRUE(Near(settled.pixelColor(p), upright.pixelColor(p))) << p.x() << "," << p.y();
  }
}

// The show's timer holds a tick back while its picture is being decoded and gives it once
// the picture is ready; with nothing under way, or preparing switched off, at once.
TEST(HeldTick, GivenWhenThePictureIsReady) {
  QTemporaryDir dir;
  const QString file = dir.filePath("p.png");
  ASSERT_TRUE(test::WriteFile(file, Png(Plain(80, 60, Qt::red))));
  const std::string path = QFile::encodeName(file).toStdString();
  QtRastrel slot0, slot1;
  std::atomic<bool> started{false}, release{false};
  NextPictures next(QtHost(), BoxOf(slot0, slot1), [&](const mirvane::image::Order& order) {
    started = true;
    while (!release) QThread::msleep(1);
    return Prepare(order);
  });
  int resumed = 0;
  const auto resume = [&] { ++resumed; };
  EXPECT_FALSE(next.HoldTick(resume)) << "nothing under way";

  for (const bool switched_off : {false, true}) {
    SCOPED_TRACE(switched_off ? "preparing switched off" : "decode ends");
    started = release = false;
    resumed = 0;
    Tell(next, {{}, 0, TurnWhen::kNever});
    Tell(next, {{path}, 0, TurnWhen::kNever});
    for (int i = 0; i < 500 && !started; ++i) QThread::msleep(2);
    ASSERT_TRUE(started);
    ASSERT_TRUE(next.HoldTick(resume));
    QCoreApplication::processEvents();
    EXPECT_EQ(resumed, 0);
    if (switched_off)
      next.Enabled(false);  // given at once, the decode still running
    else
      release = true;
    for (int i = 0; i < 500 && resumed == 0; ++i) {
      QThread::msleep(2);
      QCoreApplication::processEvents();
    }
    EXPECT_EQ(resumed, 1);
    release = true;
  }
}

// An animation prepared turned plays turned once ImageRotate turns it, and upright when
// nothing turns it, as one decoded at Render does.
TEST_F(NextPicturesTest, PreparedTurnedAnimationPlaysEitherWay) {
  std::vector<QImage> frames;
  for (QColor c : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue)}) {
    QImage f = test::TwoTone(60, 120);       // red left, blue right
    QPainter(&f).fillRect(0, 0, 60, 20, c);  // the top strip changes colour
    frames.push_back(f);
  }
  const std::string path = Write("tall.png", test::Apng(frames, 60, 0));
  NextPictures plain(QtHost(), BoxOf(slot0_, slot1_));
  for (bool turned : {true, false}) {
    SCOPED_TRACE(turned ? "turned" : "upright");
    QtRastrel& slot = turned ? slot0_ : slot1_;
    slot.Ahead(&plain);
    Tell(plain, {{}, 0, TurnWhen::kNever});
    Tell(plain, {{path}, std::uint8_t(turned ? 0 : 1), TurnWhen::kPortrait});
    QThread::msleep(300);
    slot.SourcePath(path);
    slot.Render();
    if (turned) slot.Turn(900);
    slot.Visible(true);
    EXPECT_EQ(slot.PictureWidth(), turned ? 120 : 60);
    // Turned clockwise the left half is on top; the changing strip on the right.
    const QPoint red_half = turned ? QPoint(100, 50) : QPoint(85, 75);
    const QPoint strip = turned ? QPoint(190, 75) : QPoint(100, 20);
    std::set<QRgb> strip_colours;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 700) {
      const QImage shown = slot.grab().toImage();
      EXPECT_TRUE(Near(shown.pixelColor(red_half), Qt::red)) << timer.elapsed();
      strip_colours.insert(shown.pixelColor(strip).rgb());
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_GE(strip_colours.size(), 3u) << "it played";
    slot.Visible(false);
  }
}

// At a short interval the next tick is due before the event loop comes back to send the
// order: the tick sends it first and waits for the picture, rather than decoding it
// itself while the workers stay idle.
TEST_F(NextPicturesTest, ATickDueBeforeTheOrderSendsItFirst) {
  const std::string path = Write("p.png", Png(Plain(80, 60, Qt::red)));
  next_.Expect({{path}, 0, TurnWhen::kNever});  // the event loop has not run since
  int resumed = 0;
  // Held while the worker decodes; not held when it was quicker still.
  if (next_.HoldTick([&] { ++resumed; })) {
    for (int i = 0; i < 500 && resumed == 0; ++i) {
      QThread::msleep(2);
      QCoreApplication::processEvents();
    }
    EXPECT_EQ(resumed, 1);
  }
  slot0_.SourcePath(path);
  slot0_.Render();
  EXPECT_TRUE(Near(Shown(slot0_), Qt::green));
}

TEST_F(NextPicturesTest, HiddenSlotLetsGoOfItsPicture) {
  const std::string path = Write("p.png", Png(Plain(80, 60, Qt::red)));
  slot0_.SourcePath(path);
  slot0_.Render();
  slot0_.Visible(true);
  slot0_.Visible(false);
  EXPECT_EQ(slot0_.PictureWidth(), 0);
  slot0_.Visible(true);
  slot0_.Refit(0);
  EXPECT_TRUE(Near(Shown(slot0_), Qt::black));
}

// A file whose first bytes are no picture, or whose header is over budget, is refused
// from those bytes; the rest is never read.
TEST(CheckHead, RefusesFromTheFirstBytes) {
  QByteArray huge_png = Png(Plain(4, 4, Qt::red));
  huge_png[16] = 0x00, huge_png[17] = 0x01, huge_png[18] = 0x00, huge_png[19] = 0x00;  // 65536
  huge_png[20] = 0x00, huge_png[21] = 0x01, huge_png[22] = 0x00, huge_png[23] = 0x00;
  const QByteArray jpeg_sof =
      QByteArray::fromHex("ffd8ffe000104a46494600010100000100010000ffc0001108fff0fff0");
  const struct {
    const char* what;
    QByteArray head;
    std::int64_t size;
    const char* refusal;  // nullptr: accepted
  } rows[] = {
      {"text", "hello, world\n", 13, "not a picture"},
      {"zeros", QByteArray(4096, '\0'), 300 << 20, "not a picture"},
      {"empty", "", 0, "empty file"},
      {"over the file budget", "\x89PNG\r\n\x1a\n", std::int64_t{600} << 20, "file too large"},
      {"PNG header over budget", huge_png, huge_png.size(), "picture too large"},
      {"PNG within budget", Png(Plain(4, 4, Qt::red)), 100, nullptr},
      {"JPEG frame 65520 wide", jpeg_sof, 1000, "picture too large"},
      {"a format told by content", "P6\n4 4\n255\n", 59, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    try {
      const auto format = mirvane::image::CheckHead(
          std::string_view(row.head.constData(), row.head.size()), row.size);
      if (format == mirvane::image::Format::kUnknown) throw mirvane::image::Error("not a picture");
      EXPECT_EQ(row.refusal, nullptr);
    } catch (const mirvane::image::Error& e) {
      ASSERT_NE(row.refusal, nullptr) << e.what();
      EXPECT_STREQ(e.what(), row.refusal);
    }
  }
}

}  // namespace
}  // namespace mirvane::platform::qt
