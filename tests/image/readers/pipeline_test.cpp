// The steps every format shares, and what a slot shows and keeps, on made pictures and
// a host of files in memory: no toolkit, no platform.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "image/decode.h"
#include "image/error.h"
#include "image/finish.h"
#include "image/pixel_steps.h"
#include "image/playback.h"
#include "image/showing.h"

namespace mirvane::image {
namespace {

// A w x h picture whose left half is `left` and right half `right`.
Pixels TwoTone(int w, int h, std::uint32_t left, std::uint32_t right) {
  Pixels p{w, h, false, std::vector<std::uint32_t>(std::size_t(w) * std::size_t(h))};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.argb[std::size_t(y * w + x)] = x < w / 2 ? left : right;
  return p;
}

std::uint32_t At(const Pixels& p, int x, int y) {
  return p.argb[std::size_t(y) * std::size_t(p.width) + std::size_t(x)];
}

constexpr std::uint32_t kRed = 0xffff0000, kBlue = 0xff0000ff, kWhite = 0xffffffff;

TEST(PixelSteps, OrientationsBringTheStoredPictureUpright) {
  // A 3 x 2 picture with a marked corner: where the top-left of the upright picture comes
  // from for each EXIF orientation.
  Pixels stored{3, 2, false, {1, 2, 3, 4, 5, 6}};
  const struct {
    int orientation;
    Size upright;
    std::uint32_t top_left, top_right;
  } rows[] = {{1, {3, 2}, 1, 3}, {2, {3, 2}, 3, 1}, {3, {3, 2}, 6, 4}, {4, {3, 2}, 4, 6},
              {5, {2, 3}, 1, 4}, {6, {2, 3}, 4, 1}, {7, {2, 3}, 6, 3}, {8, {2, 3}, 3, 6}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.orientation);
    const Pixels upright = Oriented(stored, row.orientation);
    ASSERT_EQ((Size{upright.width, upright.height}), row.upright);
    EXPECT_EQ(At(upright, 0, 0), row.top_left);
    EXPECT_EQ(At(upright, upright.width - 1, 0), row.top_right);
  }
  EXPECT_EQ(TurnedClockwise(TurnedClockwise(stored, 1), 3).argb, stored.argb);
  EXPECT_EQ(TurnedClockwise(stored, -1).argb, TurnedClockwise(stored, 3).argb);
}

TEST(PixelSteps, OverWhiteTakesStraightAndPremultipliedAlpha) {
  // Half-transparent red, straight (0x80ff0000) and premultiplied (0x80800000): the same
  // colour over white.
  Pixels straight{1, 1, true, {0x80ff0000}};
  Pixels premultiplied{1, 1, true, {0x80800000}};
  OverWhite(straight, false);
  OverWhite(premultiplied, true);
  for (const Pixels& p : {straight, premultiplied}) {
    EXPECT_EQ(p.argb[0] >> 24, 0xffu);
    EXPECT_EQ((p.argb[0] >> 16) & 0xff, 0xffu);
    EXPECT_NEAR(double(p.argb[0] & 0xff), 127, 1);
    EXPECT_FALSE(p.has_alpha);
  }
  Pixels clear{1, 1, true, {0x00000000}};
  OverWhite(clear, false);
  EXPECT_EQ(clear.argb[0], kWhite) << "wholly transparent is white, not black";
}

TEST(PixelSteps, ScaledAveragesDownAndEnlargesEitherWay) {
  const Pixels checks{2, 2, false, {0xff000000, kWhite, kWhite, 0xff000000}};
  const Pixels one = Scaled(checks, {1, 1});
  EXPECT_NEAR(double(one.argb[0] & 0xff), 127.5, 1) << "a fine pattern keeps its mean";
  const Pixels mixed = Scaled(TwoTone(8, 2, kRed, kBlue), {4, 4});  // narrower and taller
  ASSERT_EQ((Size{mixed.width, mixed.height}), (Size{4, 4}));
  EXPECT_EQ(At(mixed, 0, 3), kRed);
  EXPECT_EQ(At(mixed, 3, 0), kBlue);
}

TEST(Finish, SourceCoversEitherTurnAndImageIsTheTurnedFit) {
  Picture picture;
  picture.pixels = TwoTone(800, 400, kRed, kBlue);
  picture.full = {800, 400};
  const Decoded upright = Finish(picture, {200, 400}, 0);  // a slot higher than wide
  EXPECT_EQ((Size{upright.image.width, upright.image.height}), (Size{200, 100}));
  EXPECT_EQ((Size{upright.source.width, upright.source.height}), (Size{400, 200}))
      << "large enough for the fit turned a quarter";
  const Decoded turned = Finish(picture, {200, 400}, 1);
  ASSERT_EQ((Size{turned.image.width, turned.image.height}), (Size{200, 400}));
  EXPECT_EQ(At(turned.image, 100, 20), kRed) << "clockwise: the left half goes on top";
  EXPECT_EQ(At(turned.image, 100, 380), kBlue);
  // An orientation is applied to the reduced picture; the full size is upright.
  picture.orientation = 6;
  picture.full = {400, 800};
  const Decoded oriented = Finish(picture, {200, 200}, 0);
  EXPECT_EQ((Size{oriented.image.width, oriented.image.height}), (Size{100, 200}));
  EXPECT_EQ(At(oriented.image, 50, 10), kRed);
  EXPECT_THROW(Finish(Picture{}, {200, 200}, 0), Error);
}

TEST(Finish, SofterOnlyWhenDecodedSmallerThanTheNewFit) {
  EXPECT_TRUE(Softer({400, 200}, {4000, 2000}, {1000, 1000}, 0));
  EXPECT_FALSE(Softer({400, 200}, {400, 200}, {1000, 1000}, 0)) << "full size: nothing sharper";
  EXPECT_FALSE(Softer({400, 200}, {4000, 2000}, {300, 300}, 0));
  EXPECT_TRUE(Softer({400, 200}, {400, 200}, {1000, 1000}, 0, true)) << "a drawing";
}

TEST(Playback, PlaysItsLoopsThenStaysOnTheLastFrame) {
  Playback play;
  play.Load({10, 20, 30}, 1);  // two plays
  std::vector<int> seen{play.current()};
  while (play.Step()) seen.push_back(play.current());
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 0, 1, 2}));
  EXPECT_FALSE(play.Delay().has_value());
  play.Load({10, 20}, -1);
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(play.Step()) << "forever";
  play.Load({10}, -1);
  EXPECT_FALSE(play.Delay().has_value()) << "a still picture does not tick";
}

TEST(Decode, SystemCodecsTakeOnlyWhatNoReaderOfOursTakes) {
  int asked = 0;
  Extras extras;
  extras.system = [&](std::string_view, Size) {
    ++asked;
    Picture p;
    p.pixels = TwoTone(4, 2, kRed, kBlue);
    p.full = {4, 2};
    return p;
  };
  const Decoded unknown = Decode("no signature of ours", {8, 8}, 0, {}, extras);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(unknown.full, (Size{4, 2}));
  EXPECT_THROW(Decode("\x89PNG\r\n\x1a\n damaged", {8, 8}, 0, {}, extras), Error)
      << "a damaged PNG is refused, not handed on";
  EXPECT_EQ(asked, 1);
  EXPECT_THROW(Decode("no signature of ours", {8, 8}), Error) << "no system codecs";
}

// Files in memory, and posted work run when the test says.
class MemoryHost {
 public:
  struct File final : SourceFile {
    File(std::string bytes, FileIdentity id) : bytes_(std::move(bytes)), id_(id) {}
    std::int64_t size() const override { return std::int64_t(bytes_.size()); }
    const FileIdentity& identity_at_open() const override { return id_; }
    FileIdentity IdentityNow() const override { return id_; }
    std::int64_t ReadInto(char* buffer, std::size_t capacity) override {
      const std::size_t n = std::min(capacity, bytes_.size() - at_);
      std::copy_n(bytes_.data() + at_, n, buffer);
      at_ += n;
      return std::int64_t(n);
    }
    std::string bytes_;
    FileIdentity id_;
    std::size_t at_ = 0;
  };

  MemoryHost() {
    host.open = [this](const std::string& name) -> std::unique_ptr<SourceFile> {
      const auto it = files.find(name);
      if (it == files.end()) throw Error(name + ": no such file");
      return std::make_unique<File>(it->second, FileIdentity{1, std::uint64_t(name.size()), 0, 0});
    };
    host.post = [this](std::function<void()> work) { posted.push_back(std::move(work)); };
  }

  std::map<std::string, std::string> files;
  std::deque<std::function<void()>> posted;
  Host host;
};

// A PNM picture: small, and read by a reader of ours.
std::string Ppm(const Pixels& p) {
  std::string out = "P6\n" + std::to_string(p.width) + " " + std::to_string(p.height) + "\n255\n";
  for (std::uint32_t v : p.argb) {
    out += char((v >> 16) & 0xff);
    out += char((v >> 8) & 0xff);
    out += char(v & 0xff);
  }
  return out;
}

class ShowingTest : public testing::Test {
 protected:
  ShowingTest()
      : showing_(files_.host, {[this] { return box_; }, [] { return true; }, [this] { ++repaints_; },
                               [this](bool run) { settling_ = run; }, [](int) {}, [] {}}) {
    files_.files["wide.ppm"] = Ppm(TwoTone(80, 40, kRed, kBlue));
  }
  void Show(const std::string& name) {
    showing_.SourcePath(name);
    showing_.Render(nullptr);
  }
  Size Image() const { return {showing_.image().width, showing_.image().height}; }

  MemoryHost files_;
  Size box_{200, 200};
  int repaints_ = 0;
  bool settling_ = false;
  Showing showing_;
};

TEST_F(ShowingTest, ShowsTurnsAndRefitsFromWhatItKeeps) {
  Show("wide.ppm");
  EXPECT_EQ(Image(), (Size{200, 100}));
  EXPECT_EQ(showing_.Picture(), (Size{80, 40}));
  showing_.Turn(1);
  EXPECT_EQ(Image(), (Size{100, 200}));
  EXPECT_EQ(showing_.Picture(), (Size{40, 80}));
  EXPECT_EQ(At(showing_.image(), 50, 10), kRed);
  files_.files.clear();  // nothing is read again
  box_ = {100, 100};
  showing_.Refit();
  EXPECT_EQ(Image(), (Size{50, 100}));
  showing_.Turn(-1);
  EXPECT_EQ(Image(), (Size{100, 50}));
}

TEST_F(ShowingTest, AFailedRenderKeepsWhatWasOnView) {
  Show("wide.ppm");
  showing_.Turn(1);
  const Pixels before = showing_.image();
  files_.files["bad.ppm"] = "P6\n80 40\n255\ncut short";
  EXPECT_THROW(Show("bad.ppm"), Error);
  EXPECT_THROW(Show("missing.ppm"), Error);
  EXPECT_EQ(showing_.image().argb, before.argb);
  EXPECT_EQ(showing_.Picture(), (Size{40, 80})) << "size and turn as they were";
}

TEST_F(ShowingTest, HiddenLetsGoAndRefitNeverFailsOnAnEmptySlot) {
  showing_.Refit();
  showing_.Refresh();
  Show("wide.ppm");
  showing_.Visible(false);
  EXPECT_TRUE(showing_.image().argb.empty());
  EXPECT_EQ(showing_.Picture(), (Size{0, 0}));
  showing_.Refit();
  EXPECT_TRUE(showing_.image().argb.empty());
}

TEST_F(ShowingTest, AGrownSlotAsksForASharperDecodeOnceSettled) {
  files_.files["large.ppm"] = Ppm(TwoTone(2000, 1000, kRed, kBlue));
  box_ = {100, 100};
  Show("large.ppm");
  EXPECT_FALSE(settling_);
  box_ = {1000, 1000};
  showing_.Refit();
  EXPECT_EQ(Image(), (Size{1000, 500})) << "at once, from what is kept";
  EXPECT_TRUE(settling_);
  showing_.Settled();
  // The sharper decode runs on a thread of its own and comes back as posted work.
  for (int i = 0; i < 500 && files_.posted.empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(files_.posted.size(), 1u);
  files_.posted.front()();
  box_ = {1000, 1000};
  showing_.Refit();
  EXPECT_FALSE(settling_) << "nothing sharper to come";
}

}  // namespace
}  // namespace mirvane::image
