#include "platform/qt/image/qt_rastrel.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTransform>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/error.h"
#include "platform/qt/twips.h"
#include "test_pictures.h"

namespace mirvane::platform::qt {
namespace {

using test::Near;

QByteArray Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format, format == QByteArray("jpeg") ? 95 : -1);
  return bytes;
}

class QtRastrelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    slot_.resize(200, 200);
  }
  std::string Write(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(name);
    EXPECT_TRUE(test::WriteFile(path, bytes));
    return QFile::encodeName(path).toStdString();
  }
  void Show(const std::string& path) {
    slot_.SourcePath(path);
    slot_.Render();
  }
  QColor At(int x, int y) { return slot_.grab().toImage().pixelColor(x, y); }

  QTemporaryDir dir_;
  QtRastrel slot_;
};

struct FormatCase {
  const char* name;
  QByteArray (*make)(const QImage&);
};

const FormatCase kFormats[] = {
    {"jpeg", [](const QImage& i) { return Encoded(i, "jpeg"); }},
    {"png", [](const QImage& i) { return Encoded(i, "png"); }},
    {"bmp", [](const QImage& i) { return Encoded(i, "bmp"); }},
    {"gif", [](const QImage& i) { return test::Gif(i); }},
    {"tiff", [](const QImage& i) { return Encoded(i, "tiff"); }},
    {"webp",
     [](const QImage& i) { return Encoded(i.convertToFormat(QImage::Format_RGB32), "webp"); }},
    {"pcx8", [](const QImage& i) { return test::Pcx(i, 8, 1); }},
    {"pcx24", [](const QImage& i) { return test::Pcx(i, 8, 3); }},
    {"pcx4planes", [](const QImage& i) { return test::Pcx(i, 1, 4); }},
    {"pcx4packed", [](const QImage& i) { return test::Pcx(i, 4, 1, false); }},
};

// Every format draws at its real size, fitted and centred, and a quarter turn clockwise
// swaps the sides and puts the left half on top.
TEST_F(QtRastrelTest, DrawsAndTurnsEveryFormat) {
  const QImage picture = test::TwoTone(80, 40);
  for (const FormatCase& format : kFormats) {
    SCOPED_TRACE(format.name);
    const QByteArray bytes = format.make(picture);
    ASSERT_FALSE(bytes.isEmpty());
    // A misleading extension: the content decides.
    Show(Write(QString("picture-%1.dat").arg(format.name), bytes));
    EXPECT_EQ(slot_.PictureWidth(), 80);
    EXPECT_EQ(slot_.PictureHeight(), 40);
    // Fitted to 200 x 100, centred: rows 50..149.
    EXPECT_TRUE(Near(At(50, 100), Qt::red));
    EXPECT_TRUE(Near(At(150, 100), Qt::blue));
    EXPECT_TRUE(Near(At(100, 20), Qt::black));

    slot_.Turn(900);
    EXPECT_EQ(slot_.PictureWidth(), 40);
    EXPECT_EQ(slot_.PictureHeight(), 80);
    EXPECT_TRUE(Near(At(100, 50), Qt::red));
    EXPECT_TRUE(Near(At(100, 150), Qt::blue));
    EXPECT_TRUE(Near(At(20, 100), Qt::black));
  }
}

TEST_F(QtRastrelTest, TurnTakesWholeQuartersBothWays) {
  Show(Write("p.png", Encoded(test::TwoTone(80, 40), "png")));
  struct Step {
    std::int16_t tenths;
    int width;
    QPoint red_at;
  };
  // From upright: -900 puts the left half at the bottom; 1800 then brings it on top;
  // 100 is no turn; 450 rounds to a quarter.
  const Step steps[] = {{-900, 40, {100, 150}},
                        {1800, 40, {100, 50}},
                        {100, 40, {100, 50}},
                        {450, 80, {150, 100}},
                        {2700, 40, {100, 50}}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.tenths);
    slot_.Turn(step.tenths);
    EXPECT_EQ(slot_.PictureWidth(), step.width);
    EXPECT_TRUE(Near(At(step.red_at.x(), step.red_at.y()), Qt::red));
  }
}

TEST_F(QtRastrelTest, HonoursExifOrientation) {
  const QByteArray jpeg = Encoded(test::TwoTone(80, 40), "jpeg");
  Show(Write("exif6.jpg", test::WithExifOrientation(jpeg, 6)));  // stored turned anticlockwise
  EXPECT_EQ(slot_.PictureWidth(), 40);
  EXPECT_EQ(slot_.PictureHeight(), 80);
  EXPECT_TRUE(Near(At(100, 50), Qt::red));
  EXPECT_TRUE(Near(At(100, 150), Qt::blue));
}

// A damaged or unusable profile leaves the picture as it would be without one.
TEST_F(QtRastrelTest, BrokenProfileIsIgnored) {
  const QImage picture = test::TwoTone(80, 40);
  const QByteArray garbage(300, '\x5a');
  QByteArray icc_segment = QByteArray("ICC_PROFILE\0\1\1", 14) + garbage;
  const int length = int(icc_segment.size()) + 2;
  const QByteArray jpeg = Encoded(picture, "jpeg");
  const QByteArray broken_jpeg = jpeg.left(2) + "\xff\xe2" + char(length >> 8) +
                                 char(length & 0xff) + icc_segment + jpeg.mid(2);
  const QByteArray png = Encoded(picture, "png");
  const QByteArray zipped = qCompress(garbage).mid(4);  // zlib stream without Qt's length
  const QByteArray broken_png =
      test::PngWithChunk(png, "iCCP", QByteArray("broken\0\0", 8) + zipped);
  const std::pair<const char*, QByteArray> cases[] = {{"jpeg", broken_jpeg}, {"png", broken_png}};
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    Show(Write(QString("broken-profile.%1").arg(name), bytes));
    EXPECT_EQ(slot_.PictureWidth(), 80);
    EXPECT_TRUE(Near(At(50, 100), Qt::red, 8));
    EXPECT_TRUE(Near(At(150, 100), Qt::blue, 8));
  }
}

TEST_F(QtRastrelTest, FailureKeepsThePictureOnView) {
  Show(Write("good.png", Encoded(test::TwoTone(80, 40), "png")));
  const QByteArray png = Encoded(test::TwoTone(300, 200), "png");
  const QByteArray jpeg = Encoded(test::TwoTone(300, 200), "jpeg");
  QByteArray huge_pcx = test::Pcx(test::TwoTone(8, 8), 8, 1);
  huge_pcx[8] = huge_pcx[9] = huge_pcx[10] = huge_pcx[11] = '\xff';  // 65536 x 65536
  QByteArray huge_png = png;
  huge_png.replace(16, 8, QByteArray("\x00\x00\x75\x30\x00\x00\x75\x30", 8));  // 30000^2

  mkfifo(dir_.filePath("fifo").toLocal8Bit().constData(), 0600);
  QDir(dir_.path()).mkdir("folder");
  const std::string failing[] = {
      Write("truncated.png", png.left(png.size() / 3)),
      Write("text.jpg", "this is no picture at all"),
      Write("empty.png", ""),
      Write("huge.pcx", huge_pcx),
      Write("huge.png", huge_png),
      Write("header-only.jpg", jpeg.left(200)),
      QFile::encodeName(dir_.filePath("fifo")).toStdString(),
      QFile::encodeName(dir_.filePath("folder")).toStdString(),
      QFile::encodeName(dir_.filePath("missing.png")).toStdString(),
      "",
  };
  for (const std::string& name : failing) {
    SCOPED_TRACE(name);
    slot_.SourcePath(name);
    EXPECT_THROW(slot_.Render(), platform::Error);
    EXPECT_EQ(slot_.PictureWidth(), 80);
    EXPECT_TRUE(Near(At(50, 100), Qt::red));
  }
}

TEST(QtRastrelEmptySlot, PutsAndRefitNeverFail) {
  QtRastrel slot;
  EXPECT_EQ(slot.PictureWidth(), 0);
  EXPECT_EQ(slot.PictureHeight(), 0);
  const double tpp = TwipsPerPixel(slot);
  EXPECT_NO_THROW({
    slot.Left(float(10 * tpp));
    slot.Top(float(20 * tpp));
    slot.Width(float(300 * tpp));
    slot.Height(-5000.0f);
    slot.Refit(0);
    slot.Turn(900);
    slot.Visible(true);
    slot.Visible(false);
  });
  EXPECT_EQ(slot.geometry(), QRect(10, 20, 300, 0));
  slot.Width(1e30f);  // absurd values clamp instead of wrapping
  EXPECT_GE(slot.width(), 0);
}

// Runs the event loop until `done` holds or `ms` have passed.
template <typename Done>
bool WaitFor(Done done, int ms = 3000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

// Mean difference of two same-sized pictures, per channel.
double MeanDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 255;
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
             std::abs(qBlue(p) - qBlue(q));
    }
  return sum / (3.0 * a.width() * a.height());
}

QImage Checkered(int w, int h) {
  QImage fine(w, h, QImage::Format_RGB32);
  for (int y = 0; y < fine.height(); ++y)
    for (int x = 0; x < fine.width(); ++x)
      fine.setPixel(x, y, (x / 4 + y / 4) % 2 ? 0xffffffff : 0xff000000);
  return fine;
}

// A larger slot is refitted at once from what is kept, and decoded afresh only once the
// size has settled, as sharp as a fresh render; a hidden slot only once it is shown; a
// vanished file leaves the picture on view.
TEST_F(QtRastrelTest, LargerSlotIsSharpenedOnceTheSizeSettles) {
  const std::string path = Write("fine.png", Encoded(Checkered(1600, 1200), "png"));
  QtRastrel fresh;
  fresh.resize(400, 300);
  fresh.SourcePath(path);
  fresh.Render();
  const QImage sharp = fresh.grab().toImage();

  slot_.Visible(true);
  slot_.resize(50, 50);
  Show(path);
  slot_.resize(400, 300);
  slot_.Refit(0);
  EXPECT_NE(slot_.grab().toImage(), sharp);  // at once: enlarged from what is kept
  EXPECT_TRUE(WaitFor([&] { return slot_.grab().toImage() == sharp; }));

  QtRastrel larger;
  larger.resize(800, 600);
  larger.SourcePath(path);
  larger.Render();
  const QImage sharper = larger.grab().toImage();
  // A hidden slot holds no picture (it lets go of it when hidden): only a slot on view is
  // refitted and sharpened.
  slot_.resize(800, 600);
  slot_.Refit(0);
  EXPECT_TRUE(WaitFor([&] { return slot_.grab().toImage() == sharper; }));

  slot_.resize(50, 50);
  slot_.Refit(0);
  QFile::remove(QFile::decodeName(path.c_str()));
  slot_.resize(800, 600);
  EXPECT_NO_THROW(slot_.Refit(0));
  WaitFor([] { return false; }, 400);
  EXPECT_EQ(slot_.PictureWidth(), 1600);
  // Refitted from what was kept, which the 800 x 600 decode made: the same picture again
  // (a black slot would be 127.5 away from the checkers).
  EXPECT_LT(MeanDifference(slot_.grab().toImage(), sharper), 2);
}

// A sharper decode comes only from the file that was rendered: one rewritten, or another
// renamed over it, holding a picture of the very same size, waits for the next Render.
TEST_F(QtRastrelTest, SharpensOnlyTheFileRendered) {
  const QByteArray blue = Encoded(test::TwoTone(1600, 1200).mirrored(true, false), "png");
  const struct {
    const char* what;
    std::function<void(const std::string& path)> change;
  } rows[] = {
      {"rewritten, saved a second later",
       [&](const std::string& path) {
         Write("fine.png", blue);
         struct stat info {};
         ::stat(path.c_str(), &info);
         const timespec times[2] = {info.st_atim, {info.st_mtim.tv_sec + 1, info.st_mtim.tv_nsec}};
         ::utimensat(AT_FDCWD, path.c_str(), times, 0);
       }},
      {"renamed over",
       [&](const std::string& path) {
         const std::string other = Write("other.png", blue);
         ASSERT_EQ(::rename(other.c_str(), path.c_str()), 0);
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = Write("fine.png", Encoded(test::TwoTone(1600, 1200), "png"));
    slot_.Visible(true);
    slot_.resize(50, 50);
    Show(path);
    slot_.Visible(true);
    row.change(path);
    slot_.resize(400, 300);
    slot_.Refit(0);
    WaitFor([] { return false; }, 600);
    EXPECT_EQ(slot_.PictureWidth(), 1600);
    EXPECT_TRUE(Near(At(100, 150), Qt::red)) << At(100, 150).name().toStdString();
  }
}

// A turn is made from what was decoded, without reading the file again, and is as sharp
// as a fresh render of the turned picture.
TEST_F(QtRastrelTest, TurnNeedsNoSecondDecode) {
  const QImage picture = Checkered(1600, 1200);
  const std::string turned =
      Write("turned.png", Encoded(picture.transformed(QTransform().rotate(90)), "png"));
  QtRastrel fresh;
  fresh.resize(400, 300);
  fresh.SourcePath(turned);
  fresh.Render();

  const std::string path = Write("upright.png", Encoded(picture, "png"));
  slot_.resize(400, 300);
  Show(path);
  QFile::remove(QFile::decodeName(path.c_str()));
  slot_.Turn(900);
  EXPECT_EQ(slot_.PictureWidth(), 1200);
  EXPECT_LT(MeanDifference(slot_.grab().toImage(), fresh.grab().toImage()), 3);
}

TEST(QtRastrelMouse, EmitsClassicCodesInTwips) {
  QtRastrel slot;
  slot.resize(100, 100);
  int button = -1, shift = -1;
  float x = 0, y = 0;
  QObject::connect(&slot, &QtRastrel::mouseDown, [&](int b, int s, float px, float py) {
    button = b, shift = s, x = px, y = py;
  });
  struct Press {
    Qt::MouseButton button;
    Qt::KeyboardModifiers mods;
    int code, shift;
  };
  const Press presses[] = {{Qt::LeftButton, Qt::NoModifier, 1, 0},
                           {Qt::RightButton, Qt::ControlModifier, 2, 2},
                           {Qt::MiddleButton, Qt::ShiftModifier | Qt::AltModifier, 4, 5}};
  for (const Press& press : presses) {
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(10, 20), QPointF(10, 20), press.button,
                      press.button, press.mods);
    QCoreApplication::sendEvent(&slot, &event);
    EXPECT_EQ(button, press.code);
    EXPECT_EQ(shift, press.shift);
    EXPECT_FLOAT_EQ(x, ToTwips(10, slot));
    EXPECT_FLOAT_EQ(y, ToTwips(20, slot));
  }
}

}  // namespace
}  // namespace mirvane::platform::qt
