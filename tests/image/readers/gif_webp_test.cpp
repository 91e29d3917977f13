#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "image/budget.h"
#include "image/error.h"
#include "image/readers/gif.h"
#include "image/readers/webp.h"
#include "reader_test_support.h"

namespace mirvane::image {
namespace {

namespace fs = std::filesystem;
using testing::Psnr;
using testing::ReadBytes;
using testing::Reference;
using testing::TempDir;
using testing::WriteBytes;

// Not Run: a test body would find ::testing::Test::Run first.
int Shell(const std::string& command) { return testing::Run(command); }

struct Decoded {
  std::vector<Pixels> frames;
  std::vector<int> delays;
  FramesInfo info;
  int orientation = 0;
};

// Decodes with a sink that takes `keep` frames at most, checking each is whole.
template <typename Read>
Decoded Decode(Read read, const std::string& bytes, int keep = 1 << 30) {
  Decoded d;
  d.info.loops = 1234;
  d.info.icc = "stale";
  read(
      bytes,
      [&](Pixels&& p, int delay) {
        EXPECT_EQ(p.argb.size(), std::size_t(p.width) * std::size_t(p.height));
        d.frames.push_back(std::move(p));
        d.delays.push_back(delay);
        return int(d.frames.size()) < keep;
      },
      &d.info, &d.orientation);
  return d;
}

Decoded Gif(const std::string& bytes, int keep = 1 << 30) {
  return Decode(
      [](const std::string& b, const FrameSink& s, FramesInfo* i, int*) { ReadGif(b, s, i); },
      bytes, keep);
}

Decoded Webp(const std::string& bytes, int keep = 1 << 30) {
  return Decode(
      [](const std::string& b, const FrameSink& s, FramesInfo* i, int* o) { ReadWebp(b, s, i, o); },
      bytes, keep);
}

// Frames as ImageMagick composes them, each at full size. Its canvas starts transparent
// only when the frames have an alpha channel; browsers' always does.
std::vector<Pixels> Coalesced(const TempDir& dir, const fs::path& file, bool first_only = false) {
  const fs::path out = dir / "coalesced";
  fs::remove_all(out);
  fs::create_directories(out);
  std::vector<Pixels> frames;
  if (Shell("convert '" + file.string() + (first_only ? "[0]" : "") +
            "' -alpha set -set background none -coalesce '" + (out / "f_%d.png").string() +
            "' 2>/dev/null"))
    return frames;
  for (int i = 0;; ++i) {
    const fs::path f = out / ("f_" + std::to_string(i) + ".png");
    if (!fs::exists(f)) break;
    frames.push_back(Reference(f));
  }
  return frames;
}

// ---------------------------------------------------------------------------------------
// GIF files written here byte by byte, for exact expectations.

constexpr std::uint32_t kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff,
                        kWhite = 0xffffffff;
const std::vector<std::uint32_t> kRgbw = {kRed, kGreen, kBlue, kWhite};

struct GifFrame {
  int x = 0, y = 0, w = 0, h = 0;
  std::vector<std::uint8_t> index;  // w * h, rows top to bottom
  int disposal = 0;
  int transparent = -1;
  int delay_cs = 0;
  std::vector<std::uint32_t> palette;  // local, when not empty
  bool interlaced = false;
};

GifFrame Indexed(int x, int y, int w, int h, std::vector<std::uint8_t> index) {
  GifFrame f;
  f.x = x, f.y = y, f.w = w, f.h = h;
  f.index = std::move(index);
  return f;
}

GifFrame Solid(int x, int y, int w, int h, std::uint8_t index, int disposal = 0) {
  GifFrame f = Indexed(x, y, w, h, std::vector<std::uint8_t>(std::size_t(w) * h, index));
  f.disposal = disposal;
  return f;
}

void Word(std::string& s, int v) {
  s += char(v & 0xff);
  s += char(v >> 8 & 0xff);
}

int TableBits(std::size_t size) {
  int bits = 0;
  while ((std::size_t{2} << bits) < size) ++bits;
  return bits;
}

void Table(std::string& s, const std::vector<std::uint32_t>& colours) {
  if (colours.empty()) return;
  const std::size_t size = std::size_t{2} << TableBits(colours.size());
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint32_t c = i < colours.size() ? colours[i] : 0;
    s += char(c >> 16 & 0xff);
    s += char(c >> 8 & 0xff);
    s += char(c & 0xff);
  }
}

// Literal codes only, cleared often enough that every code stays 9 bits wide.
std::string Lzw(const std::vector<std::uint8_t>& index) {
  std::string packed;
  std::uint32_t bits = 0;
  int count = 0;
  const auto put = [&](int code) {
    bits |= std::uint32_t(code) << count;
    for (count += 9; count >= 8; count -= 8, bits >>= 8) packed += char(bits & 0xff);
  };
  for (std::size_t i = 0; i < index.size(); ++i) {
    if (i % 200 == 0) put(256);
    put(index[i]);
  }
  put(257);
  if (count) packed += char(bits & 0xff);
  std::string out(1, char(8));
  for (std::size_t at = 0; at < packed.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, packed.size() - at);
    out += char(n);
    out += packed.substr(at, n);
  }
  return out + '\0';
}

std::string MakeGif(int width, int height, const std::vector<std::uint32_t>& global,
                    const std::vector<GifFrame>& frames, int repeats = -1) {
  std::string s = "GIF89a";
  Word(s, width);
  Word(s, height);
  s += char(global.empty() ? 0 : 0xf0 | TableBits(global.size()));
  s += std::string(2, '\0');
  Table(s, global);
  if (repeats >= 0) {
    s += "\x21\xff\x0bNETSCAPE2.0\x03\x01";
    Word(s, repeats);
    s += '\0';
  }
  for (const GifFrame& f : frames) {
    s += "\x21\xf9\x04";
    s += char(f.disposal << 2 | (f.transparent >= 0 ? 1 : 0));
    Word(s, f.delay_cs);
    s += char(std::max(f.transparent, 0));
    s += '\0';
    s += ',';
    for (int v : {f.x, f.y, f.w, f.h}) Word(s, v);
    s += char((f.palette.empty() ? 0 : 0x80 | TableBits(f.palette.size())) |
              (f.interlaced ? 0x40 : 0));
    Table(s, f.palette);
    std::vector<std::uint8_t> stored;
    const auto row = [&](int y) {
      stored.insert(stored.end(), f.index.begin() + std::ptrdiff_t(y) * f.w,
                    f.index.begin() + std::ptrdiff_t(y + 1) * f.w);
    };
    if (f.interlaced) {
      for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int y = start; y < f.h; y += step) row(y);
    } else {
      stored = f.index;
    }
    s += Lzw(stored);
  }
  return s + ';';
}

// A picture as letters, rows split by '/': R G B W colours, K black, . transparent.
std::string Letters(const Pixels& p) {
  std::string s;
  for (int y = 0; y < p.height; ++y) {
    if (y) s += '/';
    for (int x = 0; x < p.width; ++x) {
      const std::uint32_t c = p.argb[std::size_t(y) * p.width + x];
      s += c == kRed          ? 'R'
           : c == kGreen      ? 'G'
           : c == kBlue       ? 'B'
           : c == kWhite      ? 'W'
           : c == 0xff000000u ? 'K'
           : c >> 24 == 0     ? '.'
                              : '?';
    }
  }
  return s;
}

struct Composition {
  const char* name;
  std::vector<GifFrame> frames;
  std::vector<std::string> expected;
  int width = 4, height = 3;  // of the screen
  std::vector<std::uint32_t> global = kRgbw;
};

TEST(GifReader, ComposesFramesAsBrowsersDo) {
  GifFrame holes = Indexed(0, 0, 3, 1, {1, 3, 2});
  holes.transparent = 3;
  GifFrame local = Solid(0, 0, 4, 3, 0);
  local.palette = {kWhite};
  const GifFrame bands = Indexed(0, 0, 1, 9, {0, 1, 2, 3, 0, 1, 2, 3, 0});
  GifFrame interlaced = bands;
  interlaced.interlaced = true;
  const GifFrame red = Solid(0, 0, 4, 3, 0), blue = Solid(0, 0, 1, 1, 2);
  const std::vector<Composition> cases = {
      {"disposal none keeps",
       {red, Solid(1, 1, 2, 1, 1, 1), blue},
       {"RRRR/RRRR/RRRR", "RRRR/RGGR/RRRR", "BRRR/RGGR/RRRR"}},
      {"disposal background clears to transparent",
       {red, Solid(1, 1, 2, 1, 1, 2), blue},
       {"RRRR/RRRR/RRRR", "RRRR/RGGR/RRRR", "BRRR/R..R/RRRR"}},
      {"disposal previous restores",
       {red, Solid(1, 1, 2, 1, 1, 3), blue},
       {"RRRR/RRRR/RRRR", "RRRR/RGGR/RRRR", "BRRR/RRRR/RRRR"}},
      {"previous after the first frame is empty",
       {Solid(0, 0, 2, 1, 1, 3), Solid(3, 2, 1, 1, 2)},
       {"GG../..../....", "..../..../...B"}},
      {"transparent index keeps what is under", {red, holes}, {"RRRR/RRRR/RRRR", "GRBR/RRRR/RRRR"}},
      {"frames partly and wholly off the screen",
       {red, Solid(3, 2, 2, 2, 1), Solid(10, 10, 2, 2, 2)},
       {"RRRR/RRRR/RRRR", "RRRR/RRRR/RRRG", "RRRR/RRRR/RRRG"}},
      {"local table over the global", {local}, {"WWWW/WWWW/WWWW"}},
      {"indices past the table are black",
       {Indexed(0, 0, 4, 1, {0, 1, 2, 200})},
       {"RGKK"},
       4,
       1,
       {kRed, kGreen}},
      {"no table at all is black", {Solid(0, 0, 2, 1, 1)}, {"KK"}, 2, 1, {}},
      {"interlaced rows", {interlaced}, {"R/G/B/W/R/G/B/W/R"}, 1, 9},
      {"plain rows", {bands}, {"R/G/B/W/R/G/B/W/R"}, 1, 9},
      {"first frame larger than the screen grows it",
       {Solid(1, 0, 2, 2, 1), Solid(0, 1, 3, 2, 2)},
       {".GG/.GG", ".GG/BBB"},
       2,
       1},
      {"first frame merely past the edge is clipped", {Solid(3, 1, 2, 2, 1)}, {"..../...G"}, 4, 2},
      {"empty screen takes the first frame", {Solid(0, 0, 2, 2, 1)}, {"GG/GG"}, 0, 0},
      {"absurd screen takes the first frame",
       {Solid(5, 5, 2, 1, 1), Solid(6, 5, 1, 1, 2)},
       {"GG", "GB"},
       65535,
       65535},
  };
  for (const Composition& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Gif(MakeGif(c.width, c.height, c.global, c.frames));
    std::vector<std::string> got;
    for (const Pixels& p : d.frames) got.push_back(Letters(p));
    EXPECT_EQ(got, c.expected);
    for (const Pixels& p : d.frames)
      EXPECT_EQ(p.has_alpha, Letters(p).find('.') != std::string::npos) << Letters(p);
    EXPECT_EQ(d.info.icc, "");
  }
}

TEST(GifReader, DelaysAndLoopCounts) {
  std::vector<GifFrame> frames = {Solid(0, 0, 1, 1, 0), Solid(0, 0, 1, 1, 1), Solid(0, 0, 1, 1, 2)};
  frames[0].delay_cs = 7;
  frames[1].delay_cs = 0;  // raw: the collector decides what 0 means
  frames[2].delay_cs = 65535;
  const struct { int repeats, loops; } cases[] = {{-1, 0}, {0, -1}, {1, 1}, {3, 3}, {65535, 65535}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.repeats);
    const Decoded d = Gif(MakeGif(1, 1, kRgbw, frames, c.repeats));
    EXPECT_EQ(d.delays, (std::vector<int>{70, 0, 655350}));
    EXPECT_EQ(d.info.loops, c.loops);
  }
}

TEST(GifReader, StopsWhereTheSinkSays) {
  const std::string gif =
      MakeGif(2, 2, kRgbw, {Solid(0, 0, 2, 2, 0), Solid(0, 0, 1, 1, 1), Solid(0, 0, 1, 1, 2)});
  EXPECT_EQ(Gif(gif, 1).frames.size(), 1u);
  EXPECT_EQ(Gif(gif, 2).frames.size(), 2u);
}

TEST(GifReader, CapsTheFrameCount) {
  const std::vector<GifFrame> frames(kMaxFrames + 5, Solid(0, 0, 1, 1, 0));
  EXPECT_EQ(Gif(MakeGif(1, 1, kRgbw, frames)).frames.size(), std::size_t(kMaxFrames));
}

TEST(GifReader, DamageKeepsTheFramesBeforeIt) {
  const std::vector<GifFrame> frames = {Solid(0, 0, 8, 8, 0), Solid(0, 0, 8, 8, 1),
                                        Solid(0, 0, 8, 8, 2)};
  const std::string whole = MakeGif(8, 8, kRgbw, frames);
  const std::string two = MakeGif(8, 8, kRgbw, {frames[0], frames[1]});
  // Cut inside the third frame's data: two whole frames, perhaps part of the third.
  Decoded d = Gif(whole.substr(0, two.size() + 30));
  ASSERT_GE(d.frames.size(), 2u);
  EXPECT_EQ(Letters(d.frames[1]), Letters(Gif(two).frames[1]));

  // No trailer: every frame still shows.
  EXPECT_EQ(Gif(whole.substr(0, whole.size() - 1)).frames.size(), 3u);

  // A later frame over budget ends the animation rather than the file.
  std::string huge =
      two.substr(0, two.size() - 1) + MakeGif(1, 1, kRgbw, {Solid(0, 0, 1, 1, 1)}).substr(13 + 12);
  const std::size_t at = two.size() - 1 + 8;  // past the control extension
  ASSERT_EQ(huge[at], ',');
  huge[at + 5] = huge[at + 6] = huge[at + 7] = huge[at + 8] = char(0xff);
  EXPECT_EQ(Gif(huge).frames.size(), 2u);
}

TEST(GifReader, RefusesFilesWithNothingToDraw) {
  const std::string gif = MakeGif(8, 8, kRgbw, {Solid(0, 0, 8, 8, 0)});
  const std::size_t image = gif.find(',');
  const std::string cases[] = {
      "",
      "GIF89a",
      gif.substr(0, 13),                 // screen only
      gif.substr(0, 20),                 // inside the colour table
      gif.substr(0, image + 10),         // image descriptor, no data
      MakeGif(8, 8, kRgbw, {}),          // no frames
      "GIF89a" + std::string(100, 'x'),  // garbage
      MakeGif(0, 0, kRgbw, {Solid(0, 0, 0, 0, 0)}),
  };
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(bytes.size());
    EXPECT_THROW(Gif(bytes), Error);
  }
  // A first frame over budget on an empty screen.
  std::string huge = MakeGif(0, 0, kRgbw, {Solid(0, 0, 1, 1, 0)});
  const std::size_t at = 13 + 12 + 8;
  ASSERT_EQ(huge[at], ',');
  huge[at + 5] = huge[at + 6] = huge[at + 7] = huge[at + 8] = char(0xff);
  EXPECT_THROW(Gif(huge), Error);
}

// ---------------------------------------------------------------------------------------
// GIF files by ImageMagick, against its own composition.

TEST(GifReader, MatchesImageMagick) {
  TempDir dir;
  const struct {
    const char* name;
    std::string args;
    bool to_webp;  // gif2webp takes no frame past the screen
  } cases[] = {
      {"still", "rose: -resize 150%", false},
      {"transparent", "-size 40x30 xc:none -fill red -draw 'circle 20,15 20,5'", false},
      {"interlaced", "-interlace GIF rose:", false},
      {"dispose none",
       "-dispose None -delay 7 -size 40x30 xc:red -page +5+5 -size 10x10 xc:blue "
       "-page +20+10 -size 12x8 xc:green -delay 12 -page +30+22 rose:",
       false},
      {"dispose background",
       "-loop 0 -dispose Background -delay 7 -size 40x30 xc:red -page +5+5 -size 10x10 "
       "xc:blue -page +20+10 -size 12x8 xc:green -delay 12 -page +0+0 -size 14x9 xc:none",
       true},
      {"dispose previous",
       "-loop 3 -dispose Previous -delay 7 -size 40x30 xc:none -fill red -draw 'circle 20,15 "
       "20,5' -page +5+5 -size 10x10 xc:blue -page +20+10 -size 12x8 xc:green",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir / "made.gif";
    ASSERT_EQ(Shell("convert " + c.args + " '" + file.string() + "'"), 0);
    const Decoded d = Gif(ReadBytes(file));
    const std::vector<Pixels> expected = Coalesced(dir, file);
    ASSERT_EQ(d.frames.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_GE(Psnr(d.frames[i], expected[i]), 38) << "frame " << i;
      EXPECT_EQ(d.frames[i].has_alpha, expected[i].has_alpha) << "frame " << i;
    }
    if (expected.size() > 1) {
      EXPECT_EQ(d.delays.front(), 70);
      EXPECT_EQ(d.delays.back(), c.args.find("-delay 12") != std::string::npos ? 120 : 70);
    }
    if (c.to_webp) {
      // gif2webp carries the count over in WebP's terms; both must mean the same plays.
      const fs::path webp = dir / "made.webp";
      ASSERT_EQ(Shell("gif2webp -quiet '" + file.string() + "' -o '" + webp.string() + "'"), 0);
      const Decoded w = Webp(ReadBytes(webp));
      EXPECT_EQ(d.info.loops, w.info.loops);
      EXPECT_EQ(d.delays, w.delays);
      ASSERT_EQ(w.frames.size(), d.frames.size());
      for (std::size_t i = 0; i < w.frames.size(); ++i)
        EXPECT_GE(Psnr(w.frames[i], d.frames[i]), 38) << "WebP frame " << i;
    }
  }
}

// ---------------------------------------------------------------------------------------
// WebP files by libwebp's own tools.

class WebpReader : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Shell("convert rose: -resize 200% '" + Path("rose.png") + "'"), 0);
    ASSERT_EQ(Shell("convert rose: -resize 200% -flop '" + Path("flop.png") + "'"), 0);
    ASSERT_EQ(Shell("convert -size 64x48 gradient:'rgba(255,0,0,1)-rgba(0,0,255,0.3)' -fill "
                    "'rgba(0,255,0,0)' -draw 'rectangle 10,10 30,30' '" +
                    Path("alpha.png") + "'"),
              0);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Make(const std::string& command, const std::string& out) const {
    EXPECT_EQ(Shell(command + " -o '" + Path(out) + "' >/dev/null 2>&1"), 0) << command;
    return ReadBytes(dir_ / out);
  }

  TempDir dir_;
};

TEST_F(WebpReader, Stills) {
  const struct {
    const char* name;
    std::string command;
    std::string source;  // what it should look like, within 38 dB
    bool alpha;
  } cases[] = {
      {"lossy", "cwebp -q 90 " + Path("rose.png"), "rose.png", false},
      {"lossless", "cwebp -lossless " + Path("rose.png"), "rose.png", false},
      {"lossless alpha", "cwebp -lossless -exact " + Path("alpha.png"), "alpha.png", true},
      {"lossy alpha", "cwebp -q 95 -alpha_q 100 " + Path("alpha.png"), "alpha.png", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Webp(Make(c.command, "still.webp"));
    ASSERT_EQ(d.frames.size(), 1u);
    EXPECT_GE(Psnr(d.frames[0], Reference(dir_ / c.source)), 38);
    EXPECT_GE(Psnr(d.frames[0], Reference(dir_ / "still.webp")), 45);  // the same decoder
    EXPECT_EQ(d.frames[0].has_alpha, c.alpha);
    EXPECT_EQ(d.info.loops, 0);
    EXPECT_EQ(d.info.icc, "");
    EXPECT_EQ(d.orientation, 1);
  }
}

TEST_F(WebpReader, ComposesAnimations) {
  // Solid tiles placed by webpmux, so each composed pixel is known exactly.
  int tiles = 0;
  const auto tile = [&](const std::string& colour, int w, int h) {
    const std::string name = "tile" + std::to_string(++tiles);
    Shell("convert -size " + std::to_string(w) + "x" + std::to_string(h) + " xc:'" + colour +
          "' '" + Path(name + ".png") + "'");
    Make("cwebp -lossless -exact " + Path(name + ".png"), name + ".webp");
    return " -frame " + Path(name + ".webp");
  };
  // +duration+x+y+dispose (1: to background), then +b blends or -b replaces.
  std::string mux = "webpmux -loop 3 -bgcolor 255,0,255,255";
  mux += tile("red", 40, 30) + " +70+0+0+0-b";
  mux += tile("rgba(0,0,255,0.5)", 10, 10) + " +80+10+10+1+b";
  mux += tile("lime", 10, 10) + " +90+20+0+0-b";
  mux += tile("none", 10, 10) + " +100+0+0+0-b";
  mux += tile("rgba(255,255,255,0.5)", 10, 10) + " +110+20+20+0+b";
  const std::string anim = Make(mux, "anim.webp");
  const Decoded d = Webp(anim);
  ASSERT_EQ(d.frames.size(), 5u);
  EXPECT_EQ(d.delays, (std::vector<int>{70, 80, 90, 100, 110}));
  EXPECT_EQ(d.info.loops, 2);  // 3 plays
  const struct {
    int frame, x, y;
    std::uint32_t argb;
  } pixels[] = {
      {0, 15, 15, kRed},        // the first frame replaces the empty canvas
      {1, 15, 15, 0xff800080},  // blended over red
      {1, 5, 5, kRed},          // kept
      {2, 15, 15, 0},           // disposed to transparent
      {2, 25, 5, kGreen},       // replaced
      {2, 5, 5, kRed},          // kept
      {3, 5, 5, 0},             // replaced by transparent, not blended
      {3, 25, 5, kGreen},       // kept
      {4, 25, 25, 0xffff8080},  // blended over red
      {4, 35, 5, kRed},         // kept
  };
  for (const auto& p : pixels) {
    const Pixels& f = d.frames[std::size_t(p.frame)];
    const std::uint32_t got = f.argb[std::size_t(p.y) * f.width + p.x];
    const auto near = [](std::uint32_t a, std::uint32_t b) {
      if (a >> 24 == 0 && b >> 24 == 0) return true;  // colour of nothing does not matter
      for (int s = 0; s < 32; s += 8)
        if (std::abs(int(a >> s & 0xff) - int(b >> s & 0xff)) > 2) return false;
      return true;
    };
    EXPECT_TRUE(near(got, p.argb))
        << "frame " << p.frame << " at " << p.x << "," << p.y << ": " << std::hex << got;
  }
  EXPECT_FALSE(d.frames[0].has_alpha);
  EXPECT_TRUE(d.frames[2].has_alpha);
  EXPECT_EQ(Webp(anim, 2).frames.size(), 2u);  // the sink stops it
}

TEST_F(WebpReader, LoopCounts) {
  const struct { int plays, loops; } cases[] = {{0, -1}, {1, 0}, {3, 2}, {65535, 65534}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plays);
    const Decoded d = Webp(Make("img2webp -lossless -loop " + std::to_string(c.plays) + " -d 40 " +
                                    Path("rose.png") + " -d 10 " + Path("flop.png"),
                                "loop.webp"));
    EXPECT_EQ(d.info.loops, c.loops);
    EXPECT_EQ(d.delays, (std::vector<int>{40, 10}));
  }
}

TEST_F(WebpReader, ProfileAndOrientation) {
  const std::string icc = "not really a profile, but carried as it is\x01\x02";
  WriteBytes(dir_ / "profile.icc", icc);
  // A TIFF structure with one entry: orientation (0x112), SHORT, 1 value, 6.
  const std::string exif("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0", 26);
  WriteBytes(dir_ / "exif.bin", exif);
  Make("cwebp -q 80 " + Path("rose.png"), "plain.webp");
  Make("img2webp -lossless " + Path("rose.png") + " " + Path("flop.png"), "anim.webp");
  for (const std::string base : {"plain.webp", "anim.webp"}) {
    SCOPED_TRACE(base);
    Make("webpmux -set icc " + Path("profile.icc") + " " + Path(base), "icc.webp");
    const Decoded tagged =
        Webp(Make("webpmux -set exif " + Path("exif.bin") + " " + Path("icc.webp"), "both.webp"));
    EXPECT_EQ(tagged.info.icc, icc);
    EXPECT_EQ(tagged.orientation, 6);
    ASSERT_FALSE(tagged.frames.empty());
    EXPECT_GE(Psnr(tagged.frames[0], Webp(ReadBytes(dir_ / base)).frames[0]), 99);
    EXPECT_EQ(Webp(ReadBytes(dir_ / base)).orientation, 1);
  }
}

TEST_F(WebpReader, RefusesDamagedAndOversizedFiles) {
  const std::string lossy = Make("cwebp -q 80 " + Path("rose.png"), "lossy.webp");
  const std::string anim =
      Make("img2webp -lossless " + Path("rose.png") + " -d 40 " + Path("flop.png"), "anim.webp");
  // VP8X canvas of 16384 x 16384 around the same small frames: over budget.
  std::string huge = anim;
  ASSERT_EQ(huge.substr(12, 4), "VP8X");
  const char side[] = {char(0xff), 0x3f, 0};  // 16384 - 1, 24 bits little-endian
  huge.replace(24, 3, side, 3).replace(27, 3, side, 3);
  const std::string cases[] = {
      "",
      "RIFF",
      lossy.substr(0, lossy.size() / 2),
      anim.substr(0, anim.size() - 20),
      std::string("RIFF\x10\0\0\0WEBPVP8 ", 16) + std::string(100, 'x'),
      huge,
  };
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(bytes.size());
    EXPECT_THROW(Webp(bytes), Error);
  }
}

// ---------------------------------------------------------------------------------------
// The shared corpus: good files decode like the reference, bad ones never crash.

fs::path Corpus() { return MIRVANE_CORPUS_DIR; }

std::vector<fs::path> Files(const fs::path& folder) {
  std::vector<fs::path> files;
  if (fs::is_directory(folder))
    for (const auto& e : fs::directory_iterator(folder)) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

// Files whose first frame the reference shows differently, and why.
const char* Exception(const std::string& name) {
  static const std::pair<const char*, const char*> kKnown[] = {
      // Browsers grow the canvas for a first frame larger than the screen; ImageMagick clips.
      {"issue_1455_oversized", "first frame larger than the screen"},
  };
  for (const auto& [part, why] : kKnown)
    if (name.find(part) != std::string::npos) return why;
  return nullptr;
}

void CheckValid(const std::string& format, bool gif) {
  const std::vector<fs::path> files = Files(Corpus() / "valid" / format);
  if (files.empty()) GTEST_SKIP() << "no corpus";
  TempDir dir;
  std::vector<double> psnr;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    Decoded d;
    try {
      d = gif ? Gif(ReadBytes(file), 1) : Webp(ReadBytes(file), 1);
    } catch (const Error& e) {
      ADD_FAILURE() << e.what();
      continue;
    }
    ASSERT_EQ(d.frames.size(), 1u);
    Pixels reference;
    if (!gif && Shell("dwebp -quiet -pam '" + file.string() + "' -o '" +
                      (dir / "ref.pam").string() + "' 2>/dev/null") == 0)
      reference = Reference(dir / "ref.pam");
    if (reference.argb.empty()) {
      const std::vector<Pixels> frames = Coalesced(dir, file, true);
      if (!frames.empty()) reference = frames.front();
    }
    if (reference.argb.empty()) {
      std::cout << "  unchecked " << file.filename() << ": the reference cannot read it\n";
      continue;
    }
    const double db = Psnr(d.frames[0], reference);
    if (const char* why = Exception(file.filename().string())) {
      std::cout << "  exception " << file.filename() << " " << db << " dB: " << why << "\n";
      continue;
    }
    psnr.push_back(db);
    EXPECT_GE(db, 38);
  }
  std::sort(psnr.begin(), psnr.end());
  if (!psnr.empty())
    std::cout << "  " << format << ": " << files.size() << " files, " << psnr.size()
              << " compared, PSNR min " << psnr.front() << " median " << psnr[psnr.size() / 2]
              << "\n";
}

void CheckCorrupt(const std::string& format, bool gif) {
  const std::vector<fs::path> files = Files(Corpus() / "corrupt" / format);
  if (files.empty()) GTEST_SKIP() << "no corpus";
  int refused = 0, decoded = 0;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    try {
      const Decoded d = gif ? Gif(ReadBytes(file)) : Webp(ReadBytes(file));
      EXPECT_FALSE(d.frames.empty());
      ++decoded;
    } catch (const Error&) {
      ++refused;
    }
  }
  std::cout << "  corrupt " << format << ": " << decoded << " decoded, " << refused << " refused\n";
}

TEST(GifCorpus, ValidFilesMatchTheReference) { CheckValid("gif", true); }
TEST(GifCorpus, CorruptFilesNeverCrash) { CheckCorrupt("gif", true); }
TEST(WebpCorpus, ValidFilesMatchTheReference) { CheckValid("webp", false); }
TEST(WebpCorpus, CorruptFilesNeverCrash) { CheckCorrupt("webp", false); }

}  // namespace
}  // namespace mirvane::image
