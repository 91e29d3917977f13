// Prints how long the image slot takes from a file name to the picture ready to draw,
// against djpeg as the floor and a full-size Qt decode as the naive way.
//   mirvane_bench PHOTO_DIR              per-picture figures
//   mirvane_bench --slide-show PHOTO_DIR  peak memory of a long slide show, 1920 x 1080
//   mirvane_bench --formats PHOTO         HEIC, AVIF, JPEG XL, SVG, TGA, raw and animations
//                                         made from one photo
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "platform/error.h"
#include "platform/qt/image/qt_rastrel.h"
#include "test_pictures.h"

extern char** environ;

int FormatsBench(const QString& photo);

namespace {

using mirvane::platform::qt::QtRastrel;

constexpr int kRuns = 5;
// Client area 467 x 330 and 1920 x 1080, less the slot's allowance of 8 x 27.
const QSize kSlots[] = {{459, 303}, {1912, 1053}};

long PeakRssKb() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
  return -1;
}

double MedianMs(const std::function<void()>& run) {
  std::vector<double> ms;
  for (int i = 0; i < kRuns; ++i) {
    QElapsedTimer timer;
    timer.start();
    run();
    ms.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

// Runs a command as a process, output to /dev/null; process start included.
void RunProcess(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return;
  int status = 0;
  waitpid(pid, &status, 0);
}

bool HaveDjpeg() { return QFile::exists("/usr/bin/djpeg"); }

void Bench(const QString& path) {
  const std::string name = QFile::encodeName(path).toStdString();
  QImageReader probe(path);
  const QSize size = probe.size();
  const QByteArray format = probe.format();
  std::printf("%-28s %5dx%-5d %-4s", qPrintable(QFileInfo(path).fileName()), size.width(),
              size.height(), format.constData());
  for (QSize slot_size : kSlots) {
    QtRastrel slot;
    slot.resize(slot_size);
    const double ms = MedianMs([&] {
      slot.SourcePath(name);
      slot.Render();
    });
    std::printf(" | slot %4dx%-4d %7.1f ms", slot_size.width(), slot_size.height(), ms);
  }
  const double full = MedianMs([&] {
    QImageReader reader(path);
    reader.setAllocationLimit(1024);
    (void)reader.read();
  });
  std::printf(" | Qt full %7.1f ms", full);
  if (format == "jpeg" && HaveDjpeg()) {
    const double eighth = MedianMs([&] {
      RunProcess({"djpeg", "-scale", "1/8", "-outfile", "/dev/null", name});
    });
    const double whole = MedianMs([&] { RunProcess({"djpeg", "-outfile", "/dev/null", name}); });
    std::printf(" | djpeg 1/8 %6.1f ms, full %7.1f ms", eighth, whole);
  }
  std::printf(" | peak RSS %ld MB\n", PeakRssKb() / 1024);
  std::fflush(stdout);
}

QStringList Photos(const QString& dir) {
  QStringList files;
  for (const QFileInfo& info : QDir(dir).entryInfoList({"*.jpg", "*.png"}, QDir::Files, QDir::Name))
    files << info.filePath();
  return files;
}

int SlideShow(const QString& dir) {
  QStringList photos;
  for (const QString& path : Photos(dir)) {
    const QSize size = QImageReader(path).size();
    if (qint64(size.width()) * size.height() >= 20'000'000) photos << path;
  }
  if (photos.isEmpty())
    return std::fprintf(stderr, "no photo of 20 MP or more in %s\n", qPrintable(dir)), 1;
  QtRastrel pair[2];
  for (auto& s : pair) s.resize(kSlots[1]);
  constexpr int kPictures = 60;
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < kPictures; ++i) {
    QtRastrel& back = pair[i % 2];
    back.SourcePath(QFile::encodeName(photos[i % photos.size()]).toStdString());
    back.Render();
    back.show();
    pair[1 - i % 2].hide();
  }
  std::printf(
      "slide show: %d pictures (%lld photos of 20+ MP) in two 1912x1053 slots: %.1f ms each, peak "
      "RSS %ld MB\n",
      kPictures, qlonglong(photos.size()), timer.elapsed() / double(kPictures), PeakRssKb() / 1024);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.size() == 2 && args[0] == "--slide-show") return SlideShow(args[1]);
  if (args.size() == 2 && args[0] == "--formats") return FormatsBench(args[1]);
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: mirvane_bench [--slide-show] PHOTO_DIR | --formats PHOTO\n");
    return 2;
  }
  QTemporaryDir made;
  const QStringList photos = Photos(args[0]);
  if (photos.isEmpty()) return std::fprintf(stderr, "no photos in %s\n", qPrintable(args[0])), 1;
  // The photos hold no TIFF, GIF or PCX: make them from the largest photo.
  QImageReader largest(photos.filter("kleiber").value(0, photos.last()));
  const QImage source = largest.read();
  const QImage medium =
      source.scaled(source.size() / 3, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  source.save(made.filePath("made-large.tiff"), "tiff");
  QFile gif(made.filePath("made-medium.gif"));
  if (gif.open(QIODevice::WriteOnly)) gif.write(mirvane::test::Gif(medium));
  gif.close();
  QFile pcx(made.filePath("made-large.pcx"));
  if (pcx.open(QIODevice::WriteOnly)) pcx.write(mirvane::test::Pcx(source, 8, 3));
  pcx.close();

  std::printf("median of %d runs; slot = Render() from file name to fitted picture\n", kRuns);
  for (const QString& path :
       photos + QStringList{made.filePath("made-large.tiff"), made.filePath("made-medium.gif"),
                            made.filePath("made-large.pcx")}) {
    try {
      Bench(path);
    } catch (const mirvane::platform::Error& e) {
      std::printf("%s: refused: %s\n", qPrintable(path), e.what());
    }
  }
  return 0;
}
