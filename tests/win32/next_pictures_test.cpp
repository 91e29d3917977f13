#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/next_pictures.h"
#include "image/prepare.h"
#include "pictures.h"
#include "platform/error.h"
#include "platform/win32/regular_file.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_rastrel.h"
#include "pump.h"

namespace mirvane::platform::win32 {
namespace {

using image::NextPictures;
using image::TurnWhen;

constexpr std::uint32_t kRed = 0xffff0000, kBlue = 0xff0000ff, kGreen = 0xff00ff00;

bool Near(std::uint32_t pixel, std::uint32_t colour) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int a = static_cast<int>((pixel >> shift) & 0xff);
    const int b = static_cast<int>((colour >> shift) & 0xff);
    if (a - b > 48 || b - a > 48) return false;
  }
  return true;
}

std::uint32_t Centre(const Bitmap& bitmap) {
  if (bitmap.empty()) return 0;
  return bitmap
      .pixels[static_cast<std::size_t>(bitmap.height / 2) * bitmap.width + bitmap.width / 2];
}

void SetLastWrite(const std::string& name, FILETIME time) {
  const HANDLE file =
      CreateFileW(Widen(name).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

std::string Plain(const GUID& container, int width, int height, std::uint32_t colour) {
  return test::Encode(container, width, height, [colour](int, int) { return colour; });
}

// Two slots of 200 x 150 pixels and the preparer as the program wires them. Pictures
// prepared ahead come out green, so that a test tells them from pictures decoded at Render.
class NextPicturesTest : public testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExW(0, L"STATIC", L"slots", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    for (auto* slot : {&slot0_, &slot1_}) {
      *slot = std::make_unique<Win32Rastrel>(parent_);
      Size(**slot, 200, 150);
    }
    next_ = std::make_unique<NextPictures>(Win32Host(), BoxOf(), [this](const image::Order& o) {
      ++attempts_;
      if (hold_) hold_();
      auto prepared = image::PrepareAhead(o, Win32Host());
      std::vector<std::uint32_t>& pixels = prepared.picture.image.argb;
      std::fill(pixels.begin(), pixels.end(), kGreen);
      ++prepared_;
      return prepared;
    });
    for (auto* slot : {slot0_.get(), slot1_.get()}) slot->Ahead(next_.get());
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    folder_ = Narrow(folder);
  }
  void TearDown() override {
    next_.reset();
    slot0_.reset();
    slot1_.reset();
    DestroyWindow(parent_);
    for (const std::string& name : written_) DeleteFileW(Widen(name).c_str());
  }

  // The slots' sizes, as the program gives them to the pictures ahead.
  std::function<image::Size(int)> BoxOf() {
    return [this](int slot) { return (slot == 0 ? slot0_ : slot1_)->Box(); };
  }
  static void Size(Win32Rastrel& slot, int width, int height) {
    SetWindowPos(slot.Handle(), nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  std::string Write(const std::string& leaf, const std::string& bytes) {
    const std::string name = folder_ + "mirvane-ahead-" + leaf;
    test::WriteFile(name, bytes);
    written_.push_back(name);
    return name;
  }
  // Tells what comes next, lets the order go out as the message loop does, and waits until
  // `count` more pictures are prepared.
  void Expect(std::vector<std::string> names, TurnWhen turn = TurnWhen::kNever, int count = 1) {
    const int before = prepared_;
    next_->Expect({std::move(names), 0, turn});
    PumpUntil([&] { return prepared_ >= before + count; }, 5000);
    ASSERT_EQ(prepared_, before + count);
  }
  // Tells and lets the order go out without waiting for a picture.
  void Tell(std::vector<std::string> names) {
    next_->Expect({std::move(names), 0, TurnWhen::kNever});
    PumpUntil([] { return false; }, 20);
  }
  void Show(Win32Rastrel& slot, const std::string& name) {
    slot.SourcePath(name);
    slot.Render();
  }

  HWND parent_ = nullptr;
  std::unique_ptr<Win32Rastrel> slot0_, slot1_;
  std::unique_ptr<NextPictures> next_;
  std::function<void()> hold_;  // runs on the worker before it decodes
  std::atomic<int> attempts_{0}, prepared_{0};
  std::string folder_;
  std::vector<std::string> written_;
};

TEST_F(NextPicturesTest, APreparedPictureIsTakenOnceAtRender) {
  const std::string name = Write("p.png", Plain(GUID_ContainerFormatPng, 80, 60, kRed));
  Expect({name});
  Show(*slot0_, name);
  EXPECT_TRUE(Near(Centre(slot0_->Shown()), kGreen));
  EXPECT_EQ(slot0_->PictureWidth(), 80);
  EXPECT_EQ(slot0_->Shown().size(), (image::Size{200, 150}));
  // Taken: the next Render of the same name decodes it.
  Show(*slot1_, name);
  EXPECT_TRUE(Near(Centre(slot1_->Shown()), kRed));
  EXPECT_EQ(attempts_, 1);
}

// Only the last of several orders told before the message loop is back goes out.
TEST_F(NextPicturesTest, OnlyTheLatestOrderGoesOut) {
  const std::string a = Write("a.png", Plain(GUID_ContainerFormatPng, 8, 6, kRed));
  const std::string b = Write("b.png", Plain(GUID_ContainerFormatPng, 8, 6, kBlue));
  next_->Expect({{a}, 0, TurnWhen::kNever});
  Expect({b});
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(attempts_, 1);
  Show(*slot0_, a);
  EXPECT_TRUE(Near(Centre(slot0_->Shown()), kRed));
  Show(*slot0_, b);
  EXPECT_TRUE(Near(Centre(slot0_->Shown()), kGreen));
}

// Each change after the picture was prepared makes Render read the file afresh.
TEST_F(NextPicturesTest, NotUsedWhenFileSlotOrRotationChanged) {
  const std::string red = Plain(GUID_ContainerFormatBmp, 60, 80, kRed);
  const std::string blue = Plain(GUID_ContainerFormatBmp, 60, 80, kBlue);
  ASSERT_EQ(red.size(), blue.size());
  const struct {
    const char* what;
    TurnWhen prepared_turn;
    std::function<void(const std::string& name)> change;
    std::uint32_t shown;
  } rows[] = {
      {"content rewritten, same size, saved a second later", TurnWhen::kNever,
       [&](const std::string& name) {
         Write("p.bmp", blue);
         const HANDLE file =
             CreateFileW(Widen(name).c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
         FILETIME written{};
         GetFileTime(file, nullptr, nullptr, &written);
         ULARGE_INTEGER t{};
         t.LowPart = written.dwLowDateTime;
         t.HighPart = written.dwHighDateTime;
         t.QuadPart += 10'000'000;
         written = {t.LowPart, t.HighPart};
         SetFileTime(file, nullptr, nullptr, &written);
         CloseHandle(file);
       },
       kBlue},
      {"another file renamed over it", TurnWhen::kNever,
       [&](const std::string& name) {
         const std::string other = Write("q.bmp", blue);
         ASSERT_TRUE(
             MoveFileExW(Widen(other).c_str(), Widen(name).c_str(), MOVEFILE_REPLACE_EXISTING));
       },
       kBlue},
      {"slot resized", TurnWhen::kNever, [&](const std::string&) { Size(*slot0_, 300, 150); },
       kRed},
      {"rotation switched on", TurnWhen::kNever,
       [&](const std::string& name) {
         next_->Expect({{name}, 0, TurnWhen::kPortrait});
       },
       kRed},
      {"rotation switched off", TurnWhen::kPortrait,
       [&](const std::string& name) {
         next_->Expect({{name}, 0, TurnWhen::kNever});
       },
       kRed},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Size(*slot0_, 200, 150);
    Tell({});
    const std::string name = Write("p.bmp", red);
    Expect({name}, row.prepared_turn);
    row.change(name);
    Show(*slot0_, name);
    EXPECT_TRUE(Near(Centre(slot0_->Shown()), row.shown)) << std::hex << Centre(slot0_->Shown());
    EXPECT_EQ(slot0_->PictureWidth(), 60);
  }
}

// Paints the top-left eighth of `pixels` green: a mark that tells a prepared picture from
// the slot's own and leaves the rest to compare.
void MarkCorner(image::Pixels& pixels) {
  for (int y = 0; y < std::max(1, pixels.height / 8); ++y) {
    for (int x = 0; x < std::max(1, pixels.width / 8); ++x) {
      pixels.argb[static_cast<std::size_t>(y) * pixels.width + x] = kGreen;
    }
  }
}

// A picture prepared turned is the one the quarter turn asks for and matches what the slot
// makes by itself; without the turn the slot shows it upright.
TEST_F(NextPicturesTest, PreparedTurnedMatchesRenderAndTurn) {
  // Larger than the slot, so that the slot's own turn decodes afresh for the turned box.
  const auto two_tone = [](int, int y) { return y < 150 ? kRed : kBlue; };
  const std::string name =
      Write("tall.png", test::Encode(GUID_ContainerFormatPng, 150, 300, two_tone));
  Win32Rastrel alone(parent_);
  Size(alone, 200, 150);
  Show(alone, name);
  const Bitmap upright = alone.Shown();
  alone.Turn(900);
  const Bitmap turned = alone.Shown();

  std::atomic<int> made{0};
  NextPictures marked(Win32Host(), BoxOf(), [&](const image::Order& order) {
    auto prepared = image::PrepareAhead(order, Win32Host());
    MarkCorner(prepared.picture.image);
    MarkCorner(prepared.picture.source);
    ++made;
    return prepared;
  });
  for (auto* slot : {slot0_.get(), slot1_.get()}) slot->Ahead(&marked);
  const auto prepare = [&] {
    const int before = made;
    marked.Expect({{}, 0, TurnWhen::kPortrait});
    PumpUntil([] { return false; }, 20);
    marked.Expect({{name}, 0, TurnWhen::kPortrait});
    ASSERT_TRUE(PumpUntil([&] { return made > before; }, 5000));
  };
  prepare();
  Show(*slot0_, name);
  EXPECT_EQ(slot0_->PictureWidth(), 150);  // upright until turned
  slot0_->Turn(900);
  EXPECT_EQ(slot0_->PictureWidth(), 300);
  const Bitmap shown = slot0_->Shown();
  ASSERT_EQ(shown.size(), turned.size());
  int marks = 0, differences = 0;
  for (int y = 0; y < shown.height; ++y) {
    for (int x = 0; x < shown.width; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * shown.width + x;
      if (x < shown.width / 8 && y < shown.height / 8) {
        marks += shown.pixels[i] == kGreen ? 1 : 0;
      } else {
        differences += shown.pixels[i] != turned.pixels[i] ? 1 : 0;
      }
    }
  }
  EXPECT_EQ(marks, (shown.width / 8) * (shown.height / 8)) << "the prepared picture, as it is";
  EXPECT_EQ(differences, 0);

  // The upright picture is made from what was prepared: its corner is marked too.
  const auto marked_upright = [](const Bitmap& bitmap) {
    return !bitmap.empty() &&
           Near(bitmap.pixels[static_cast<std::size_t>(bitmap.height / 32) * bitmap.width +
                              bitmap.width / 32],
                kGreen);
  };
  prepare();
  Show(*slot0_, name);
  SendMessageW(slot0_->Handle(), WM_PAINT, 0, 0);  // painted unturned: shown upright
  EXPECT_EQ(slot0_->Shown().size(), upright.size());
  EXPECT_TRUE(marked_upright(slot0_->Shown()));

  prepare();
  Show(*slot1_, name);
  slot1_->Visible(true);  // rotation did not turn it after all
  EXPECT_EQ(slot1_->PictureWidth(), 150);
  ASSERT_EQ(slot1_->Shown().size(), upright.size());
  EXPECT_TRUE(marked_upright(slot1_->Shown()));
  for (const int y : {10, 40, 110, 140}) {
    EXPECT_TRUE(Near(slot1_->Shown().pixels[static_cast<std::size_t>(y) * upright.width + 30],
                     upright.pixels[static_cast<std::size_t>(y) * upright.width + 30]))
        << y;
  }
}

// A name that fails ahead is not kept: at its Render it is read again, and fails or shows
// as the file then is.
TEST_F(NextPicturesTest, FailuresAreNotKept) {
  const std::string name = Write("bad.png", "\x89PNG\r\n\x1a\n not really");
  next_->Expect({{name}, 0, TurnWhen::kNever});
  PumpUntil([&] { return attempts_ >= 1; }, 5000);
  PumpUntil([] { return false; }, 50);
  EXPECT_EQ(prepared_, 0);
  EXPECT_THROW(Show(*slot0_, name), Error);
  Write("bad.png", Plain(GUID_ContainerFormatPng, 8, 6, kRed));
  Show(*slot0_, name);
  EXPECT_TRUE(Near(Centre(slot0_->Shown()), kRed));
  EXPECT_EQ(attempts_, 1);
}

// A Render whose picture is being decoded at that moment waits for it instead of decoding
// it a second time.
TEST_F(NextPicturesTest, RenderWaitsForThePictureBeingPrepared) {
  const std::string name = Write("slow.png", Plain(GUID_ContainerFormatPng, 80, 60, kRed));
  std::atomic<bool> started{false};
  hold_ = [&] {
    started = true;
    Sleep(300);
  };
  next_->Expect({{name}, 0, TurnWhen::kNever});
  ASSERT_TRUE(PumpUntil([&] { return started.load(); }, 5000));
  Show(*slot0_, name);
  EXPECT_TRUE(Near(Centre(slot0_->Shown()), kGreen));
  EXPECT_EQ(attempts_, 1);
}

// Two files of the same bytes and time are told apart; the same file reopened is the same,
// and a write while it is open shows.
TEST_F(NextPicturesTest, FileIdentityTellsFilesAndWritesApart) {
  const std::string a = Write("a.bin", "same bytes");
  const std::string b = Write("b.bin", "same bytes");
  const FILETIME noon{0x2a3b4c00, 0x01d9a000};
  SetLastWrite(a, noon);
  SetLastWrite(b, noon);
  const RegularFile first(a);
  ASSERT_TRUE(first.is_open());
  EXPECT_EQ(first.identity_at_open().size, 10);
  EXPECT_EQ(RegularFile(a).identity_at_open(), first.identity_at_open());
  EXPECT_NE(RegularFile(b).identity_at_open(), first.identity_at_open());
  EXPECT_EQ(first.IdentityNow(), first.identity_at_open());
  SetLastWrite(a, {noon.dwLowDateTime + 1, noon.dwHighDateTime});  // 100 ns later
  EXPECT_NE(first.IdentityNow(), first.identity_at_open());
  EXPECT_NE(RegularFile(a).identity_at_open(), first.identity_at_open());
}

// The show's timer holds a tick back while its picture is being decoded and gives it once
// the picture is ready; with nothing under way, or preparing switched off, at once.
TEST_F(NextPicturesTest, AHeldTickIsGivenWhenThePictureIsReady) {
  const std::string name = Write("held.png", Plain(GUID_ContainerFormatPng, 80, 60, kRed));
  std::atomic<bool> started{false}, release{false};
  hold_ = [&] {
    started = true;
    while (!release) Sleep(1);
  };
  int resumed = 0;
  const auto resume = [&] { ++resumed; };
  EXPECT_FALSE(next_->HoldTick(resume)) << "nothing under way";
  for (const bool switched_off : {false, true}) {
    SCOPED_TRACE(switched_off ? "preparing switched off" : "decode ends");
    started = release = false;
    resumed = 0;
    next_->Enabled(true);
    Tell({});
    next_->Expect({{name}, 0, TurnWhen::kNever});
    ASSERT_TRUE(PumpUntil([&] { return started.load(); }, 5000));
    ASSERT_TRUE(next_->HoldTick(resume));
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(resumed, 0);
    if (switched_off) {
      next_->Enabled(false);  // given at once, the decode still running
    } else {
      release = true;
    }
    EXPECT_TRUE(PumpUntil([&] { return resumed > 0; }, 5000));
    EXPECT_EQ(resumed, 1);
    release = true;
  }
  for (auto* slot : {slot0_.get(), slot1_.get()}) slot->Ahead(nullptr);
  next_.reset();  // its workers stop before what they use goes
}

TEST_F(NextPicturesTest, AHiddenSlotLetsGoOfItsPicture) {
  const std::string name = Write("p.png", Plain(GUID_ContainerFormatPng, 80, 60, kRed));
  Expect({name}, TurnWhen::kLandscape);
  Show(*slot0_, name);  // kept turned, for a turn that never comes
  slot0_->Visible(false);
  EXPECT_EQ(slot0_->PictureWidth(), 0);
  EXPECT_TRUE(slot0_->Shown().empty());
  slot0_->Visible(true);
  slot0_->Refit(0);
  slot0_->Turn(900);
  EXPECT_TRUE(slot0_->Shown().empty());

  // Not hidden, the same turn takes the picture kept for it.
  Expect({name}, TurnWhen::kLandscape);
  Show(*slot0_, name);
  slot0_->Turn(900);
  EXPECT_EQ(slot0_->PictureWidth(), 60);
  EXPECT_TRUE(Near(Centre(slot0_->Shown()), kGreen));
}

// At a short interval the tick is due before the message loop is back to send the order:
// the tick sends it first and waits for the picture, rather than decoding it itself while
// the workers stay idle.
TEST_F(NextPicturesTest, ATickDueBeforeTheOrderSendsItFirst) {
  const std::string name = Write("p.png", Plain(GUID_ContainerFormatPng, 80, 60, kRed));
  std::atomic<bool> release{false};
  hold_ = [&] {
    while (!release) Sleep(1);
  };
  next_->Expect({{name}, 0, TurnWhen::kNever});  // the message loop has not run since
  int resumed = 0;
  ASSERT_TRUE(next_->HoldTick([&] { ++resumed; })) << "the order went out with the tick";
  release = true;
  EXPECT_TRUE(PumpUntil([&] { return resumed > 0; }, 5000));
  EXPECT_EQ(resumed, 1);
  Show(*slot0_, name);
  EXPECT_TRUE(Near(Centre(slot0_->Shown()), kGreen));
  EXPECT_EQ(attempts_, 1);
  for (auto* slot : {slot0_.get(), slot1_.get()}) slot->Ahead(nullptr);
  next_.reset();  // its workers stop before what they use goes
}

// A tick is never held for a name no worker will bring: the empty name (passed over in its
// own tick), even while the kept pictures fill the bound, nor a name that failed.
TEST_F(NextPicturesTest, NoTickIsHeldForWhatNoWorkerBrings) {
  const std::string a = Write("a.png", Plain(GUID_ContainerFormatPng, 8, 6, kRed));
  const std::string b = Write("b.png", Plain(GUID_ContainerFormatPng, 8, 6, kRed));
  const std::string c = Write("c.png", Plain(GUID_ContainerFormatPng, 8, 6, kRed));
  const std::string bad = Write("bad.png", "\x89PNG\r\n\x1a\n not really");
  int resumed = 0;
  const auto resume = [&] { ++resumed; };
  std::atomic<bool> started{false}, release{false};
  {
    SCOPED_TRACE("the empty name");
    Expect({a, b, c}, TurnWhen::kNever, 3);  // three kept: no room for more
    next_->Expect({{"", a, b, c}, 0, TurnWhen::kNever});
    EXPECT_FALSE(next_->HoldTick(resume));
    Tell({"", a, b, c});
    EXPECT_FALSE(next_->HoldTick(resume));
    EXPECT_EQ(attempts_, 3) << "no worker took the empty name";
    EXPECT_EQ(resumed, 0);
    Show(*slot0_, a);  // what was kept is kept still
    EXPECT_TRUE(Near(Centre(slot0_->Shown()), kGreen));
  }
  {
    SCOPED_TRACE("a name that failed");
    hold_ = [&] {
      started = true;
      while (!release) Sleep(1);
    };
    Tell({});
    next_->Expect({{bad}, 0, TurnWhen::kNever});
    ASSERT_TRUE(PumpUntil([&] { return started.load(); }, 5000));
    ASSERT_TRUE(next_->HoldTick(resume)) << "not known to fail until it has";
    release = true;
    EXPECT_TRUE(PumpUntil([&] { return resumed > 0; }, 5000));
    EXPECT_EQ(resumed, 1);
    EXPECT_FALSE(next_->HoldTick(resume)) << "failed: the tick decodes it on the spot";
    EXPECT_EQ(resumed, 1);
    EXPECT_THROW(Show(*slot0_, bad), Error);
  }
  for (auto* slot : {slot0_.get(), slot1_.get()}) slot->Ahead(nullptr);
  next_.reset();  // its workers stop before what they use goes
}

}  // namespace
}  // namespace mirvane::platform::win32
