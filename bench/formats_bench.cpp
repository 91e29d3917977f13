// The formats read through codec libraries, each as a 12 MP picture made from a photo
// with Debian's encoders, and animations as camera and web tools make them: the time
// from SourcePath to the picture fitted in a slot.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/error.h"
#include "platform/qt/image/qt_rastrel.h"
#include "test_pictures.h"

namespace {

using mirvane::platform::qt::QtRastrel;

const QSize kSlots[] = {{459, 303}, {1912, 1053}};

double MedianRenderMs(QtRastrel& slot, const std::string& path) {
  std::vector<double> ms;
  for (int i = 0; i < 5; ++i) {
    QElapsedTimer timer;
    timer.start();
    slot.SourcePath(path);
    slot.Render();
    ms.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  return ms[2];
}

// A drawing of `shapes` filled and stroked shapes over the whole 4000 x 3000 canvas.
QByteArray Drawing(int shapes) {
  QByteArray svg =
      "<svg xmlns='http://www.w3.org/2000/svg' width='4000' height='3000'>"
      "<rect width='4000' height='3000' fill='#234'/>";
  QRandomGenerator random(14);
  for (int i = 0; i < shapes; ++i) {
    svg += QString("<circle cx='%1' cy='%2' r='%3' fill='#%4' stroke='#fff' opacity='0.7'/>")
               .arg(random.bounded(4000))
               .arg(random.bounded(3000))
               .arg(20 + random.bounded(300))
               .arg(random.bounded(0x1000000), 6, 16, QChar('0'))
               .toUtf8();
  }
  return svg + "</svg>";
}

}  // namespace

int FormatsBench(const QString& photo) {
  QImage source(photo);
  if (source.isNull()) return std::fprintf(stderr, "cannot read %s\n", qPrintable(photo)), 1;
  const int side = std::min(source.width() / 4, source.height() / 3);
  source = source.copy(0, 0, side * 4, side * 3)
               .scaled(4000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
               .convertToFormat(QImage::Format_RGB32);
  QTemporaryDir dir;
  const auto path = [&](const char* name) { return dir.filePath(name); };
  source.save(path("source.png"));
  // Encoding 12 MP takes minutes on a busy machine.
  const auto Run = [](const QString& program, const QStringList& args) {
    if (!mirvane::test::Run(program, args, 900000))
      std::fprintf(stderr, "%s failed\n", qPrintable(program));
  };
  source.save(path("photo.jpg"), "jpeg", 90);
  Run("convert", {path("source.png"), path("photo.tga")});
  Run("heif-enc", {"-q", "80", "-o", path("photo.heic"), path("source.png")});
  Run("avifenc", {"-s", "8", "-j", "2", path("source.png"), path("photo.avif")});
  Run("cjxl", {path("source.png"), path("photo.jxl"), "-e", "5"});
  mirvane::test::WriteFile(path("drawing.svg"), Drawing(1000));
  mirvane::test::WriteFile(path("raw.dng"), mirvane::test::Dng(source));
  mirvane::test::WriteFile(path("preview.dng"), mirvane::test::Dng(source, true, 6));

  // Animations: 20 frames of 800 x 600 from the photo, panning.
  const QImage wide = source.scaled(1600, 1200, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  std::vector<QImage> frames;
  QStringList names;
  for (int i = 0; i < 20; ++i) {
    frames.push_back(wide.copy(i * 40, i * 30, 800, 600));
    names << dir.filePath(QString("frame%1.png").arg(i, 2, 10, QChar('0')));
    frames.back().save(names.back());
  }
  mirvane::test::WriteFile(path("anim.apng"), mirvane::test::Apng(frames, 100, 0));
  Run("convert", QStringList{"-delay", "10"} + names + QStringList{path("anim.gif")});
  Run("img2webp",
      QStringList{"-lossy", "-d", "100"} + names + QStringList{"-o", path("anim.webp")});
  Run("cjxl", {path("anim.apng"), path("anim.jxl"), "-e", "3"});

  std::printf("median of 5 runs; slot = Render() from file name to fitted picture\n");
  const std::pair<const char*, const char*> files[] = {
      {"photo.jpg", "JPEG 12 MP (to compare)"},
      {"photo.heic", "HEIC 12 MP"},
      {"photo.avif", "AVIF 12 MP"},
      {"photo.jxl", "JPEG XL 12 MP"},
      {"photo.tga", "TGA 12 MP"},
      {"drawing.svg", "SVG 4000x3000, 1000 shapes"},
      {"preview.dng", "DNG 12 MP, full-size JPEG preview"},
      {"raw.dng", "DNG 12 MP, no preview (developed)"},
      {"anim.gif", "GIF 20 x 800x600"},
      {"anim.webp", "WebP 20 x 800x600"},
      {"anim.apng", "APNG 20 x 800x600"},
      {"anim.jxl", "JPEG XL 20 x 800x600"},
  };
  for (const auto& [name, what] : files) {
    std::printf("%-40s", what);
    if (!QFile::exists(path(name))) {
      std::printf(" | not made (encoder missing?)\n");
      continue;
    }
    for (QSize size : kSlots) {
      QtRastrel slot;
      slot.resize(size);
      try {
        const double ms = MedianRenderMs(slot, QFile::encodeName(path(name)).toStdString());
        std::printf(" | slot %4dx%-4d %7.1f ms", size.width(), size.height(), ms);
      } catch (const mirvane::platform::Error& e) {
        std::printf(" | refused: %s", e.what());
      }
    }
    std::printf(" | %lld KB\n", QFile(path(name)).size() / 1024);
    std::fflush(stdout);
  }
  // A window dragged larger with an animation on view: what each resize event costs.
  if (QFile::exists(path("anim.gif"))) {
    QtRastrel slot;
    slot.resize(kSlots[0]);
    slot.Visible(true);
    slot.SourcePath(QFile::encodeName(path("anim.gif")).toStdString());
    slot.Render();
    std::vector<double> ms;
    for (int i = 1; i <= 9; ++i) {
      QElapsedTimer timer;
      timer.start();
      slot.resize(kSlots[0] + QSize(8, 6) * i);
      slot.Refit(0);
      ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("resize event, GIF 20 x 800x600 on view: median %.2f ms, max %.2f ms\n", ms[4],
                ms.back());
  }
  return 0;
}
