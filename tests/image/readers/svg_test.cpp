#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <future>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "image/budget.h"
#include "image/error.h"
#include "image/readers/svg.h"
#include "reader_test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace mirvane::image {
namespace {

// librsvg 2.54 loses each entity declaration's value (some 100 bytes); the leak checker is
// told so for the files that have them, on the thread that draws them.
class LibraryLeaks {
 public:
  explicit LibraryLeaks(bool expected) : expected_(expected) {
#if defined(__SANITIZE_ADDRESS__)
    if (expected_) __lsan_disable();
#endif
  }
  ~LibraryLeaks() {
#if defined(__SANITIZE_ADDRESS__)
    if (expected_) __lsan_enable();
#endif
  }
  LibraryLeaks(const LibraryLeaks&) = delete;
  LibraryLeaks& operator=(const LibraryLeaks&) = delete;

 private:
  bool expected_;
};

namespace fs = std::filesystem;
using testing::Psnr;
using testing::Reference;
using testing::TempDir;
using testing::WriteBytes;

// Not Run: a test body would find ::testing::Test::Run first.
int Shell(const std::string& command) { return testing::Run(command); }

std::string Svg(const std::string& size, const std::string& body) {
  return "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' " +
         size + ">" + body + "</svg>";
}

// `text` as it may stand in a data: URI inside an attribute.
std::string Percent(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '/' || c == ':' || c == '.' || c == '=' || c == '-') {
      out += char(c);
    } else {
      out += {'%', hex[c >> 4], hex[c & 15]};
    }
  }
  return out;
}

// rsvg-convert's drawing of `svg` at exactly `size`, straight alpha; empty on failure.
Pixels RsvgConvert(const TempDir& dir, const std::string& svg, Size size) {
  WriteBytes(dir / "ref.svg", svg);
  const fs::path png = dir / "ref.png";
  fs::remove(png);
  if (Shell("rsvg-convert -w " + std::to_string(size.width) + " -h " + std::to_string(size.height) +
            " -o '" + png.string() + "' '" + (dir / "ref.svg").string() + "'") != 0)
    return {};
  return Reference(png);
}

// Runs `work` on a thread of its own; false when it has not ended after `seconds`, then
// `release` is called to unblock it (the thread is left behind).
bool EndsWithin(std::function<void()> work, int seconds, std::function<void()> release = {}) {
  std::packaged_task<void()> task(std::move(work));
  std::future<void> done = task.get_future();
  std::thread(std::move(task)).detach();
  if (done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready) {
    done.get();
    return true;
  }
  if (release) release();
  return false;
}

// Pixels that are clearly red, over white.
int RedPixels(const Picture& p) {
  int red = 0;
  for (std::uint32_t c : p.pixels.argb) {
    const int a = int(c >> 24), r = int((c >> 16) & 0xff) + 255 - a,
              g = int((c >> 8) & 0xff) + 255 - a, b = int(c & 0xff) + 255 - a;
    if (r > 160 && g < 100 && b < 100) ++red;
  }
  return red;
}

// What Qt SVG drew wrong or not at all, each against rsvg-convert at the same size.
TEST(SvgTest, DrawsAsRsvgConvertDoes) {
  const std::string arrow =
      "<marker id='s' markerWidth='8' markerHeight='8' refX='1' refY='4' orient='auto'>"
      "<path d='M0,0 L8,4 L0,8 z' fill='#c00'/></marker>"
      "<marker id='m' markerWidth='6' markerHeight='6' refX='3' refY='3'>"
      "<circle cx='3' cy='3' r='2.5' fill='#06c'/></marker>"
      "<marker id='e' markerWidth='8' markerHeight='8' refX='7' refY='4' "
      "orient='auto-start-reverse' markerUnits='strokeWidth'>"
      "<path d='M0,0 L8,4 L0,8 z' fill='#090'/></marker>";
  const std::string marked =
      "stroke='#333' stroke-width='2' fill='none' "
      "marker-start='url(#s)' marker-mid='url(#m)' marker-end='url(#e)'";
  const struct {
    const char* name;
    std::string svg;
    Size box;
  } cases[] = {
      {"markers on lines, polylines and curved paths",
       Svg("width='120' height='90'",
           "<defs>" + arrow + "</defs><line x1='10' y1='10' x2='60' y2='30' " + marked +
               "/><polyline points='10,50 30,70 50,50 70,80 110,40' " + marked +
               "/><path d='M70,10 C90,0 110,30 100,40 Q90,50 80,40 A10 8 30 0 1 60,45' " + marked +
               "/>"),
       {360, 300}},
      {"markers on a closed path, orient by angle",
       Svg("viewBox='0 0 50 50' width='100' height='100'",
           "<defs><marker id='a' viewBox='0 0 10 10' refX='5' refY='5' markerWidth='5' "
           "markerHeight='5' orient='30'><rect width='10' height='4' fill='#a0f'/></marker>"
           "</defs><path d='M10,10 h30 v30 h-30 z' fill='#ffd' stroke='#000' "
           "marker-start='url(#a)' marker-mid='url(#a)' marker-end='url(#a)'/>"),
       {150, 150}},
      {"blur and offset filter",
       Svg("width='100' height='80'",
           "<filter id='f' x='-20%' y='-20%' width='160%' height='160%'>"
           "<feOffset in='SourceAlpha' dx='6' dy='4' result='o'/>"
           "<feGaussianBlur in='o' stdDeviation='3' result='b'/>"
           "<feMerge><feMergeNode in='b'/><feMergeNode in='SourceGraphic'/></feMerge>"
           "</filter><rect x='15' y='15' width='50' height='35' fill='#3a6' filter='url(#f)'/>"),
       {250, 200}},
      {"mask",
       Svg("width='100' height='100'",
           "<defs><linearGradient id='g'><stop offset='0' stop-color='#fff'/>"
           "<stop offset='1' stop-color='#000'/></linearGradient>"
           "<mask id='k'><rect width='100' height='100' fill='url(#g)'/>"
           "<circle cx='50' cy='50' r='15' fill='#000'/></mask></defs>"
           "<rect width='100' height='100' fill='#c22' mask='url(#k)'/>"),
       {200, 200}},
      {"clip path on a group",
       Svg("viewBox='0 0 40 20' width='160' height='80'",
           "<clipPath id='c'><circle cx='20' cy='10' r='9'/><rect width='6' height='6'/>"
           "</clipPath><g clip-path='url(#c)'><rect width='20' height='20' fill='#06f'/>"
           "<rect x='20' width='20' height='20' fill='#fa0'/></g>"),
       {300, 300}},
      {"style sheet with classes",
       Svg("width='90' height='60'",
           "<style>.a{fill:#e33;stroke:#000;stroke-width:3} .b{fill:#39f;opacity:.6}"
           " rect.b{fill:#0a0} #c{fill:none;stroke:#f0f;stroke-dasharray:4 2}</style>"
           "<circle class='a' cx='25' cy='30' r='18'/><circle class='b' cx='50' cy='30' r='18'/>"
           "<rect class='b' x='55' y='5' width='30' height='20'/>"
           "<rect id='c' x='5' y='40' width='80' height='15'/>"),
       {180, 180}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Picture picture = DrawSvg(c.svg, c.box);
    EXPECT_TRUE(picture.premultiplied);
    const Pixels reference = RsvgConvert(dir, c.svg, {picture.pixels.width, picture.pixels.height});
    ASSERT_FALSE(reference.argb.empty());
    const double psnr = Psnr(picture.pixels, reference, true);
    std::cout << c.name << ": " << psnr << " dB\n";
    EXPECT_GE(psnr, 30);
  }
}

// The picture's own size and its fit: absolute units at 96 dpi, rounded; a viewBox alone;
// neither, where the size of what is drawn gives it, as rsvg-convert takes it.
TEST(SvgTest, SizesAndFits) {
  const std::string body = "<rect x='2' y='3' width='20' height='10' fill='#00f'/>";
  const struct {
    std::string size;
    Size box, full, fitted;
  } cases[] = {
      {"width='8' height='4'", {200, 200}, {8, 4}, {200, 100}},
      {"width='1in' height='0.5in'", {48, 48}, {96, 48}, {48, 24}},
      {"width='10.2mm' height='20'", {100, 100}, {39, 20}, {100, 51}},
      {"width='16' height='16.007'", {64, 64}, {16, 16}, {64, 64}},
      {"viewBox='0 0 30 60'", {100, 100}, {30, 60}, {50, 100}},
      {"width='100%' viewBox='0 0 30 60'", {60, 60}, {30, 60}, {30, 60}},
      {"width='0.2' height='0.2'", {10, 10}, {1, 1}, {10, 10}},
      {"", {44, 44}, {20, 10}, {44, 22}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    const Picture picture = DrawSvg(Svg(c.size, body), c.box);
    EXPECT_EQ(picture.full, c.full);
    EXPECT_EQ((Size{picture.pixels.width, picture.pixels.height}), c.fitted);
    EXPECT_EQ(picture.pixels.argb.size(), std::size_t(c.fitted.width) * c.fitted.height);
  }
  // Drawn at the size shown, not enlarged from pixels: a hard edge between two halves.
  const Picture halves = DrawSvg(Svg("width='2' height='1'",
                                     "<rect width='1' height='1' fill='#f00'/>"
                                     "<rect x='1' width='1' height='1' fill='#00f'/>"),
                                 {400, 400});
  ASSERT_EQ(halves.pixels.width, 400);
  EXPECT_EQ(halves.pixels.argb[100 * 400 + 199], 0xffff0000u);
  EXPECT_EQ(halves.pixels.argb[100 * 400 + 200], 0xff0000ffu);
}

// Damaged files, empty and absurd sizes are refused, and librsvg says nothing on stderr.
TEST(SvgTest, RefusesBrokenFilesQuietly) {
  const std::string refused[] = {
      "",
      "<svg",
      "not xml at all",
      "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><rect></svg>",
      "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><text>&nope;</text></svg>",
      Svg("width='0' height='10'", ""),
      Svg("width='-4' height='10'", ""),
      Svg("width='5' height='2000000'", ""),
      Svg("width='1e30' height='1e30'", ""),
      Svg("viewBox='0 0 0 0'", ""),
  };
  TempDir dir;
  std::fflush(stderr);
  const int saved = dup(2);
  const int log = open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(log, 0);
  dup2(log, 2);
  for (const std::string& svg : refused) EXPECT_THROW(DrawSvg(svg, {64, 64}), Error) << svg;
  // Drawn, with what it cannot draw left out.
  const Picture drawn = DrawSvg(
      Svg("width='10' height='10'",
          "<rect width='q' fill='bogus'/><image href='data:image/png;base64,AAAA' width='5' "
          "height='5'/><filter id='f'><feBogus/><feGaussianBlur stdDeviation='-1'/></filter>"
          "<rect width='10' height='10' fill='#0f0' filter='url(#f)' mask='url(#none)'/>"),
      {10, 10});
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(log);
  EXPECT_EQ(drawn.pixels.width, 10);
  EXPECT_EQ(testing::ReadBytes(dir / "stderr"), "");
}

// A picture file stands alone: whatever an SVG names outside itself (a file, a device, a
// FIFO that would block whoever opens it) is not read, and it draws without it. The same
// file given to rsvg-convert beside those files, which lets it read them, shows red.
TEST(SvgTest, ReadsNoOtherFile) {
  TempDir dir;
  const std::string at = "file://" + dir.path().string() + "/";
  ASSERT_EQ(Shell("convert -size 8x8 xc:red '" + (dir / "red.png").string() + "'"), 0);
  WriteBytes(dir / "red.svg", Svg("",
                                  "<linearGradient id='g'><stop stop-color='red'/></linearGradient>"
                                  "<rect id='x' width='40' height='40' fill='red'/>"));
  WriteBytes(dir / "red.css", "rect { fill: red }");
  WriteBytes(dir / "red.txt", "MMMMMMMM");
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  const std::string sized = "width='40' height='40'";
  const std::string white = "<rect width='40' height='40' fill='#fff'/>";
  const std::string nested = Svg(sized, "<image href='" + at + "red.png' " + sized + "/>");
  const struct {
    std::string body;
    bool readable;  // by rsvg-convert from beside the files
  } cases[] = {
      {"<image href='" + at + "red.png' " + sized + "/>", true},
      {"<image href='red.png' " + sized + "/>", true},
      {"<image xlink:href='/etc/passwd' " + sized + "/>", false},
      {"<image href='file:///dev/zero' " + sized + "/>", false},
      {"<image href='" + at + "fifo' " + sized + "/>", false},
      {"<image href='fifo' " + sized + "/>", false},
      {"<use href='" + at + "red.svg#x'/>", true},
      {"<use xlink:href='red.svg#x'/>", true},
      {"<style>@import url(\"" + at + "red.css\");</style>" + white, true},
      {"<style>@import url(red.css);</style>" + white, true},
      {"<style>@import url(fifo);</style>" + white, false},
      {"<rect " + sized + " fill='url(" + at + "red.svg#g)'/>", true},
      {"<rect " + sized + " style='fill:url(red.svg#g)'/>", true},
      {"<filter id='f'><feImage href='" + at + "red.png' " + sized + "/></filter><rect " + sized +
           " filter='url(#f)'/>",
       true},
      {"<text y='35' font-size='40' fill='red'><xi:include "
       "xmlns:xi='http://www.w3.org/2001/XInclude' href='" +
           at + "red.txt' parse='text'/></text>",
       true},
      {"<image href='data:image/svg+xml," + Percent(nested) + "' " + sized + "/>", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    const std::string svg = Svg(sized, c.body);
    // Shared: a thread left behind must not outlive what it writes to.
    const auto drawn = std::make_shared<Picture>();
    const bool ended = EndsWithin(
        [drawn, svg] {
          *drawn = DrawSvg(svg, {40, 40});
        },
        30,
        [&] {
          // Something opened the FIFO: let it go on, the test has failed anyway.
          const int fd = open((dir / "fifo").c_str(), O_WRONLY | O_NONBLOCK);
          if (fd >= 0) close(fd);
        });
    ASSERT_TRUE(ended);
    EXPECT_EQ(drawn->pixels.width, 40);
    EXPECT_EQ(RedPixels(*drawn), 0);
    if (!c.readable) continue;
    WriteBytes(dir / "beside.svg", svg);
    ASSERT_EQ(Shell("rsvg-convert -o '" + (dir / "beside.png").string() + "' '" +
                    (dir / "beside.svg").string() + "'"),
              0);
    Picture control;
    control.pixels = Reference(dir / "beside.png");
    EXPECT_GT(RedPixels(control), 40);
  }
}

// Files made to cost: each ends (drawn or refused) well within the watchdog's bound.
TEST(SvgTest, PathologicalFilesEnd) {
  // librsvg stops after 500000 elements referenced. (Not with opacity on each: each
  // instance then costs a layer the size of the picture, which no limit of librsvg 2.54
  // bounds.)
  std::string laughs = "<defs><rect id='l0' width='1' height='1' fill='#00f'/>";
  for (int level = 1; level <= 10; ++level) {
    laughs += "<g id='l" + std::to_string(level) + "'>";
    for (int i = 0; i < 10; ++i) laughs += "<use href='#l" + std::to_string(level - 1) + "'/>";
    laughs += "</g>";
  }
  laughs += "</defs><use href='#l10'/>";
  std::string entities = "<!DOCTYPE svg [<!ENTITY e0 'ha'>";
  for (int level = 1; level <= 10; ++level) {
    entities += "<!ENTITY e" + std::to_string(level) + " '";
    for (int i = 0; i < 10; ++i) entities += "&e" + std::to_string(level - 1) + ";";
    entities += "'>";
  }
  entities += "]>" + Svg("width='100' height='100'", "<text y='50'>&e10;</text>");
  std::string elements;
  for (int i = 0; i < 1200000; ++i) elements += "<g/>";
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<g>";
  const struct {
    const char* name;
    std::string svg;
  } cases[] = {
      {"use billion laughs", Svg("width='1000' height='1000'", laughs)},
      {"entity billion laughs", entities},
      {"1.2 million elements", Svg("width='100' height='100'", elements)},
      {"100000 nested groups", Svg("width='100' height='100'", deep)},
      {"huge blur", Svg("width='4000' height='4000'",
                        "<filter id='f' x='-1000' y='-1000' width='100000' height='100000' "
                        "filterUnits='userSpaceOnUse'><feGaussianBlur stdDeviation='1e6'/></filter>"
                        "<rect width='4000' height='4000' fill='#f00' filter='url(#f)'/>")},
      {"enormous intrinsic size", Svg("width='1e9' height='1e9'", "<rect width='9' height='9'/>")},
      {"largest intrinsic size", Svg("width='1048576' height='1048576'",
                                     "<circle cx='524288' cy='524288' r='500000' fill='#0a0'/>")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto outcome = std::make_shared<std::string>();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(EndsWithin(
        [outcome, svg = c.svg] {
          const LibraryLeaks entities(svg.find("<!ENTITY") != std::string::npos);
          try {
            const Picture p = DrawSvg(svg, {1920, 1080});
            *outcome =
                "drawn " + std::to_string(p.pixels.width) + "x" + std::to_string(p.pixels.height);
          } catch (const Error& e) {
            *outcome = std::string("refused: ") + e.what();
          }
        },
        60));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::cout << c.name << ": " << *outcome << " in " << took.count() << " s\n";
  }
}

}  // namespace
}  // namespace mirvane::image
