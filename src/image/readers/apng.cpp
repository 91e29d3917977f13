// Animated PNG: acTL announces the animation; each frame is an fcTL followed by its
// data, in IDAT chunks for the first frame (when the default image is part of the
// animation) or fdAT chunks, which are IDAT with a sequence number in front.
#include "image/readers/apng.h"

#include <zlib.h>

#include <array>
#include <cstdint>

#include "image/budget.h"
#include "image/frames.h"
#include "image/error.h"

namespace mirvane::image {
namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);

std::uint32_t Be32(std::string_view b, std::size_t at) {
  const auto u = [&](std::size_t i) {
    return std::uint32_t(static_cast<unsigned char>(b[at + i]));
  };
  return u(0) << 24 | u(1) << 16 | u(2) << 8 | u(3);
}

unsigned Be16(std::string_view b, std::size_t at) {
  return static_cast<unsigned char>(b[at]) << 8 | static_cast<unsigned char>(b[at + 1]);
}

void PutBe32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}

void PutChunk(std::string& out, std::string_view type, std::string_view data) {
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.append(type);
  out.append(data);
  const auto* p = reinterpret_cast<const Bytef*>(out.data() + start);
  PutBe32(out, static_cast<std::uint32_t>(crc32(0, p, static_cast<uInt>(out.size() - start))));
}

[[noreturn]] void Fail(const char* what) { throw Error(std::string("APNG: ") + what); }

bool Shared(std::string_view type) {
  static constexpr std::array<std::string_view, 8> kShared = {"PLTE", "tRNS", "gAMA", "cHRM",
                                                              "sRGB", "iCCP", "sBIT", "cICP"};
  for (std::string_view s : kShared)
    if (s == type) return true;
  return false;
}

struct Pending {
  ApngFrame frame;
  std::string data;  // the frame's compressed image data, all its chunks joined
};

}  // namespace

std::optional<Apng> SplitApng(std::string_view b) {
  if (b.substr(0, 8) != kSignature) return std::nullopt;
  Apng apng;
  std::string ihdr, shared;
  bool animated = false, seen_idat = false;
  std::optional<Pending> current;
  std::vector<Pending> frames;
  const auto close_frame = [&] {
    if (current && !current->data.empty()) frames.push_back(std::move(*current));
    current.reset();
  };
  for (std::size_t at = 8; at + 12 <= b.size();) {
    const std::uint32_t length = Be32(b, at);
    if (length > b.size() - at - 12) Fail("chunk runs past the end");
    const std::string_view type = b.substr(at + 4, 4), data = b.substr(at + 8, length);
    at += 12 + length;
    if (type == "IHDR") {
      if (length != 13) Fail("bad header");
      ihdr = data;
      apng.width = int(Be32(data, 0) & 0x7fffffff);
      apng.height = int(Be32(data, 4) & 0x7fffffff);
      if (!WithinBudget(apng.width, apng.height)) Fail("picture too large");
    } else if (type == "acTL" && length == 8 && !seen_idat) {
      animated = true;
      apng.loops = LoopsFromPlays(Be32(data, 4));
    } else if (type == "fcTL" && animated) {
      if (length != 26 || ihdr.empty()) Fail("bad frame control");
      close_frame();
      if (frames.size() >= std::size_t(kMaxFrames)) break;
      ApngFrame f;
      f.width = int(Be32(data, 4) & 0x7fffffff);
      f.height = int(Be32(data, 8) & 0x7fffffff);
      f.x = int(Be32(data, 12) & 0x7fffffff);
      f.y = int(Be32(data, 16) & 0x7fffffff);
      if (f.width == 0 || f.height == 0 || f.x > apng.width - f.width ||
          f.y > apng.height - f.height)
        Fail("frame outside the canvas");
      const unsigned num = Be16(data, 20), den = Be16(data, 22);
      f.delay_ms = int(num * 1000u / (den ? den : 100));
      const unsigned dispose = static_cast<unsigned char>(data[24]);
      f.dispose = dispose == 2   ? ApngFrame::kPrevious
                  : dispose == 1 ? ApngFrame::kBackground
                                 : ApngFrame::kNone;
      if (frames.empty() && f.dispose == ApngFrame::kPrevious) f.dispose = ApngFrame::kBackground;
      f.blend = data[25] == 1;
      current = Pending{f, {}};
    } else if (type == "IDAT") {
      if (!animated) return std::nullopt;  // a plain PNG: no need to read on
      seen_idat = true;
      if (current && frames.empty()) current->data.append(data);
    } else if (type == "fdAT") {
      if (current && length > 4 && seen_idat) current->data.append(data.substr(4));
    } else if (type == "IEND") {
      break;
    } else if (!seen_idat && Shared(type)) {
      PutChunk(shared, type, data);
    }
  }
  close_frame();
  if (!animated || frames.size() < 2) return std::nullopt;

  for (Pending& p : frames) {
    std::string header;  // the canvas's header with the frame's size
    PutBe32(header, std::uint32_t(p.frame.width));
    PutBe32(header, std::uint32_t(p.frame.height));
    header.append(ihdr, 8, 5);
    std::string& png = p.frame.png;
    png.reserve(p.data.size() + shared.size() + 64);
    png.append(kSignature);
    PutChunk(png, "IHDR", header);
    png.append(shared);
    PutChunk(png, "IDAT", p.data);
    PutChunk(png, "IEND", {});
    std::string().swap(p.data);
    apng.frames.push_back(std::move(p.frame));
  }
  return apng;
}

}  // namespace mirvane::image
