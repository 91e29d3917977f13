// The slot's pixels against a reference fit made by ImageMagick from the same file (its
// own decoder, colour conversion to sRGB, white behind transparency, its own resize), as
// PSNR over the fitted picture. Run once per device-pixel ratio (QT_SCALE_FACTOR), or,
// with MIRVANE_FIDELITY_WIN32_DPI set, against the Windows slot under Wine at that dpi.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>

#include "corpus_files.h"
#include "image/fit.h"
#include "image/readers/png_chunks.h"
#include "platform/error.h"
#include "platform/qt/image/qt_rastrel.h"
#include "test_pictures.h"

namespace mirvane::platform::qt {
namespace {

constexpr double kMinPsnr = 38;
const QSize kSlot(459, 303);  // the default window's slot
const QString kProfiles = "/usr/share/color/icc/ghostscript/";

QString Magick() { return QStandardPaths::findExecutable("convert"); }

bool RunTool(const QString& program, const QStringList& args, QByteArray* out = nullptr) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(60000)) return false;
  if (out) *out = p.readAllStandardOutput();
  return p.exitStatus() == QProcess::NormalExit;
}

// ImageMagick's fit of `file` to `fitted` after `steps`, as 8-bit sRGB. Its filters are
// the kinds the slot uses, so that what is measured is colour, orientation and
// sharpness rather than a choice of filter: area averaging to reduce, bilinear to
// enlarge.
QImage Reference(const QString& file, const QStringList& steps, QSize fitted, bool enlarge) {
  QByteArray rgb;
  const QString size = QString("%1x%2!").arg(fitted.width()).arg(fitted.height());
  const QStringList fit =
      enlarge ? QStringList{"-filter", "Triangle", "-resize", size} : QStringList{"-scale", size};
  const QStringList args =
      QStringList{file + "[0]"} + steps +
      QStringList{"-background", "white", "-alpha", "remove", "-alpha", "off"} + fit +
      QStringList{"-depth", "8", "rgb:-"};
  if (!RunTool(Magick(), args, &rgb)) return {};
  if (rgb.size() != qsizetype(fitted.width()) * fitted.height() * 3) return {};
  QImage image(fitted, QImage::Format_RGB888);
  for (int y = 0; y < fitted.height(); ++y)
    memcpy(image.scanLine(y), rgb.constData() + qsizetype(y) * fitted.width() * 3,
           size_t(fitted.width()) * 3);
  return image;
}

// PSNR of `reference` against the same-sized area of `shown` centred in it, best of the
// placements one pixel either way (centring may round either way).
double Psnr(const QImage& shown, const QImage& reference) {
  const int x0 = (shown.width() - reference.width()) / 2;
  const int y0 = (shown.height() - reference.height()) / 2;
  double best = 0;
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      const QRect area(x0 + dx, y0 + dy, reference.width(), reference.height());
      if (!shown.rect().contains(area)) continue;
      double sum = 0;
      for (int y = 0; y < reference.height(); ++y) {
        const uchar* a = shown.constScanLine(area.y() + y) + area.x() * 3;
        const uchar* b = reference.constScanLine(y);
        for (int i = 0; i < reference.width() * 3; ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
      }
      const double mse = sum / (double(reference.width()) * reference.height() * 3);
      best = std::max(best, mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse));
    }
  }
  return best;
}

// What a slot showed of one file.
struct Shot {
  QString error;  // refused, and why
  QSize picture;  // the picture's size as the slot gives it
  QImage shown;   // the slot's device pixels
  QSize drawn;    // the fitted picture's size, where the slot tells it
};

// An image slot showing files in boxes of a size in logical pixels.
class Slot {
 public:
  virtual ~Slot() = default;
  virtual QSize DeviceBox(QSize logical) const = 0;
  virtual std::string Describe() const = 0;
  // `done` gets what was shown, now or at Flush; it may ask for more.
  virtual void Show(const QString& file, QSize logical, std::function<void(const Shot&)> done) = 0;
  virtual void Flush() {}
};

class QtSlot final : public Slot {
 public:
  QSize DeviceBox(QSize logical) const override {
    return (QSizeF(logical) * slot_.devicePixelRatioF()).toSize();
  }
  std::string Describe() const override {
    return "device-pixel ratio " + QString::number(slot_.devicePixelRatioF(), 'f', 2).toStdString();
  }
  void Show(const QString& file, QSize logical, std::function<void(const Shot&)> done) override {
    slot_.resize(logical);
    slot_.SourcePath(QFile::encodeName(file).toStdString());
    Shot shot;
    try {
      slot_.Render();
      shot.picture = QSize(slot_.PictureWidth(), slot_.PictureHeight());
      shot.shown = slot_.grab().toImage().convertToFormat(QImage::Format_RGB888);
    } catch (const Error& e) {
      shot.error = e.what();
    }
    done(shot);
  }

 private:
  QtRastrel slot_;
};

// The Windows slot, in mirvane_win32_render under Wine: every picture asked for until
// Flush goes to one run of it, as Wine is slow to start.
class WindowsSlot final : public Slot {
 public:
  WindowsSlot(QStringList command, int dpi, QString dir)
      : command_(std::move(command)), dpi_(dpi), dir_(std::move(dir)) {}
  QSize DeviceBox(QSize logical) const override {
    return (QSizeF(logical) * (dpi_ / 96.0)).toSize();
  }
  std::string Describe() const override {
    return "Windows slot under Wine at " + std::to_string(dpi_) + " dpi";
  }
  void Show(const QString& file, QSize logical, std::function<void(const Shot&)> done) override {
    const QString out = QString("%1/shown-%2.ppm").arg(dir_).arg(++count_);
    asked_.push_back({file, DeviceBox(logical), out, std::move(done)});
  }
  void Flush() override {
    while (!asked_.empty()) {
      std::deque<Asked> batch;
      batch.swap(asked_);
      QFile list(dir_ + "/render-list.txt");
      ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
      for (const Asked& a : batch) {
        QFile::remove(a.out);
        list.write(QString("%1\t%2\t%3\t%4\n")
                       .arg(a.file)
                       .arg(a.box.width())
                       .arg(a.box.height())
                       .arg(a.out)
                       .toUtf8());
      }
      list.close();
      QProcess run;
      run.setProcessChannelMode(QProcess::ForwardedChannels);
      QElapsedTimer clock;
      clock.start();
      run.start(command_.front(), command_.mid(1) << list.fileName());
      ASSERT_TRUE(run.waitForFinished(30 * 60 * 1000)) << command_.join(' ').toStdString();
      // A refusal is no failure of the program's; a crash or a file it could not write is.
      EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(run.exitCode(), 0);
      std::printf("%zu pictures shown by the Windows slot in one run of %.1f s\n", batch.size(),
                  clock.elapsed() / 1000.0);
      for (const Asked& a : batch) a.done(Read(a.out, a.box));
    }
  }

 private:
  struct Asked {
    QString file;
    QSize box;
    QString out;
    std::function<void(const Shot&)> done;
  };

  // The program's PPM drawn into the box as the slot paints it: centred on black.
  static Shot Read(const QString& name, QSize box) {
    Shot shot;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
      shot.error = "nothing written";
      return shot;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty()) {
      shot.error = "refused (the program's output says why)";
      return shot;
    }
    qsizetype at = 0;
    auto line = [&] {
      const qsizetype end = bytes.indexOf('\n', at);
      const QByteArray text = bytes.mid(at, end < 0 ? -1 : end - at);
      at = end < 0 ? bytes.size() : end + 1;
      return QString::fromLatin1(text).split(' ', Qt::SkipEmptyParts);
    };
    const QStringList magic = line(), picture = line(), size = line(), depth = line();
    if (magic != QStringList{"P6"} || picture.size() != 4 || picture[1] != "picture" ||
        size.size() != 2 || depth != QStringList{"255"}) {
      shot.error = "not a PPM of the program's";
      return shot;
    }
    shot.picture = QSize(picture[2].toInt(), picture[3].toInt());
    shot.drawn = QSize(size[0].toInt(), size[1].toInt());
    const qsizetype row = qsizetype(shot.drawn.width()) * 3;
    if (bytes.size() - at != row * shot.drawn.height() || shot.drawn.width() > box.width() ||
        shot.drawn.height() > box.height()) {
      shot.error = "a PPM of the wrong size";
      return shot;
    }
    shot.shown = QImage(box, QImage::Format_RGB888);
    shot.shown.fill(Qt::black);
    const int x = (box.width() - shot.drawn.width()) / 2;
    const int y = (box.height() - shot.drawn.height()) / 2;
    for (int r = 0; r < shot.drawn.height(); ++r)
      memcpy(shot.shown.scanLine(y + r) + x * 3, bytes.constData() + at + r * row, size_t(row));
    return shot;
  }

  QStringList command_;
  int dpi_;
  QString dir_;
  int count_ = 0;
  std::deque<Asked> asked_;
};

QSize Fitted(QSize picture, QSize box) {
  const auto f =
      mirvane::image::FittedSize({picture.width(), picture.height()}, {box.width(), box.height()});
  return {f.width, f.height};
}

// A kind of file made from the upright picture: ImageMagick's options that make it, the
// ones that bring it back to upright sRGB for the reference, and an optional EXIF
// orientation put into the file afterwards.
struct Kind {
  const char* name;
  const char* file;  // ImageMagick's output name, format prefix included
  QStringList make;
  QStringList reference;
  int exif_orientation = 0;
};

QStringList Profile(const QString& name) {
  return {"-profile", kProfiles + "srgb.icc", "-profile", kProfiles + name};
}
const QStringList kToSrgb = {"-profile", kProfiles + "srgb.icc"};
// Alpha from the picture's own lightness, never quite clear.
const QStringList kAlpha = {"(", "+clone", "-colorspace", "gray",     "+level",      "15%,100%",
                            ")", "-alpha", "off",         "-compose", "CopyOpacity", "-composite"};
// Shapes with hard edges, as a scanned page or a drawing has. (Not a dither: a regular
// pattern reduced by an odd factor aliases differently in any two good resamplers.)
const QStringList kBilevel = {"-colorspace", "gray", "-blur", "0x3",
                              "-threshold",  "50%",  "-type", "bilevel"};
QStringList Palette(int colours) {
  return {"-depth",
          "8",
          "+dither",
          "-colors",
          QString::number(colours),
          "-type",
          "Palette",
          "-define",
          "png:exclude-chunks=bKGD"};
}
const QStringList kTurnedLeft = {"-rotate", "-90"};
const QStringList kTurnRight = {"-rotate", "90"};

std::vector<Kind> Kinds() {
  std::vector<Kind> k = {
      {"jpeg", "x.jpg", {"-quality", "92"}, {}},
      {"jpeg-grey", "x.jpg", {"-colorspace", "gray", "-quality", "92"}, {}},
      {"jpeg-cmyk", "x.jpg", {"-colorspace", "cmyk", "-quality", "95"}, {"-colorspace", "sRGB"}},
      {"jpeg-cmyk-icc", "x.jpg", Profile("default_cmyk.icc") + QStringList{"-quality", "95"},
       kToSrgb},
      {"jpeg-adobe-rgb", "x.jpg", Profile("a98.icc") + QStringList{"-quality", "95"}, kToSrgb},
      {"jpeg-prophoto", "x.jpg", Profile("rommrgb.icc") + QStringList{"-quality", "95"}, kToSrgb},
      {"jpeg-exif6", "x.jpg", kTurnedLeft + QStringList{"-quality", "92"}, kTurnRight, 6},
      {"jpeg-cmyk-exif6", "x.jpg",
       kTurnedLeft + QStringList{"-colorspace", "cmyk", "-quality", "95"},
       QStringList{"-colorspace", "sRGB"} + kTurnRight, 6},
      {"png", "PNG24:x.png", {}, {}},
      {"png-palette1", "PNG:x.png", Palette(2), {}},
      {"png-palette2", "PNG:x.png", Palette(4), {}},
      {"png-palette4", "PNG:x.png", Palette(16), {}},
      {"png-palette8", "PNG:x.png", Palette(256), {}},
      {"png-bilevel", "PNG:x.png", kBilevel, {}},
      {"png-grey", "PNG:x.png", {"-colorspace", "gray", "-depth", "8"}, {}},
      {"png-grey16", "PNG:x.png", {"-colorspace", "gray", "-depth", "16"}, {}},
      {"png-rgb16", "PNG48:x.png", {"-depth", "16"}, {}},
      {"png-alpha", "PNG32:x.png", kAlpha, {}},
      {"png-alpha16", "PNG64:x.png", kAlpha + QStringList{"-depth", "16"}, {}},
      {"png-adobe-rgb", "PNG24:x.png", Profile("a98.icc"), kToSrgb},
      {"png-grey-icc",
       "PNG:x.png",
       {"-colorspace", "gray", "-depth", "8", "-profile", kProfiles + "sgray.icc"},
       kToSrgb},
      {"png-exif6", "PNG24:x.png", kTurnedLeft, kTurnRight, 6},
      {"bmp", "BMP3:x.bmp", {}, {}},
      {"bmp-palette8", "BMP3:x.bmp", Palette(256), {}},
      {"bmp-palette1", "BMP3:x.bmp", Palette(2), {}},
      // Undithered: a dither's fine pattern reduced by an odd factor aliases differently
      // in any two good resamplers.
      {"gif", "x.gif", {"+dither", "-colors", "256"}, {}},
      {"tiff", "x.tif", {"-compress", "lzw"}, {}},
      {"tiff-palette8", "x.tif", Palette(256), {}},
      {"tiff-bilevel", "x.tif", kBilevel + QStringList{"-compress", "group4"}, {}},
      {"tiff-grey16", "x.tif", {"-colorspace", "gray", "-depth", "16"}, {}},
      {"tiff-rgb16", "x.tif", {"-depth", "16"}, {}},
      {"tiff-alpha", "x.tif", kAlpha, {}},
      {"tiff-cmyk", "x.tif", {"-colorspace", "cmyk"}, {"-colorspace", "sRGB"}},
      {"tiff-cmyk-icc", "x.tif", Profile("default_cmyk.icc"), kToSrgb},
      {"tiff-adobe-rgb", "x.tif", Profile("a98.icc"), kToSrgb},
      {"tiff-orient6", "x.tif", kTurnedLeft + QStringList{"-orient", "RightTop"}, kTurnRight},
      {"webp", "x.webp", {"-quality", "92"}, {}},
      {"webp-lossless", "x.webp", {"-define", "webp:lossless=true"}, {}},
      {"webp-alpha", "x.webp", kAlpha + QStringList{"-define", "webp:lossless=true"}, {}},
      {"webp-adobe-rgb", "x.webp",
       Profile("a98.icc") + QStringList{"-define", "webp:lossless=true"}, kToSrgb},
      {"webp-exif6", "x.webp", kTurnedLeft + QStringList{"-define", "webp:lossless=true"},
       kTurnRight, 6},
      {"pcx", "PCX:x.pcx", {"-type", "TrueColor"}, {}},
      {"pcx-palette8", "PCX:x.pcx", Palette(256), {}},
  };
  return k;
}

// Puts an EXIF block with `orientation` into the file at `path`.
bool AddExif(const QString& path, int orientation) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray bytes = file.readAll();
  file.close();
  if (path.endsWith(".jpg"))
    return test::WriteFile(path, test::WithExifOrientation(bytes, orientation));
  if (path.endsWith(".png")) return test::WriteFile(path, test::PngWithExif(bytes, orientation));
  const QString exif = path + ".exif";
  return test::WriteFile(exif, test::ExifBlock(orientation)) &&
         RunTool("webpmux", {"-set", "exif", exif, path, "-o", path});
}

class Fidelity : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Magick().isEmpty()) {
      // Optional on a developer's machine; CI must not go green without it.
      if (!qEnvironmentVariableIsEmpty("CI")) FAIL() << "ImageMagick's convert is not installed";
      GTEST_SKIP() << "ImageMagick's convert is not installed";
    }
    ASSERT_TRUE(dir_.isValid());
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // figures as they come, in a log too
    const QString dpi = qEnvironmentVariable("MIRVANE_FIDELITY_WIN32_DPI");
    if (dpi.isEmpty()) {
      slot_ = std::make_unique<QtSlot>();
    } else {
      // Wine wants its prefix as an absolute path.
      const QString build =
          QFileInfo(qEnvironmentVariable("MIRVANE_WIN32_BUILD", MIRVANE_WIN32_BUILD))
              .absoluteFilePath();
      const QString program = build + "/tests/win32/mirvane_win32_render.exe";
      if (!QFile::exists(program)) {
        // CI runs this only after the Windows build.
        if (!qEnvironmentVariableIsEmpty("CI")) FAIL() << "no " << program.toStdString();
        GTEST_SKIP() << "no " << program.toStdString() << " (scripts/build-windows.sh makes it)";
      }
      if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        // Wine's windows need an X server; scripts/test-windows.sh gives them Xvfb.
        if (!qEnvironmentVariableIsEmpty("CI")) FAIL() << "no DISPLAY for Wine";
        GTEST_SKIP() << "no DISPLAY for Wine (xvfb-run ctest -L win32)";
      }
      slot_ = std::make_unique<WindowsSlot>(
          QStringList{MIRVANE_WINE_RUN, "--prefix", build + "/wineprefix", program}, dpi.toInt(),
          dir_.path());
    }
    const QSize box = slot_->DeviceBox(kSlot);
    std::printf("%s, slot %dx%d device pixels\n", slot_->Describe().c_str(), box.width(),
                box.height());
  }

  // PSNR of what the slot showed of `file` in a box of `logical` size against
  // ImageMagick's reference; -1 when refused, -2 without a reference.
  double Measure(const Shot& shot, const QString& file, const QStringList& reference_steps,
                 QSize upright, QSize logical) {
    if (!shot.error.isEmpty()) {
      // TIFF compressions whose codecs the Windows build's libtiff does not have yet.
      static const QStringList kNotBuiltOnWindows = {"usda_naip_256_webp_z3.tif",
                                                     "int16_zstd.tif"};
      const bool not_built =
          !qEnvironmentVariableIsEmpty("MIRVANE_FIDELITY_WIN32_DPI") &&
          std::any_of(kNotBuiltOnWindows.begin(), kNotBuiltOnWindows.end(),
                      [&](const QString& name) { return file.endsWith(name); });
      if (!not_built) ADD_FAILURE() << file.toStdString() << " refused: " << shot.error.toStdString();
      return -1;
    }
    if (upright.isEmpty()) upright = shot.picture;
    EXPECT_EQ(shot.picture, upright) << file.toStdString();
    const QSize fitted = Fitted(upright, slot_->DeviceBox(logical));
    if (shot.drawn.isValid()) {
      EXPECT_EQ(shot.drawn, fitted) << file.toStdString();
    }
    const QImage reference =
        Reference(file, reference_steps, fitted, fitted.width() > upright.width());
    if (reference.isNull()) return -2;
    return Psnr(shot.shown, reference);
  }

  QTemporaryDir dir_;
  std::unique_ptr<Slot> slot_;
};

TEST_F(Fidelity, EveryKindInBothOrientations) {
  const QSize landscape(1200, 900);
  const QString base = dir_.filePath("base-landscape.png");
  // A smooth, photograph-like picture with edges; the same for every kind.
  ASSERT_TRUE(RunTool(Magick(), {"-seed", "7", "-size", "300x225", "plasma:fractal", "-blur", "0x1",
                                 "-resize", "1200x900!", "-depth", "8", base}));
  const QString portrait = dir_.filePath("base-portrait.png");
  ASSERT_TRUE(RunTool(Magick(), {base, "-rotate", "90", portrait}));
  const bool have_webpmux = !QStandardPaths::findExecutable("webpmux").isEmpty();

  int n = 0;
  for (const Kind& kind : Kinds()) {
    for (const bool tall : {false, true}) {
      const std::string label = std::string(kind.name) + (tall ? " portrait" : " landscape");
      if (kind.exif_orientation && QString(kind.file).endsWith(".webp") && !have_webpmux) continue;
      QString out = QString(kind.file);
      const QString path = dir_.filePath(QString("%1-%2").arg(++n).arg(out.section(':', -1)));
      out = out.contains(':') ? out.section(':', 0, 0) + ':' + path : path;
      {
        SCOPED_TRACE(label);
        ASSERT_TRUE(
            RunTool(Magick(), QStringList{tall ? portrait : base} + kind.make + QStringList{out}));
        if (kind.exif_orientation) {
          ASSERT_TRUE(AddExif(path, kind.exif_orientation));
        }
      }
      const QSize upright = tall ? landscape.transposed() : landscape;
      slot_->Show(path, kSlot, [this, kind, tall, label, path, upright](const Shot& shot) {
        SCOPED_TRACE(label);
        const double db = Measure(shot, path, kind.reference, upright, kSlot);
        std::printf("%-16s %-9s %6.1f dB\n", kind.name, tall ? "portrait" : "landscape", db);
        EXPECT_GE(db, kMinPsnr);
      });
    }
  }
  slot_->Flush();
}

// Why ImageMagick's fit of a valid corpus file is no reference, or nothing.
QString NoReference(const QString& file, QSize upright, QSize fitted) {
  // Bilinear enlargements differ at the borders, which dominate a tiny picture.
  if (fitted.width() > 8 * upright.width()) return "enlarged over 8 times";
  if (!file.endsWith(".png")) return {};
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = f.readAll();
  const std::string_view view(bytes.constData(), size_t(bytes.size()));
  bool gamma = false, exif = false;
  mirvane::image::ForEachPngChunk(view, [&](std::string_view type, std::string_view) {
    gamma |= type == "gAMA";
    exif |= type == "eXIf";
    return true;
  });
  if (gamma && !mirvane::image::PngSaysSrgb(view)) return "PNG gamma, which it ignores";
  if (exif) return "PNG orientation, which it ignores";
  return {};
}

// Lines of fidelity_corpus_known.txt that are not comments.
QSet<QString> KnownDifferences() {
  QSet<QString> known;
  QFile list(MIRVANE_KNOWN_DIFFERENCES);
  if (!list.open(QIODevice::ReadOnly)) return known;
  for (const QByteArray& line : list.readAll().split('\n'))
    if (!line.isEmpty() && !line.startsWith('#')) known.insert(QString::fromUtf8(line));
  return known;
}

TEST_F(Fidelity, CorpusValidFiles) {
  const QString corpus = MIRVANE_CORPUS_DIR;
  if (!QDir(corpus).exists()) {
    if (!qEnvironmentVariableIsEmpty("CI")) FAIL() << "no corpus at " << corpus.toStdString();
    GTEST_SKIP() << "no corpus at " << corpus.toStdString();
  }
  const QSet<QString> exotic = test::ExoticCorpusFiles(corpus);
  const QSet<QString> known = KnownDifferences();
  const QStringList formats = {"bmp", "jpeg", "png", "gif", "tiff", "webp", "pcx"};
  // ImageMagick brings the file to upright sRGB: its embedded profile first, then a
  // naive conversion for CMYK without one.
  const QStringList steps = {"-auto-orient", "-profile", kProfiles + "srgb.icc", "-colorspace",
                             "sRGB"};
  int measured = 0, below = 0, unchecked = 0;
  // Prints and counts the figure of a file measured in a box of `logical` size.
  const auto judge = [&](const QString& file, const QString& relative, double db, QSize upright,
                         QSize logical) {
    const QString why = NoReference(file, upright, Fitted(upright, slot_->DeviceBox(logical)));
    std::printf("%6.1f dB  %s%s\n", db, qPrintable(relative),
                why.isEmpty() ? "" : qPrintable("  (unchecked: " + why + ")"));
    if (!why.isEmpty() || known.contains(relative)) {
      ++unchecked;
      return;
    }
    EXPECT_GE(db, kMinPsnr);
    if (db < kMinPsnr) ++below;
  };
  for (const QString& format : formats) {
    QDirIterator it(corpus + "/valid/" + format, QDir::Files);
    QStringList files;
    while (it.hasNext()) files << it.next();
    files.sort();
    for (const QString& file : files) {
      const QString relative = QDir(corpus).relativeFilePath(file);
      if (exotic.contains(relative)) continue;
      slot_->Show(file, kSlot, [&, file, relative](const Shot& shot) {
        SCOPED_TRACE(relative.toStdString());
        const double db = Measure(shot, file, steps, {}, kSlot);
        if (db < 0) return;
        ++measured;
        const QSize upright = shot.picture;
        if (upright.width() * 4 < kSlot.width() && upright.height() * 4 < kSlot.height()) {
          // A small picture in a slot twice its size: enlarged, but not so far that the
          // resamplers' borders decide.
          slot_->Show(file, upright * 2, [&, file, relative, upright](const Shot& larger) {
            SCOPED_TRACE(relative.toStdString());
            judge(file, relative, Measure(larger, file, steps, upright, upright * 2), upright,
                  upright * 2);
          });
        } else {
          judge(file, relative, db, upright, kSlot);
        }
      });
    }
  }
  slot_->Flush();
  std::printf("corpus: %d measured, %d unchecked, %d checked below %.0f dB\n", measured, unchecked,
              below, kMinPsnr);
}

}  // namespace
}  // namespace mirvane::platform::qt
