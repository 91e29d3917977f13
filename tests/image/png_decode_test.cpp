// Our PNG decoder against Qt's reader (libpng): it must see the same pixels and colours
// in every PNG that both take.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QColorSpace>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image/colour.h"
#include "image/error.h"
#include "image/exif.h"
#include "image/fit.h"
#include "image/readers/png.h"
#include "image/readers/png_chunks.h"
#include "image/readers/png_decode.h"
#include "image/scale.h"
#include "test_pictures.h"

namespace mirvane::image {
namespace {

using mirvane::test::Png;
using mirvane::test::PngLayout;

constexpr Size kWhole{1 << 20, 1 << 20};  // nothing is reduced for it

std::string_view View(const QByteArray& b) { return {b.constData(), size_t(b.size())}; }

// `image` as premultiplied 0xAARRGGBB, as Qt converts it.
std::vector<std::uint32_t> Premultiplied(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  std::vector<std::uint32_t> out;
  for (int y = 0; y < argb.height(); ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(argb.constScanLine(y));
    out.insert(out.end(), row, row + argb.width());
  }
  return out;
}

// Empty when `a` and `b` are equal, else where they first differ.
std::string Difference(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  if (a.size() != b.size())
    return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i])
      return QString("pixel %1: %2 and %3").arg(i).arg(a[i], 8, 16).arg(b[i], 8, 16).toStdString();
  return {};
}

QByteArray Noise(int size, unsigned seed) {
  QByteArray b(size, '\0');
  for (char& c : b) {
    seed = seed * 1103515245u + 12345u;
    c = char(seed >> 16);
  }
  return b;
}

void Be32(QByteArray& b, quint32 v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.append(char(v >> shift));
}

QByteArray Be16(int v) { return QByteArray(1, char(v >> 8)) + char(v & 0xff); }

struct Kind {
  int colour_type, bit_depth;
  bool transparency;
  int palette_size = 0;  // 0: as many entries as indices
};

// Random samples of `kind`, its palette, and a tRNS that the samples meet.
QByteArray Made(const Kind& kind, int width, int height, unsigned seed) {
  PngLayout layout{width, height, kind.colour_type, kind.bit_depth};
  const int channels = kind.colour_type == 2   ? 3
                       : kind.colour_type == 4 ? 2
                       : kind.colour_type == 6 ? 4
                                               : 1;
  const int row_bytes = (width * channels * kind.bit_depth + 7) / 8;
  const QByteArray samples = Noise(row_bytes * height, seed);
  const auto* s = reinterpret_cast<const uchar*>(samples.constData());
  if (kind.colour_type == 3) {
    const int entries = kind.palette_size ? kind.palette_size : 1 << kind.bit_depth;
    layout.chunks.push_back({"PLTE", Noise(3 * entries, seed + 1)});
    if (kind.transparency) layout.chunks.push_back({"tRNS", Noise(entries / 2 + 1, seed + 2)});
  } else if (kind.transparency && kind.colour_type == 0) {
    const int first = kind.bit_depth >= 8 ? (kind.bit_depth == 16 ? s[0] << 8 | s[1] : s[0])
                                          : s[0] >> (8 - kind.bit_depth);
    layout.chunks.push_back({"tRNS", Be16(first)});
  } else if (kind.transparency && kind.colour_type == 2) {
    QByteArray key;
    for (int c = 0; c < 3; ++c)
      key += kind.bit_depth == 16 ? QByteArray(reinterpret_cast<const char*>(s) + 2 * c, 2)
                                  : Be16(s[c]);
    layout.chunks.push_back({"tRNS", key});
  }
  return Png(layout, samples);
}

const Kind kKinds[] = {
    {0, 1, false}, {0, 2, false},  {0, 4, false},      {0, 8, false},  {0, 16, false},
    {0, 1, true},  {0, 2, true},   {0, 4, true},       {0, 8, true},   {0, 16, true},
    {2, 8, false}, {2, 16, false}, {2, 8, true},       {2, 16, true},  {3, 1, false},
    {3, 2, false}, {3, 4, false},  {3, 8, false},      {3, 1, true},   {3, 2, true},
    {3, 4, true},  {3, 8, true},   {3, 8, false, 100},  // indices past the palette
    {4, 8, false}, {4, 16, false}, {6, 8, false},      {6, 16, false},
};

TEST(PngDecode, EveryKindAsQtReadsIt) {
  // Odd widths leave part bytes and pixels that whole loads do not reach.
  const QSize sizes[] = {{1, 1}, {2, 3}, {5, 4}, {33, 9}, {130, 12}};
  unsigned seed = 1;
  for (const Kind& kind : kKinds) {
    for (const QSize size : sizes) {
      SCOPED_TRACE(testing::Message() << "colour type " << kind.colour_type << ", depth "
                                      << kind.bit_depth << (kind.transparency ? ", tRNS" : "")
                                      << ", " << size.width() << "x" << size.height());
      const QByteArray png = Made(kind, size.width(), size.height(), ++seed);
      const QImage qt = QImage::fromData(png, "png");
      ASSERT_FALSE(qt.isNull());
      std::vector<std::uint32_t> expected = Premultiplied(qt);
      if (kind.colour_type == 2 && kind.bit_depth == 16 && kind.transparency) {
        // Qt 6.4 lays these out as if they had an alpha channel: the picture without
        // its tRNS, less the first pixel's colour (the key), is what they show.
        expected = Premultiplied(
            QImage::fromData(Made({2, 16, false}, size.width(), size.height(), seed), "png"));
        expected[0] = 0;
      }
      const auto picture = DecodePng(View(png), kWhole);
      EXPECT_EQ(picture.full, (Size{size.width(), size.height()}));
      EXPECT_EQ(picture.size, picture.full);
      EXPECT_EQ(Difference(picture.argb, expected), "");
      if (!kind.transparency && (kind.colour_type == 0 || kind.colour_type == 2)) {
        EXPECT_FALSE(picture.has_alpha);
      }
    }
  }
}

TEST(PngDecode, ReducesAsTheAreaReducerReducesTheWholePicture) {
  for (const Kind& kind : {Kind{6, 8, false}, Kind{2, 8, false}, Kind{3, 4, true}}) {
    const QByteArray png = Made(kind, 301, 157, 99);
    // Shown turned: its fit is smaller than the cover, and made straight from the rows.
    const Size full{301, 157}, box{40, 30}, shown{30, 40};
    const auto picture = DecodePng(View(png), box, shown);
    const auto cover = CoverSize(full, box);
    const auto fitted = FittedSize(full, shown);
    EXPECT_EQ(picture.full, full);
    ASSERT_EQ(picture.size, cover);
    ASSERT_EQ(picture.fitted_size, fitted);
    AreaReducer reducer(full, cover), fitter(full, fitted);
    const std::vector<std::uint32_t> whole = Premultiplied(QImage::fromData(png, "png"));
    for (int y = 0; y < full.height; ++y) {
      reducer.AddRow(&whole[size_t(y) * full.width]);
      fitter.AddRow(&whole[size_t(y) * full.width]);
    }
    EXPECT_EQ(picture.argb, reducer.Take()) << "colour type " << kind.colour_type;
    EXPECT_EQ(picture.fitted, fitter.Take()) << "colour type " << kind.colour_type;
  }
}

// `png` with its header's bytes from `at` replaced by `bytes`, the CRC made anew.
QByteArray WithHeader(QByteArray png, int at, const QByteArray& bytes) {
  png.replace(16 + at, bytes.size(), bytes);
  QByteArray crc;
  Be32(crc, quint32(crc32(0, reinterpret_cast<const Bytef*>(png.constData() + 12), 17)));
  return png.replace(29, 4, crc);
}

// The offset of the first chunk of `type`.
qsizetype ChunkAt(const QByteArray& png, const char* type) { return png.indexOf(type) - 4; }

// `png` with the CRC of its chunk at `at` made to fit the chunk.
QByteArray WithCrc(QByteArray png, qsizetype at) {
  const auto* p = reinterpret_cast<const uchar*>(png.constData()) + at;
  const quint32 length = quint32(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
  QByteArray crc;
  Be32(crc, quint32(crc32(0, p + 4, 4 + length)));
  return png.replace(at + 8 + length, 4, crc);
}

QByteArray Flipped(QByteArray bytes, qsizetype at) {
  bytes[at] = char(bytes[at] ^ 0x5a);
  return bytes;
}

TEST(PngDecode, RefusesWhatItCannotRead) {
  const QByteArray good = Made({2, 8, false}, 40, 30, 5);
  ASSERT_NO_THROW(DecodePng(View(good), kWhole));
  const qsizetype idat = ChunkAt(good, "IDAT");
  QByteArray size;
  Be32(size, 10000), Be32(size, 10000);
  QByteArray huge;
  Be32(huge, 1 << 20), Be32(huge, 1 << 20);
  PngLayout bad_filter{4, 2, 2, 8, 5};
  PngLayout no_palette{4, 2, 3, 8};
  const struct {
    const char* what;
    QByteArray bytes;
  } cases[] = {
      {"not a PNG", "GIF89a" + good.mid(6)},
      {"header CRC wrong", Flipped(good, 30)},
      {"image data CRC wrong", Flipped(good, idat + 8 + 1000 + 1)},
      {"image data damaged, its CRC made to fit", WithCrc(Flipped(good, idat + 20), idat)},
      {"cut short in its image data", good.left(idat + 500)},
      {"cut short before its image data", good.left(idat)},
      {"a filter type that does not exist", Png(bad_filter, Noise(2 * 12, 3))},
      {"no palette", Png(no_palette, QByteArray(8, '\0'))},
      {"over budget", WithHeader(good, 0, huge)},
      {"many more pixels than its data can hold", WithHeader(good, 0, size)},
      {"no width", WithHeader(good, 0, QByteArray(4, '\0'))},
      {"a bit depth its colour type has not", WithHeader(good, 8, QByteArray(1, 4))},
      {"marked interlaced, too little data for the passes", WithHeader(good, 12, QByteArray(1, 1))},
      {"unknown compression", WithHeader(good, 10, QByteArray(1, 1))},
  };
  for (const auto& c : cases) {
    EXPECT_THROW(DecodePng(View(c.bytes), kWhole), Error) << c.what;
  }
}

QByteArray Deflated(const QByteArray& data) {
  QByteArray out(int(compressBound(uLong(data.size()))), '\0');
  uLongf size = uLongf(out.size());
  compress(reinterpret_cast<Bytef*>(out.data()), &size,
           reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()));
  return out.left(qsizetype(size));
}

TEST(PngDecode, ReadsColourChunksLikeLibpng) {
  const QByteArray profile = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
  ASSERT_FALSE(profile.isEmpty());
  QByteArray chrm;
  for (int v : {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000}) Be32(chrm, quint32(v));
  QByteArray gamma;
  Be32(gamma, 45455);
  const QByteArray icc = QByteArray("Adobe", 6) + '\0' + Deflated(profile);
  PngLayout layout{3, 2, 2, 8};
  layout.chunks = {{"iCCP", icc}, {"gAMA", gamma}, {"cHRM", chrm}};
  const auto colour = DecodePng(View(Png(layout, Noise(18, 1))), kWhole).colour;
  EXPECT_EQ(QByteArray::fromStdString(colour.icc), profile);
  EXPECT_FALSE(colour.srgb);
  EXPECT_EQ(colour.gamma, 45455u);
  ASSERT_TRUE(colour.chromaticities);
  EXPECT_DOUBLE_EQ(colour.white[0], 0.3127);
  EXPECT_DOUBLE_EQ(colour.blue[1], 0.06);
  layout.chunks = {{"sRGB", QByteArray(1, 0)}};
  EXPECT_TRUE(DecodePng(View(Png(layout, Noise(18, 1))), kWhole).colour.srgb);
  // Two of sRGB and iCCP, or a profile refused, spoil every colour chunk.
  layout.chunks = {{"gAMA", gamma}, {"sRGB", QByteArray(1, 0)}, {"iCCP", icc}};
  const auto both = DecodePng(View(Png(layout, Noise(18, 1))), kWhole).colour;
  EXPECT_TRUE(both.icc.empty());
  EXPECT_EQ(both.gamma, 0u);
  layout.chunks = {{"gAMA", gamma}, {"iCCP", icc.left(icc.size() - 20)}};
  EXPECT_EQ(DecodePng(View(Png(layout, Noise(18, 1))), kWhole).colour.gamma, 0u);

  // A grey picture has no use for an RGB profile; a damaged ancillary chunk is dropped;
  // colour chunks after the palette come too late.
  PngLayout grey{3, 2, 0, 8};
  grey.chunks = {{"gAMA", gamma}, {"iCCP", icc}};
  EXPECT_TRUE(DecodePng(View(Png(grey, Noise(6, 1))), kWhole).colour.icc.empty());
  grey.chunks = {{"gAMA", gamma}};
  const QByteArray grey_png = Png(grey, Noise(6, 1));
  const QByteArray damaged = Flipped(grey_png, ChunkAt(grey_png, "gAMA") + 12);
  EXPECT_EQ(DecodePng(View(damaged), kWhole).colour.gamma, 0u);
  PngLayout late{3, 2, 3, 8};
  late.chunks = {{"PLTE", Noise(3 * 256, 2)}, {"gAMA", gamma}};
  EXPECT_EQ(DecodePng(View(Png(late, Noise(6, 1))), kWhole).colour.gamma, 0u);
}

// The sRGB values of a probe of colours (every mix of 0, 64, 128, 192, 255) as read in
// `space` by Qt, and as read in the profile `icc` (empty: sRGB) by ReadPng's Little CMS.
std::vector<std::uint32_t> ProbeByQt(const QColorSpace& space) {
  QImage probe(125, 1, QImage::Format_RGB32);
  const int levels[] = {0, 64, 128, 192, 255};
  for (int i = 0; i < 125; ++i)
    probe.setPixel(i, 0, qRgb(levels[i / 25], levels[i / 5 % 5], levels[i % 5]));
  probe.setColorSpace(space);
  probe.convertToColorSpace(QColorSpace::SRgb);
  return Premultiplied(probe);
}
std::vector<std::uint32_t> ProbeByUs(const std::string& icc) {
  Pixels probe{125, 1, false, std::vector<std::uint32_t>(125)};
  const int levels[] = {0, 64, 128, 192, 255};
  for (int i = 0; i < 125; ++i)
    probe.argb[std::size_t(i)] = qRgb(levels[i / 25], levels[i / 5 % 5], levels[i % 5]);
  ToSrgb(probe, icc);
  return probe.argb;
}

// The largest difference of two probes in any channel.
int LargestDifference(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  int largest = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    for (int shift = 0; shift < 24; shift += 8)
      largest = std::max(largest, std::abs(int(a[i] >> shift & 0xff) - int(b[i] >> shift & 0xff)));
  return largest;
}

// Expects ReadPng to make of `bytes` what Qt's reader makes of them, when it takes them
// at all: the picture as stored, its size, its colours; and the EXIF orientation
// `orientation` (which Qt 6.4 leaves to its caller) to apply. Counts those it takes.
void ExpectAsQt(const QByteArray& bytes, const std::string& name, int orientation, int& taken) {
  SCOPED_TRACE(name);
  const std::string_view file = View(bytes);
  Picture ours;
  try {
    ours = ReadPng(file, kWhole, kWhole);
  } catch (const Error&) {
    return;
  }
  ++taken;
  const QImage qt = QImage::fromData(bytes, "png");
  ASSERT_FALSE(qt.isNull());
  EXPECT_EQ(ours.orientation, orientation);
  EXPECT_EQ(ours.full, Turned(Size{qt.width(), qt.height()}, orientation >= 5 ? 1 : 0));
  EXPECT_TRUE(ours.premultiplied);
  EXPECT_TRUE(ours.fitted.argb.empty());
  // Qt 6.4 misreads 16-bit RGB with a tRNS chunk (see EveryKindAsQtReadsIt).
  const bool misread = bytes[24] == 16 && bytes[25] == 2 && bytes.contains("tRNS");
  if (!misread) {
    EXPECT_EQ(Difference(ours.pixels.argb, Premultiplied(qt)), "");
  }
  QColorSpace space = qt.colorSpace();
  // Qt takes a PNG's gAMA for a pure power curve even beside an sRGB chunk.
  if (PngSaysSrgb(file)) space = QColorSpace::SRgb;
  if (!space.isValid() && !space.iccProfile().isEmpty()) {
    // A profile Qt cannot use: it goes on to Little CMS as it is.
    EXPECT_EQ(QByteArray::fromStdString(ours.icc), space.iccProfile());
    return;
  }
  if (!space.isValid()) space = QColorSpace::SRgb;  // untagged
  const int off = LargestDifference(ProbeByUs(ours.icc), ProbeByQt(space));
  EXPECT_LE(off, 3) << "colours read as " << space.description().toStdString()
                    << " by Qt, through a profile of " << ours.icc.size() << " bytes by us";
}

TEST(PngReader, PicturesColoursAndOrientationAsQtReadsThem) {
  int taken = 0;
  const QByteArray profile = QColorSpace(QColorSpace::DisplayP3).iccProfile();
  QByteArray gamma, chrm;
  Be32(gamma, 55000);
  for (int v : {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000}) Be32(chrm, quint32(v));
  const struct {
    const char* what;
    std::vector<std::pair<QByteArray, QByteArray>> chunks;
    int orientation;
  } rows[] = {
      {"untagged", {}, 1},
      {"iCCP", {{"iCCP", QByteArray("P3", 3) + '\0' + Deflated(profile)}}, 1},
      {"sRGB", {{"sRGB", QByteArray(1, 0)}}, 1},
      {"gAMA", {{"gAMA", gamma}}, 1},
      {"gAMA and cHRM", {{"gAMA", gamma}, {"cHRM", chrm}}, 1},
      {"gAMA 1/2.2", {{"gAMA", Be16(0) + Be16(45455)}}, 1},
      {"iCCP and sRGB",
       {{"iCCP", QByteArray("P3", 3) + '\0' + Deflated(profile)}, {"sRGB", QByteArray(1, 0)}},
       1},
      {"eXIf", {{"eXIf", mirvane::test::ExifBlock(6)}}, 6},
  };
  for (const auto& row : rows) {
    PngLayout layout{7, 5, 2, 8};
    layout.chunks = row.chunks;
    ExpectAsQt(Png(layout, Noise(7 * 5 * 3, 4)), row.what, row.orientation, taken);
  }
  EXPECT_EQ(taken, int(std::size(rows)));
  const QString corpus = MIRVANE_CORPUS_DIR;
  if (!QDir(corpus).exists()) return;
  for (const char* folder : {"/valid/png", "/corrupt/png"}) {
    QDirIterator it(corpus + folder, QDir::Files);
    while (it.hasNext()) {
      QFile file(it.next());
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      const QByteArray bytes = file.readAll();
      // A broken file Qt also draws must look the same; what it refuses is not compared.
      if (QImage::fromData(bytes, "png").isNull()) continue;
      const int orientation = ExifOrientation(FindExif(View(bytes), Format::kPng));
      ExpectAsQt(bytes, QDir(corpus).relativeFilePath(file.fileName()).toStdString(), orientation,
                 taken);
    }
  }
  std::printf("%d pictures taken by our decoder\n", taken);
}

}  // namespace
}  // namespace mirvane::image
