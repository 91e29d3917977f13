#include "image/exif.h"

#include <gtest/gtest.h>

#include <string>

#include "image/readers/png_chunks.h"
#include "test_pictures.h"

namespace mirvane::image {
namespace {

std::string Str(const QByteArray& b) { return std::string(b.constData(), size_t(b.size())); }

// A big-endian block with the orientation as the second of two entries.
std::string BigEndian(int orientation) {
  std::string t("MM\0*\0\0\0\x08\0\x02", 10);
  t += std::string("\x01\x00\0\x03\0\0\0\x01\0\x10\0\0", 12);  // ImageWidth 16
  t += std::string("\x01\x12\0\x03\0\0\0\x01\0", 9) + char(orientation) + std::string(2, '\0');
  return t + std::string(4, '\0');
}

TEST(ExifBlock, ReadsBothByteOrdersAndRefusesDamage) {
  const std::string le = Str(test::ExifBlock(6));
  struct Case {
    const char* name;
    std::string block;
    int expected;
  };
  const Case cases[] = {
      {"little-endian", le, 6},
      {"big-endian, second entry", BigEndian(8), 8},
      {"out of range value", Str(test::ExifBlock(9)), 1},
      {"cut inside the entry", le.substr(0, 16), 1},
      {"directory past the end", std::string("II*\0\xff\xff\0\0", 8), 1},
      {"not TIFF", "Exif\0\0" + le, 1},
      {"empty", "", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExifOrientation(c.block), c.expected);
  }
}

QByteArray PngChunk(const char* type, const QByteArray& data) {
  QByteArray c;
  for (int shift = 24; shift >= 0; shift -= 8) c.append(char(data.size() >> shift));
  return c + type + data + QByteArray(4, '\0');  // CRCs are not checked here
}

QByteArray Png(const QByteArray& chunks) {
  const QByteArray header = PngChunk("IHDR", QByteArray(13, '\1'));
  return QByteArray("\x89PNG\r\n\x1a\n", 8) + header + chunks + PngChunk("IDAT", "x") +
         PngChunk("eXIf", test::ExifBlock(3));  // after the image data: not looked at
}

TEST(PngChunks, FindExifAndSrgb) {
  const QByteArray gamma22("\0\0\xb1\x8f", 4), gamma10("\0\x01\x86\xa0", 4);
  struct Case {
    const char* name;
    QByteArray chunks;
    int orientation;
    bool srgb;
  };
  const Case cases[] = {
      {"bare", {}, 1, false},
      {"eXIf", PngChunk("eXIf", test::ExifBlock(6)), 6, false},
      {"sRGB chunk", PngChunk("sRGB", "\0"), 1, true},
      {"gAMA 1/2.2", PngChunk("gAMA", gamma22), 1, true},
      {"gAMA 1/2.2 beside a profile", PngChunk("gAMA", gamma22) + PngChunk("iCCP", "p"), 1, false},
      {"gAMA 1.0", PngChunk("gAMA", gamma10), 1, false},
      {"chunk longer than the file", QByteArray("\x7f\xff\xff\xffsRGB", 8), 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string png = Str(Png(c.chunks));
    EXPECT_EQ(ExifOrientation(FindExif(png, Format::kPng)), c.orientation);
    EXPECT_EQ(PngSaysSrgb(png), c.srgb);
  }
}

TEST(WebpChunks, FindExifWithOrWithoutPrefix) {
  for (const QByteArray& prefix : {QByteArray(), QByteArray("Exif\0\0", 6)}) {
    const QByteArray exif = prefix + test::ExifBlock(8);
    QByteArray chunk = QByteArray("EXIF") + char(exif.size()) + QByteArray(3, '\0') + exif;
    if (exif.size() % 2) chunk.append('\0');
    const QByteArray vp8x = QByteArray("VP8X\x0a\0\0\0", 8) + QByteArray(10, '\0');
    const QByteArray webp = "RIFF" + QByteArray(4, '\0') + "WEBP" + vp8x + chunk;
    EXPECT_EQ(ExifOrientation(FindExif(Str(webp), Format::kWebp)), 8);
    EXPECT_EQ(FindExif(Str(webp.left(webp.size() - 4)), Format::kWebp), "");  // cut short
  }
}

}  // namespace
}  // namespace mirvane::image
