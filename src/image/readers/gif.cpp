#include "image/readers/gif.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "image/budget.h"
#include "image/error.h"

namespace mirvane::image {
namespace {

struct Input {
  std::string_view bytes;
  std::size_t at = 0;
};

int ReadInput(GifFileType* gif, GifByteType* out, int n) {
  auto* in = static_cast<Input*>(gif->UserData);
  const std::size_t count = std::min(std::size_t(std::max(n, 0)), in->bytes.size() - in->at);
  std::memcpy(out, in->bytes.data() + in->at, count);
  in->at += count;
  return static_cast<int>(count);
}

struct Close {
  void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};

// Where a frame lands on the canvas, already clipped to it; x1, y1 exclusive.
struct Area {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

// Row of the n-th line an interlaced frame of `height` rows stores.
int InterlacedRow(int n, int height) {
  static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    const int count =
        height > kStart[pass] ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
    if (n < count) return kStart[pass] + n * kStep[pass];
    n -= count;
  }
  return -1;
}

class GifReader {
 public:
  GifReader(std::string_view bytes, const FrameSink& sink, FramesInfo* info)
      : input_{bytes}, sink_(sink), info_(info) {}

  void Read() {
    int error = 0;
    gif_.reset(DGifOpen(&input_, ReadInput, &error));
    if (!gif_) {
      const char* why = GifErrorString(error);
      throw Error(std::string("GIF: ") + (why ? why : "cannot open"));
    }
    info_->loops = 0;
    info_->icc.clear();
    for (bool more = true; more;) {
      GifRecordType type = UNDEFINED_RECORD_TYPE;
      if (DGifGetRecordType(gif_.get(), &type) == GIF_ERROR) break;  // damaged tail
      if (type == EXTENSION_RECORD_TYPE)
        more = Extension();
      else if (type == IMAGE_DESC_RECORD_TYPE)
        more = Frame();
      else
        more = false;  // the trailer
    }
    if (frames_ == 0) throw Error("GIF: no picture could be drawn");
  }

 private:
  bool Extension() {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif_.get(), &code, &block) == GIF_ERROR) return false;
    bool looping = false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
      DGifExtensionToGCB(block[0], block + 1, &control_);
    } else if (code == APPLICATION_EXT_FUNC_CODE && block && block[0] == 11) {
      looping =
          !std::memcmp(block + 1, "NETSCAPE2.0", 11) || !std::memcmp(block + 1, "ANIMEXTS1.0", 11);
    }
    for (;;) {
      if (DGifGetExtensionNext(gif_.get(), &block) == GIF_ERROR) return false;
      if (!block) return true;
      if (looping && block[0] >= 3 && block[1] == 1) {
        // The file counts repeats after the first play; 0 repeats forever.
        const int repeats = block[2] | block[3] << 8;
        info_->loops = repeats == 0 ? -1 : repeats;
      }
    }
  }

  bool Frame() {
    if (DGifGetImageDesc(gif_.get()) == GIF_ERROR) return false;
    const GifImageDesc& desc = gif_->Image;
    const GraphicsControlBlock control = control_;
    control_ = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    const int width = std::max(desc.Width, 0), height = std::max(desc.Height, 0);
    // A frame over budget would take unbounded time to unpack whatever its screen.
    if (width && height && !WithinBudget(width, height)) return false;
    if (frames_ == 0) Screen(desc);
    const std::int64_t work = work_ + canvas_.argb.size() + std::int64_t(width) * height;
    if (frames_ > 0 && (frames_ >= kMaxFrames || work > kMaxAnimationWork)) return false;
    work_ = work;

    const Area area{std::max(desc.Left - origin_x_, 0), std::max(desc.Top - origin_y_, 0),
                    std::min(desc.Left - origin_x_ + width, canvas_.width),
                    std::min(desc.Top - origin_y_ + height, canvas_.height)};
    std::vector<std::uint32_t> before;
    if (control.DisposalMode == DISPOSE_PREVIOUS && !area.Empty()) before = Copy(area);

    bool intact = true;
    if (area.Empty()) {
      intact = Skip();
    } else {
      const std::array<std::uint32_t, 256> palette =
          PaletteOf(desc.ColorMap ? desc.ColorMap : gif_->SColorMap);
      std::vector<GifPixelType> line(std::size_t(width), 0);
      int drawn = 0;
      for (; drawn < height; ++drawn) {
        if (DGifGetLine(gif_.get(), line.data(), width) == GIF_ERROR) break;
        const int row =
            (desc.Interlace ? InterlacedRow(drawn, height) : drawn) + desc.Top - origin_y_;
        if (row < area.y0 || row >= area.y1) continue;
        std::uint32_t* out = &canvas_.argb[std::size_t(row) * canvas_.width];
        for (int x = area.x0; x < area.x1; ++x) {
          const GifPixelType index = line[std::size_t(x - desc.Left + origin_x_)];
          if (index != control.TransparentColor) out[x] = palette[index];
        }
      }
      intact = drawn == height;
      // Rows cut short still show, as in browsers; a frame with none is not a frame.
      if (drawn == 0) return false;
    }
    Pixels frame = canvas_;
    frame.has_alpha = std::any_of(frame.argb.begin(), frame.argb.end(),
                                  [](std::uint32_t p) { return p < 0xff000000u; });
    ++frames_;
    if (!sink_(std::move(frame), control.DelayTime * 10)) return false;

    if (control.DisposalMode == DISPOSE_BACKGROUND) Fill(area, {});
    if (control.DisposalMode == DISPOSE_PREVIOUS) Fill(area, before);
    return intact;
  }

  // The canvas for the first frame: the logical screen, grown to hold that frame when it
  // is larger than the screen as browsers do (a frame that merely sits past the edge is
  // clipped), else the frame alone when the screen is absurd.
  void Screen(const GifImageDesc& desc) {
    std::int64_t width = gif_->SWidth, height = gif_->SHeight;
    if (desc.Width > width || desc.Height > height) {
      width = std::max<std::int64_t>(width, std::int64_t(desc.Left) + desc.Width);
      height = std::max<std::int64_t>(height, std::int64_t(desc.Top) + desc.Height);
    }
    if (!WithinBudget(width, height)) {
      width = gif_->SWidth;
      height = gif_->SHeight;
    }
    if (!WithinBudget(width, height)) {
      width = desc.Width;
      height = desc.Height;
      origin_x_ = desc.Left;
      origin_y_ = desc.Top;
    }
    if (!WithinBudget(width, height)) throw Error("GIF: picture too large or empty");
    canvas_.width = int(width);
    canvas_.height = int(height);
    canvas_.argb.assign(std::size_t(width) * std::size_t(height), 0);
  }

  static std::array<std::uint32_t, 256> PaletteOf(const ColorMapObject* map) {
    std::array<std::uint32_t, 256> palette;
    // Indices past the table, or a file with no table at all, show black as in Firefox.
    palette.fill(0xff000000u);
    if (map && map->Colors) {
      const int count = std::clamp(map->ColorCount, 0, 256);
      for (int i = 0; i < count; ++i) {
        const GifColorType& c = map->Colors[i];
        palette[std::size_t(i)] =
            0xff000000u | std::uint32_t(c.Red) << 16 | std::uint32_t(c.Green) << 8 | c.Blue;
      }
    }
    return palette;
  }

  // Past the data of a frame that draws nothing.
  bool Skip() {
    int code_size = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif_.get(), &code_size, &block) == GIF_ERROR) return false;
    while (block)
      if (DGifGetCodeNext(gif_.get(), &block) == GIF_ERROR) return false;
    return true;
  }

  std::vector<std::uint32_t> Copy(const Area& a) const {
    std::vector<std::uint32_t> out;
    out.reserve(std::size_t(a.x1 - a.x0) * std::size_t(a.y1 - a.y0));
    for (int y = a.y0; y < a.y1; ++y) {
      const auto row = canvas_.argb.begin() + std::ptrdiff_t(y) * canvas_.width;
      out.insert(out.end(), row + a.x0, row + a.x1);
    }
    return out;
  }

  // `saved` as Copy gave it, or transparent when empty.
  void Fill(const Area& a, const std::vector<std::uint32_t>& saved) {
    if (a.Empty()) return;
    const std::size_t w = std::size_t(a.x1 - a.x0);
    for (int y = a.y0; y < a.y1; ++y) {
      std::uint32_t* row = &canvas_.argb[std::size_t(y) * canvas_.width + a.x0];
      if (saved.empty())
        std::fill_n(row, w, 0u);
      else
        std::copy_n(&saved[std::size_t(y - a.y0) * w], w, row);
    }
  }

  Input input_;
  const FrameSink& sink_;
  FramesInfo* info_;
  std::unique_ptr<GifFileType, Close> gif_;
  GraphicsControlBlock control_{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
  Pixels canvas_;
  int origin_x_ = 0, origin_y_ = 0;  // of the canvas in screen coordinates
  int frames_ = 0;
  std::int64_t work_ = 0;
};

}  // namespace

void ReadGif(std::string_view bytes, const FrameSink& sink, FramesInfo* info) {
  GifReader(bytes, sink, info).Read();
}

}  // namespace mirvane::image
