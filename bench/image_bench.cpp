// Prints how long the image slot takes from a file name to the picture ready to draw,
// against djpeg as the floor and a full-size Qt decode as the naive way.
//   mirvane_bench PHOTO_DIR              per-picture figures
//   mirvane_bench --slide-show PHOTO_DIR  peak memory of a long slide show, 1920 x 1080
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

extern char** environ;

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

// A GIF of `image` in 3-3-2 colours, LZW with literal codes only (Qt writes no GIF).
QByteArray Gif(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  const int w = image.width(), h = image.height();
  QByteArray out("GIF89a", 6);
  const auto put16 = [&](int v) { out.append(char(v & 0xff)).append(char(v >> 8)); };
  put16(w), put16(h);
  out.append(char(0xf7)).append('\0').append('\0');
  for (int i = 0; i < 256; ++i)
    out.append(char((i >> 5) * 255 / 7))
        .append(char(((i >> 2) & 7) * 255 / 7))
        .append(char((i & 3) * 85));
  out.append(',');
  put16(0), put16(0), put16(w), put16(h);
  out.append('\0').append(char(8));
  QByteArray data;
  quint32 bits = 0;
  int count = 0, n = 0;
  const auto code = [&](int c) {
    bits |= quint32(c) << count;
    for (count += 9; count >= 8; count -= 8) data.append(char(bits & 0xff)), bits >>= 8;
  };
  for (int y = 0; y < h; ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < w; ++x, ++n) {
      if (n % 250 == 0) code(256);
      code((qRed(line[x]) >> 5) << 5 | (qGreen(line[x]) >> 5) << 2 | qBlue(line[x]) >> 6);
    }
  }
  code(257);
  if (count > 0) data.append(char(bits & 0xff));
  for (qsizetype at = 0; at < data.size(); at += 255) {
    const QByteArray block = data.mid(at, 255);
    out.append(char(block.size())).append(block);
  }
  return out.append('\0').append(';');
}

// A 24-bit, three-plane, run-length coded PCX of `image`.
QByteArray Pcx(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  const int w = image.width(), h = image.height(), bpl = (w + 1) & ~1;
  QByteArray out(128, '\0');
  out[0] = 0x0a, out[1] = 5, out[2] = 1, out[3] = 8, out[65] = 3;
  out[8] = char((w - 1) & 0xff), out[9] = char((w - 1) >> 8);
  out[10] = char((h - 1) & 0xff), out[11] = char((h - 1) >> 8);
  out[66] = char(bpl & 0xff), out[67] = char(bpl >> 8);
  std::vector<uchar> plane(bpl);
  for (int y = 0; y < h; ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int p = 0; p < 3; ++p) {
      for (int x = 0; x < w; ++x) plane[x] = uchar(line[x] >> (16 - 8 * p));
      for (int i = 0; i < bpl;) {
        int run = 1;
        while (i + run < bpl && run < 63 && plane[i + run] == plane[i]) ++run;
        if (run > 1 || plane[i] >= 0xc0) out.append(char(0xc0 | run));
        out.append(char(plane[i]));
        i += run;
      }
    }
  }
  return out;
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
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: mirvane_bench [--slide-show] PHOTO_DIR\n");
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
  if (gif.open(QIODevice::WriteOnly)) gif.write(Gif(medium));
  gif.close();
  QFile pcx(made.filePath("made-large.pcx"));
  if (pcx.open(QIODevice::WriteOnly)) pcx.write(Pcx(source));
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
