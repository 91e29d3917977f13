#include <gtest/gtest.h>

#include <QImage>
#include <string_view>

#include "image/error.h"
#include "image/readers/pcx.h"
#include "test_pictures.h"

namespace mirvane::image {
namespace {

// What the PCX reader makes of `bytes`, as an image to compare with the one written.
QImage ReadPcx(const QByteArray& bytes) {
  const Pixels p = DecodePcx(std::string_view(bytes.constData(), std::size_t(bytes.size())));
  return QImage(reinterpret_cast<const uchar*>(p.argb.data()), p.width, p.height, p.width * 4,
                QImage::Format_ARGB32)
      .copy();
}

QImage Checker(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, (x + y) % 3 ? 0xffffffff : 0xff000000);
  return image;
}

TEST(PcxReader, ReadsEveryLayoutExactly) {
  const QImage picture = Checker(13, 5);  // odd width: padded scan lines
  struct Layout {
    int bits, planes;
    bool rle;
  } layouts[] = {{1, 1, true}, {1, 1, false}, {1, 4, true}, {4, 1, true},
                 {8, 1, true}, {8, 3, true},  {8, 3, false}};
  for (const Layout& l : layouts) {
    SCOPED_TRACE(testing::Message() << l.bits << "x" << l.planes << (l.rle ? " rle" : " raw"));
    const QImage read = ReadPcx(test::Pcx(picture, l.bits, l.planes, l.rle));
    ASSERT_EQ(read.size(), picture.size());
    EXPECT_EQ(read, picture.convertToFormat(QImage::Format_ARGB32));  // opaque too
  }
}

TEST(PcxReader, RefusesMalformedFiles) {
  const QByteArray good = test::Pcx(test::TwoTone(20, 10), 8, 1);
  const qsizetype data_end = good.size() - 769;
  const auto with = [&](int at, char value) {
    QByteArray b = good;
    b[at] = value;
    return b;
  };
  struct Case {
    const char* what;
    QByteArray bytes;
  } cases[] = {
      {"header cut", good.left(100)},
      {"data cut", good.left(140)},
      {"encoding 2", with(2, 2)},
      {"0 bits", with(3, 0)},
      {"7 bits", with(3, 7)},
      {"0 planes", with(65, 0)},
      {"255 planes", with(65, char(255))},
      {"version 9", with(1, 9)},
      {"xmin > xmax", with(4, 100)},
      {"bytes per line too small", with(66, 4)},
      {"huge",
       [&] {
         QByteArray b = good;
         b[8] = b[9] = b[10] = b[11] = char(0xff);
         return b;
       }()},
      {"zero-length run", with(128, char(0xc0))},
      {"run at end of file", good.left(128) + QByteArray(1, char(0xc5))},
      {"run past the picture",
       good.left(data_end - 2) + QByteArray("\xff\x01", 2) + good.mid(data_end)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_THROW(ReadPcx(c.bytes), Error);
  }
}

}  // namespace
}  // namespace mirvane::image
