// Writes the test pictures that no Debian tool makes, for formats.sh:
//   make_pictures DIR
// DIR/anim.apng    red, green, blue, 250 ms each, forever (Qt writes no APNG)
// DIR/frames.y4m   the same three frames for avifenc, which takes sequences as YUV4MPEG2
// DIR/raw.dng      solid blue, raw data only: developed in full
// DIR/preview.dng  solid red with a JPEG preview, stored sideways (orientation 6)
//   make_pictures --seeds DIR
// the same, 16 x 16, as fuzzing seeds
#include <QCoreApplication>
#include <QFile>
#include <cstdio>

#include "test_pictures.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool seeds = argc == 3 && QByteArray(argv[1]) == "--seeds";
  if (argc != 2 && !seeds) return std::fprintf(stderr, "usage: make_pictures [--seeds] DIR\n"), 2;
  const QString dir = QString::fromLocal8Bit(argv[argc - 1]);
  const int w = seeds ? 16 : 400, h = seeds ? 16 : 300;
  std::vector<QImage> frames;
  QByteArray y4m(QString("YUV4MPEG2 W%1 H%2 F4:1 Ip A1:1 C444\n").arg(w).arg(h).toLatin1());
  for (QColor c : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue)}) {
    QImage f(w, h, QImage::Format_RGB32);
    f.fill(c);
    frames.push_back(f);
    const int n = w * h;
    y4m += "FRAME\n";
    y4m += QByteArray(n, char(0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue()));
    y4m += QByteArray(n, char(128 - 0.169 * c.red() - 0.331 * c.green() + 0.5 * c.blue()));
    y4m += QByteArray(n, char(128 + 0.5 * c.red() - 0.419 * c.green() - 0.081 * c.blue()));
  }
  QImage blue(w, h, QImage::Format_RGB32), red(w, h, QImage::Format_RGB32);
  blue.fill(Qt::blue);
  red.fill(Qt::red);
  const bool ok =
      mirvane::test::WriteFile(dir + "/anim.apng", mirvane::test::Apng(frames, 250, 0)) &&
      mirvane::test::WriteFile(dir + "/frames.y4m", y4m) &&
      mirvane::test::WriteFile(dir + "/raw.dng", mirvane::test::Dng(blue)) &&
      mirvane::test::WriteFile(dir + "/preview.dng", mirvane::test::Dng(red, true, 6));
  return ok ? 0 : 1;
}
