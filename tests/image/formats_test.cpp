// The formats read through codec libraries and the animations: files made by Debian's
// own encoders at test time (and by our writers where there is none), shown through the
// slot; told by content whatever their name; damaged copies refused without harm.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <set>
#include <string>
#include <string_view>

#include "icc_profiles.h"
#include "image/decode.h"
#include "image/format.h"
#include "image/frame_collector.h"
#include "platform/error.h"
#include "platform/qt/image/qt_rastrel.h"
#include "test_pictures.h"

namespace mirvane::platform::qt {
namespace {

namespace pipeline = mirvane::image;
using mirvane::image::Format;
using test::Near;

std::string_view View(const QByteArray& b) { return {b.constData(), std::size_t(b.size())}; }

QSize SizeOf(const pipeline::Pixels& p) { return {p.width, p.height}; }

// The colour of a pipeline picture at (x, y).
QColor ColourAt(const pipeline::Pixels& p, int x, int y) {
  if (x < 0 || y < 0 || x >= p.width || y >= p.height) return Qt::transparent;
  return QColor::fromRgba(p.argb[std::size_t(y) * std::size_t(p.width) + std::size_t(x)]);
}

// Finished pictures are opaque, whatever the file held.
bool Opaque(const pipeline::Pixels& p) {
  return !p.has_alpha &&
         std::all_of(p.argb.begin(), p.argb.end(), [](std::uint32_t v) { return v >> 24 == 0xff; });
}

const char kSvg[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- drawn -->
<svg xmlns="http://www.w3.org/2000/svg" width="%1" height="%2" viewBox="0 0 2 1">
  <rect width="1" height="1" fill="#f00"/><rect x="1" width="1" height="1" fill="#00f"/>
</svg>)";

class FormatsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    slot_.resize(200, 200);
  }
  QString Path(const QString& name) const { return dir_.filePath(name); }
  std::string Write(const QString& name, const QByteArray& bytes) {
    EXPECT_TRUE(test::WriteFile(Path(name), bytes));
    return QFile::encodeName(Path(name)).toStdString();
  }
  QByteArray Read(const QString& name) {
    QFile f(Path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  // Runs an encoder in the work folder; its output file's bytes.
  QByteArray Encode(const QString& program, QStringList args, const QString& output) {
    QFile::remove(Path(output));
    for (QString& a : args)
      if (a.startsWith('@')) a = Path(a.mid(1));
    EXPECT_TRUE(test::Run(program, args)) << program.toStdString();
    return Read(output);
  }
  void Show(const std::string& path) {
    slot_.SourcePath(path);
    slot_.Render();
  }
  QColor At(int x, int y) { return slot_.grab().toImage().pixelColor(x, y); }
  // Three solid frames, red, green and blue, saved as PNGs f0..f2.
  std::vector<QImage> Frames(int w = 60, int h = 40) {
    std::vector<QImage> frames;
    for (QColor c : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue)}) {
      QImage f(w, h, QImage::Format_RGB32);
      f.fill(c);
      f.save(Path(QString("f%1.png").arg(frames.size())));
      frames.push_back(f);
    }
    return frames;
  }

  QTemporaryDir dir_;
  QtRastrel slot_;
};

// Each new still format draws red on the left and blue on the right of an 80 x 40
// picture, under a name that says JPEG: the bytes decide.
TEST_F(FormatsTest, DrawsEachStillFormatToldByContent) {
  ASSERT_TRUE(test::TwoTone(80, 40).save(Path("source.png")));
  const QImage source = test::TwoTone(80, 40);
  struct Case {
    const char* name;
    QByteArray bytes;
    const char* file;
  };
  const Case cases[] = {
      {"heic", Encode("heif-enc", {"-q", "90", "-o", "@out.heic", "@source.png"}, "out.heic"),
       "heic-named.jpg"},
      {"avif", Encode("avifenc", {"-s", "10", "@source.png", "@out.avif"}, "out.avif"),
       "avif-named.jpg"},
      {"jxl", Encode("cjxl", {"@source.png", "@out.jxl", "-d", "0"}, "out.jxl"), "jxl-named.jpg"},
      {"svg", QString(kSvg).arg(80).arg(40).toUtf8(), "svg-named.jpg"},
      // TGA has no signature; its name is the last resort.
      {"tga", Encode("convert", {"@source.png", "@out.tga"}, "out.tga"), "picture.tga"},
      {"tga-rle", Encode("convert", {"@source.png", "-compress", "RLE", "@rle.tga"}, "rle.tga"),
       "rle.tga"},
      {"dng", test::Dng(source), "dng-named.jpg"},
      {"dng-preview-turned", test::Dng(source, true, 6), "dng-preview.jpg"},
      {"dng-preview-turned-left", test::Dng(source, true, 8), "dng-preview-8.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(c.bytes.isEmpty());
    ASSERT_NO_THROW(Show(Write(c.file, c.bytes)));
    EXPECT_EQ(slot_.PictureWidth(), 80);
    EXPECT_EQ(slot_.PictureHeight(), 40);
    EXPECT_TRUE(Near(At(50, 100), Qt::red)) << At(50, 100).name().toStdString();
    EXPECT_TRUE(Near(At(150, 100), Qt::blue)) << At(150, 100).name().toStdString();
    EXPECT_TRUE(Near(At(100, 20), Qt::black));
  }
}

// The colour of the PNG `name` at (x, y), over white.
QColor OverWhite(const QString& name, int x, int y) {
  const QColor c = QImage(name).pixelColor(x, y);
  const auto over = [&](int v) { return (v * c.alpha() + 255 * (255 - c.alpha()) + 127) / 255; };
  return QColor(over(c.red()), over(c.green()), over(c.blue()));
}

// Grey, translucent and deep variants draw too, in the colours of the PNG they were made
// from (translucent ones over white).
TEST_F(FormatsTest, DrawsGreyTranslucentAndDeepVariants) {
  ASSERT_TRUE(test::TwoTone(80, 40).save(Path("source.png")));
  ASSERT_TRUE(test::Run("convert", {Path("source.png"), "-colorspace", "Gray", Path("grey.png")}));
  // RGBA, not a palette: this heif-enc takes a palette PNG's indices for greys.
  ASSERT_TRUE(test::Run("convert", {Path("source.png"), "-alpha", "set", "-channel", "A",
                                    "-evaluate", "set", "50%", "PNG32:" + Path("alpha.png")}));
  ASSERT_TRUE(test::Run("convert", {Path("source.png"), "-depth", "16", Path("deep.png")}));
  const struct {
    const char* what;
    QByteArray bytes;
    const char* made_from;
  } files[] = {
      {"grey jxl", Encode("cjxl", {"@grey.png", "@grey.jxl"}, "grey.jxl"), "grey.png"},
      {"alpha jxl", Encode("cjxl", {"@alpha.png", "@alpha.jxl"}, "alpha.jxl"), "alpha.png"},
      {"deep jxl", Encode("cjxl", {"@deep.png", "@deep.jxl"}, "deep.jxl"), "deep.png"},
      {"grey avif", Encode("avifenc", {"-s", "10", "@grey.png", "@grey.avif"}, "grey.avif"),
       "grey.png"},
      {"alpha avif", Encode("avifenc", {"-s", "10", "@alpha.png", "@alpha.avif"}, "alpha.avif"),
       "alpha.png"},
      {"deep avif",
       Encode("avifenc", {"-s", "10", "-d", "10", "@deep.png", "@deep.avif"}, "deep.avif"),
       "deep.png"},
      {"alpha heic", Encode("heif-enc", {"-o", "@alpha.heic", "@alpha.png"}, "alpha.heic"),
       "alpha.png"},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.what);
    ASSERT_FALSE(file.bytes.isEmpty());
    ASSERT_NO_THROW(Show(Write("variant.jpg", file.bytes)));
    EXPECT_EQ(slot_.PictureWidth(), 80);
    EXPECT_EQ(slot_.PictureHeight(), 40);
    // Fitted to 200 x 100: slot (50, 100) is the picture's (20, 20), (150, 100) its (60, 20).
    const QColor left = OverWhite(Path(file.made_from), 20, 20);
    const QColor right = OverWhite(Path(file.made_from), 60, 20);
    EXPECT_TRUE(Near(At(50, 100), left, 12))
        << At(50, 100).name().toStdString() << " for " << left.name().toStdString();
    EXPECT_TRUE(Near(At(150, 100), right, 12))
        << At(150, 100).name().toStdString() << " for " << right.name().toStdString();
    EXPECT_TRUE(Near(At(100, 20), Qt::black, 0));
  }
}

// Damaged copies of each (cut short, or with their middle overwritten) draw or are
// refused, quickly; a cut header is always refused.
TEST_F(FormatsTest, DamagedFilesAreRefusedOrDrawnWithoutHarm) {
  ASSERT_TRUE(test::TwoTone(64, 48).save(Path("source.png")));
  const QByteArray files[] = {
      Encode("heif-enc", {"-o", "@c.heic", "@source.png"}, "c.heic"),
      Encode("avifenc", {"-s", "10", "@source.png", "@c.avif"}, "c.avif"),
      Encode("cjxl", {"@source.png", "@c.jxl"}, "c.jxl"),
      Encode("img2webp", {"-o", "@c.webp", "@source.png", "@source.png"}, "c.webp"),
      test::Apng({test::TwoTone(64, 48), test::TwoTone(64, 48)}, 100, 0),
      test::Dng(test::TwoTone(64, 48), true, 6),
      QString(kSvg).arg(64).arg(48).toUtf8(),
  };
  for (const QByteArray& whole : files) {
    ASSERT_GT(whole.size(), 40);
    SCOPED_TRACE(whole.left(16).toHex().toStdString());
    const QByteArray header_only = whole.left(24);
    QByteArray scrambled = whole;
    for (qsizetype i = whole.size() / 3; i < whole.size() * 2 / 3; i += 7) scrambled[i] = '\x5a';
    for (const QByteArray& bad : {whole.left(whole.size() / 2), scrambled}) {
      QElapsedTimer timer;
      timer.start();
      try {
        Show(Write("bad.jpg", bad));
      } catch (const Error&) {
      }
      EXPECT_LT(timer.elapsed(), 2000);
    }
    EXPECT_THROW(Show(Write("cut.jpg", header_only)), Error);
  }
}

// SVG is drawn at the size it is shown at: an 8 x 4 drawing in a 200-pixel slot has a
// hard edge between its halves, and again after the slot grows.
TEST_F(FormatsTest, SvgStaysSharpAtAnySize) {
  Show(Write("small.svg", QString(kSvg).arg(8).arg(4).toUtf8()));
  EXPECT_EQ(slot_.PictureWidth(), 8);
  EXPECT_TRUE(Near(At(98, 100), Qt::red, 8));
  EXPECT_TRUE(Near(At(101, 100), Qt::blue, 8));
  slot_.resize(400, 400);
  slot_.Refit(0);
  EXPECT_TRUE(Near(At(197, 200), Qt::red, 8));
  EXPECT_TRUE(Near(At(202, 200), Qt::blue, 8));
  slot_.Turn(900);
  EXPECT_TRUE(Near(At(200, 197), Qt::red, 8));
  EXPECT_TRUE(Near(At(200, 202), Qt::blue, 8));
}

// A picture file stands alone: what an SVG names outside itself (a device among them) is
// not read, and the drawing is shown without it; links inside it and data: URIs are fine.
TEST_F(FormatsTest, SvgNamingOtherFilesIsDrawnWithoutThem) {
  const QString head =
      "<svg xmlns='http://www.w3.org/2000/svg' "
      "xmlns:xlink='http://www.w3.org/1999/xlink' width='20' height='10'>"
      "<rect width='20' height='10' fill='blue'/>";
  QImage red(20, 10, QImage::Format_RGB32);
  red.fill(Qt::red);
  ASSERT_TRUE(red.save(Path("other.png")));
  const QString others[] = {"<image href='/dev/zero' width='20' height='10'/>",
                            "<image xlink:href = \"file:///etc/passwd\" width='2' height='1'/>",
                            "<image href='other.png' width='20' height='10'/>"};
  for (const QString& body : others) {
    SCOPED_TRACE(body.toStdString());
    EXPECT_NO_THROW(Show(Write("refers.svg", (head + body + "</svg>").toUtf8())));
    EXPECT_TRUE(Near(At(100, 100), Qt::blue));
  }
  const QString allowed =
      "<defs><rect id='r' width='20' height='10' fill='red'/></defs><use href='#r'/>"
      "<image href='data:image/png;base64,AAAA' width='1' height='1'/>";
  EXPECT_NO_THROW(Show(Write("alone.svg", (head + allowed + "</svg>").toUtf8())));
  EXPECT_TRUE(Near(At(100, 100), Qt::red));
}

struct Animation {
  const char* name;
  QByteArray bytes;
  int delay_ms;
  int loops;
};

// Every animated format gives all its frames, fitted, with their delays and loop counts.
TEST_F(FormatsTest, AnimationsKeepFramesDelaysAndLoops) {
  const std::vector<QImage> frames = Frames();
  QFile y4m(Path("frames.y4m"));  // avifenc takes sequences as YUV4MPEG2
  ASSERT_TRUE(y4m.open(QIODevice::WriteOnly));
  y4m.write("YUV4MPEG2 W60 H40 F10:3 Ip A1:1 C444\n");  // 3.33 frames a second: 300 ms
  for (const QImage& f : frames) {
    const QColor c = f.pixelColor(0, 0);
    const auto y = char(0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue());
    const auto u = char(128 - 0.169 * c.red() - 0.331 * c.green() + 0.5 * c.blue());
    const auto v = char(128 + 0.5 * c.red() - 0.419 * c.green() - 0.081 * c.blue());
    y4m.write("FRAME\n");
    y4m.write(QByteArray(60 * 40, y) + QByteArray(60 * 40, u) + QByteArray(60 * 40, v));
  }
  y4m.close();
  const QByteArray gif =
      Encode("convert", {"-delay", "30", "-loop", "2", "@f0.png", "@f1.png", "@f2.png", "@a.gif"},
             "a.gif");
  const Animation cases[] = {
      // ImageMagick's "-loop 2" means two plays: one after the first.
      {"gif", gif, 300, 1},
      {"gif-fast",
       Encode("convert", {"-delay", "1", "@f0.png", "@f1.png", "@f2.png", "@fast.gif"}, "fast.gif"),
       100, -1},
      {"webp",
       Encode("img2webp",
              {"-loop", "2", "-lossless", "-d", "300", "@f0.png", "@f1.png", "@f2.png", "-o",
               "@a.webp"},
              "a.webp"),
       300, 1},
      {"apng", test::Apng(frames, 300, 0), 300, -1},
      {"apng-fast", test::Apng(frames, 10, 1), 100, 0},
      {"avif", Encode("avifenc", {"-s", "10", "@frames.y4m", "@a.avif"}, "a.avif"), 300, -1},
      // This cjxl keeps no loop count: the animation plays forever.
      {"jxl", Encode("cjxl", {"@a.gif", "@a.jxl"}, "a.jxl"), 300, -1},
  };
  for (const Animation& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(c.bytes.isEmpty());
    pipeline::Decoded d;
    ASSERT_NO_THROW(d = pipeline::Decode(View(c.bytes), {120, 120}));
    EXPECT_EQ(d.full, (pipeline::Size{60, 40}));
    ASSERT_EQ(d.frames.size(), 3u);
    EXPECT_EQ(d.loops, c.loops);
    const QColor expected[] = {Qt::red, Qt::green, Qt::blue};
    for (std::size_t i = 0; i < 3; ++i) {
      const pipeline::Pixels& f = d.frames[i].image;
      EXPECT_EQ(SizeOf(f), QSize(120, 80));
      EXPECT_TRUE(Opaque(f)) << i;
      EXPECT_EQ(d.frames[i].delay_ms, c.delay_ms);
      EXPECT_TRUE(Near(ColourAt(f, 60, 40), expected[i]))
          << i << " " << ColourAt(f, 60, 40).name().toStdString();
    }
  }
}

// Each frame is finished as a still picture is: opaque, white behind transparency, turned.
TEST_F(FormatsTest, AnimationFramesAreFinishedLikeStills) {
  std::vector<QImage> frames;
  for (QColor c : {QColor(Qt::transparent), QColor(255, 0, 0, 128), QColor(Qt::blue)}) {
    QImage f(60, 40, QImage::Format_ARGB32);
    f.fill(c);
    frames.push_back(f);
  }
  const pipeline::Decoded d = pipeline::Decode(View(test::Apng(frames, 100, 0)), {120, 120}, 1);
  ASSERT_EQ(d.frames.size(), 3u);
  EXPECT_EQ(SizeOf(d.source), QSize(120, 80));
  EXPECT_EQ(SizeOf(d.image), QSize(80, 120));
  EXPECT_EQ(d.image.argb, d.frames.front().image.argb);
  const QColor expected[] = {Qt::white, QColor(255, 127, 127), Qt::blue};
  for (std::size_t i = 0; i < 3; ++i) {
    const pipeline::Pixels& f = d.frames[i].image;
    EXPECT_EQ(SizeOf(f), QSize(80, 120));
    EXPECT_TRUE(Opaque(f)) << i;
    EXPECT_TRUE(Near(ColourAt(f, 40, 60), expected[i], 2))
        << i << " " << ColourAt(f, 40, 60).name().toStdString();
  }
}

// A table-based profile (which Qt 6.4 cannot even read) is honoured for the frames of an
// animation and for a lone frame (a still JXL) as for any other picture.
TEST_F(FormatsTest, FramesTakeATableProfile) {
  const QByteArray profile = test::LinearTableProfile();
  ASSERT_FALSE(QColorSpace::fromIccProfile(profile).isValid()) << "no table profile";
  const pipeline::Pixels grey{60, 40, false, std::vector<std::uint32_t>(60 * 40, 0xff808080u)};
  for (std::size_t count : {1u, 2u}) {
    SCOPED_TRACE(count);
    pipeline::FrameCollector frames({60, 40}, 0);
    for (std::size_t i = 0; i < count; ++i) ASSERT_TRUE(frames.Add(pipeline::Pixels(grey), 100));
    const pipeline::Decoded d = std::move(frames).Finish(0, profile.toStdString());
    EXPECT_EQ(d.frames.size(), count == 1 ? std::size_t{0} : count);
    // A linear 128 is sRGB 188.
    EXPECT_TRUE(Near(ColourAt(d.image, 30, 20), QColor(188, 188, 188), 4))
        << ColourAt(d.image, 30, 20).name().toStdString();
    for (const pipeline::Frame& f : d.frames) {
      EXPECT_TRUE(Near(ColourAt(f.image, 30, 20), QColor(188, 188, 188), 4));
    }
  }
}

// A mid grey PNG tagged with a table-based profile, and the HEIC heif-enc makes of it (it
// copies the profile): both are converted to sRGB through Little CMS.
TEST_F(FormatsTest, TableProfileIsHonoured) {
  QImage grey(64, 64, QImage::Format_RGB32);
  grey.fill(QColor(128, 128, 128));
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  grey.save(&buffer, "png");
  QByteArray iccp("table\0\0", 7);
  iccp += qCompress(test::LinearTableProfile()).mid(4);  // zlib data without Qt's length
  ASSERT_TRUE(test::WriteFile(Path("table.png"), test::PngWithChunk(png, "iCCP", iccp)));
  const struct {
    const char* what;
    QByteArray bytes;
  } rows[] = {
      {"png", Read("table.png")},
      {"heic", Encode("heif-enc", {"-q", "95", "-o", "@table.heic", "@table.png"}, "table.heic")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const pipeline::Pixels shown = pipeline::Decode(View(row.bytes), {64, 64}).image;
    // A linear 128 is sRGB 188.
    EXPECT_TRUE(Near(ColourAt(shown, 32, 32), QColor(188, 188, 188), 6))
        << ColourAt(shown, 32, 32).name().toStdString();
  }
}

// The frames kept are within budget: in a huge box only as many as fit are kept.
TEST_F(FormatsTest, AnimationFramesKeptAreBounded) {
  const QByteArray apng = test::Apng(Frames(8, 8), 100, 0);
  const pipeline::Decoded d = pipeline::Decode(View(apng), {5000, 5000});
  EXPECT_EQ(d.frames.size(), 2u);  // a third 25-MP frame would pass 64 MP
  EXPECT_EQ(SizeOf(d.image), QSize(5000, 5000));
}

void Wait(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// On view, a drawing grown and turned is drawn afresh at its new size once the size has
// settled, exactly as a fresh render of it.
TEST_F(FormatsTest, SvgIsDrawnAfreshOnceTheSizeSettles) {
  const std::string path = Write("small.svg", QString(kSvg).arg(8).arg(4).toUtf8());
  QtRastrel fresh;
  fresh.resize(400, 400);
  fresh.SourcePath(path);
  fresh.Render();
  fresh.Turn(900);
  const QImage sharp = fresh.grab().toImage();
  slot_.Visible(true);
  Show(path);
  slot_.resize(400, 400);
  slot_.Refit(0);
  slot_.Turn(900);
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 3000 && slot_.grab().toImage() != sharp) Wait(20);
  EXPECT_EQ(slot_.grab().toImage(), sharp);
}

// An animation plays only while its slot is on view, and stops on its last frame when
// its plays are done.
TEST_F(FormatsTest, AnimationPlaysOnlyOnView) {
  const std::string path = Write("a.png", test::Apng(Frames(), 150, 1));
  slot_.hide();
  Show(path);
  Wait(600);
  EXPECT_TRUE(Near(At(100, 100), Qt::red)) << "the hidden slot played";
  slot_.show();
  bool green = false;
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 2000 && !green) {
    Wait(20);
    green = Near(At(100, 100), Qt::green);
  }
  EXPECT_TRUE(green) << "the slot on view did not play";
  Wait(800);
  EXPECT_TRUE(Near(At(100, 100), Qt::blue)) << "played once, it ends on its last frame";
  Wait(400);
  EXPECT_TRUE(Near(At(100, 100), Qt::blue));
  // Turned and refitted, it keeps its frames.
  slot_.Turn(900);
  slot_.resize(300, 300);
  slot_.Refit(0);
  EXPECT_EQ(slot_.PictureWidth(), 40);
  EXPECT_TRUE(Near(At(150, 150), Qt::blue));
}

// An animation resized while it plays shows every frame at the new size, while the size
// may still change and after it has settled, and plays on past its first play.
TEST_F(FormatsTest, AnimationResizedWhilePlayingFitsEveryFrame) {
  const std::string path = Write("a.png", test::Apng(Frames(), 60, 0));
  slot_.resize(120, 80);
  slot_.Visible(true);
  Show(path);
  slot_.resize(300, 200);
  slot_.Refit(0);
  const QColor order[] = {Qt::red, Qt::green, Qt::blue};
  std::set<QRgb> seen;
  int previous = -1, plays_again = 0;
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 900) {
    const QImage shown = slot_.grab().toImage();
    for (const QPoint p : {QPoint(2, 2), QPoint(297, 197), QPoint(150, 100)}) {
      const QColor c = shown.pixelColor(p);
      EXPECT_TRUE(Near(c, Qt::red, 8) || Near(c, Qt::green, 8) || Near(c, Qt::blue, 8))
          << timer.elapsed() << " ms: " << c.name().toStdString() << " at " << p.x() << ","
          << p.y();
      seen.insert(c.rgb());
    }
    const QColor centre = shown.pixelColor(150, 100);
    const int frame = int(std::find_if(std::begin(order), std::end(order),
                                       [&](QColor c) { return Near(centre, c, 8); }) -
                          std::begin(order));
    if (frame < 3) {
      if (frame < previous) ++plays_again;  // back to an earlier frame: a new play
      previous = frame;
    }
    Wait(20);
  }
  EXPECT_GE(seen.size(), 3u) << "it played on";
  EXPECT_GE(plays_again, 1) << "it stopped after its first play, though it loops forever";
}

TEST(Sniff, TellsFormatsByContent) {
  using mirvane::image::Sniff;
  const auto tiff = [](std::uint16_t tag, std::uint16_t value) {
    std::string b("II*\0\x08\0\0\0\x02\0", 10);
    for (std::uint16_t t : {std::uint16_t(271), tag}) {
      b += char(t & 0xff), b += char(t >> 8);
      b += std::string("\3\0\1\0\0\0", 6);
      b += char(value & 0xff), b += char(value >> 8), b += std::string(2, '\0');
    }
    return b + std::string(4, '\0');
  };
  std::string tga(18, '\0');
  tga[2] = 2, tga[12] = 4, tga[14] = 4, tga[16] = 24;
  const std::string tga_footer =
      tga + std::string(48, '\0') + std::string("TRUEVISION-XFILE.\0", 18);
  struct Case {
    std::string bytes;
    const char* name;
    Format format;
  };
  const Case cases[] = {
      {std::string("\0\0\0\x18"
                   "ftypheic\0\0\0\0mif1heic",
                   24),
       "", Format::kHeif},
      {std::string("\0\0\0\x18"
                   "ftypmif1\0\0\0\0mif1heic",
                   24),
       "", Format::kHeif},
      {std::string("\0\0\0\x1c"
                   "ftypavif\0\0\0\0avifmif1miaf",
                   28),
       "", Format::kAvif},
      {std::string("\0\0\0\x18"
                   "ftypmif1\0\0\0\0mif1avif",
                   24),
       "", Format::kAvif},
      {std::string("\0\0\0\x18"
                   "ftypavis\0\0\0\0avismsf1",
                   24),
       "", Format::kAvif},
      {std::string("\0\0\0\x18"
                   "ftypcrx \0\0\0\0crx isom",
                   24),
       "", Format::kRaw},
      {std::string("\0\0\0\x18"
                   "ftypisom\0\0\0\0isommp42",
                   24),
       "", Format::kUnknown},
      {std::string("\xff\x0a\xfa\x7f", 4), "", Format::kJxl},
      {std::string("\0\0\0\x0cJXL \r\n\x87\n", 12), "", Format::kJxl},
      {"IIRO\x08\0\0\0", "", Format::kRaw},
      {std::string("IIU\0\x08\0\0\0", 8), "", Format::kRaw},
      {"FUJIFILMCCD-RAW 0201", "", Format::kRaw},
      {std::string("II\x1a\0\0\0HEAPCCDR", 14), "", Format::kRaw},
      {std::string("II*\0\x10\0\0\0CR\x02\0", 12), "", Format::kRaw},
      {tiff(50706, 1), "", Format::kRaw},    // DNGVersion
      {tiff(330, 100), "", Format::kRaw},    // a maker with sub-images
      {tiff(262, 32803), "", Format::kRaw},  // a maker with colour-filter samples
      {tiff(262, 2), "", Format::kTiff},     // a maker's plain RGB TIFF
      {tga, "x.TGA", Format::kTga},
      {tga, "x.png", Format::kUnknown},
      {tga_footer, "", Format::kTga},
      {"\xef\xbb\xbf  <svg xmlns='http://www.w3.org/2000/svg'/>", "", Format::kSvg},
      {"<?xml version='1.0'?>\n<!DOCTYPE svg><svg/>", "", Format::kSvg},
      {"<?xml version='1.0'?>\n<html><svg/></html>", "", Format::kUnknown},
      {"<html><svg/></html>", "", Format::kUnknown},
      {"\x89PNG\r\n\x1a\n", "x.tga", Format::kPng},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sniff(c.bytes, c.name), c.format) << c.bytes.substr(0, 12) << " " << c.name;
  }
}

}  // namespace
}  // namespace mirvane::platform::qt
