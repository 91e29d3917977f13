#include "image/decode.h"

#include <new>
#include <utility>

#include "image/error.h"
#include "image/finish.h"
#include "image/format.h"
#include "image/frame_collector.h"
#include "image/readers/avif.h"
#include "image/readers/bmp.h"
#include "image/readers/gif.h"
#include "image/readers/heif.h"
#include "image/readers/jpeg.h"
#include "image/readers/jxl.h"
#include "image/readers/pcx.h"
#include "image/readers/png.h"
#include "image/readers/pnm.h"
#include "image/readers/raw.h"
#include "image/readers/tga.h"
#include "image/readers/tiff.h"
#include "image/readers/webp.h"

namespace mirvane::image {
namespace {

Picture Whole(Pixels pixels) {
  Picture picture;
  picture.full = {pixels.width, pixels.height};
  picture.pixels = std::move(pixels);
  return picture;
}

// The clockwise quarter turns that bring a camera's picture upright, as an orientation.
int OrientationOf(int quarter_turns) {
  constexpr int kOrientations[] = {1, 6, 3, 8};
  return kOrientations[((quarter_turns % 4) + 4) % 4];
}

Picture ReadCameraRaw(std::string_view bytes, Size box) {
  RawPicture raw = DecodeRaw(bytes, box);
  Picture picture;
  if (!raw.jpeg.empty()) {
    // The preview's own orientation tag, if any, is the camera's business: the raw file's
    // turn is applied instead.
    picture = ReadJpeg(raw.jpeg, box);
  } else {
    picture.pixels = std::move(raw.pixels);
  }
  picture.orientation = OrientationOf(raw.quarter_turns);
  picture.full = raw.full;
  return picture;
}

Decoded Animated(Size box, int quarter_turns,
                 const std::function<void(const FrameSink&, FramesInfo*, int*)>& read) {
  FrameCollector frames(box, quarter_turns);
  FramesInfo info;
  int orientation = 1;
  read(frames.Sink(), &info, &orientation);
  return std::move(frames).Finish(info.loops, info.icc, orientation);
}

Decoded Read(std::string_view bytes, Format format, Size box, int quarter_turns,
             const Extras& extras) {
  const auto finish = [&](Picture picture) {
    return Finish(std::move(picture), box, quarter_turns);
  };
  switch (format) {
    case Format::kJpeg:
      return finish(ReadJpeg(bytes, box));
    case Format::kPng: {
      FrameCollector frames(box, quarter_turns);
      FramesInfo info;
      if (ReadApng(bytes, frames.Sink(), &info))
        return std::move(frames).Finish(info.loops, info.icc);
      return finish(ReadPng(bytes, box, Turned(box, quarter_turns)));
    }
    case Format::kGif:
      return Animated(box, quarter_turns, [&](const FrameSink& sink, FramesInfo* info, int*) {
        ReadGif(bytes, sink, info);
      });
    case Format::kWebp:
      return Animated(box, quarter_turns,
                      [&](const FrameSink& sink, FramesInfo* info, int* orientation) {
                        ReadWebp(bytes, sink, info, orientation);
                      });
    case Format::kTiff:
      return finish(ReadTiff(bytes));
    case Format::kBmp:
      return finish(ReadBmp(bytes));
    case Format::kIco:
      return finish(ReadIco(bytes));
    case Format::kPcx:
      return finish(Whole(DecodePcx(bytes)));
    case Format::kPnm:
      return finish(Whole(ReadPnm(bytes)));
    case Format::kTga:
      return finish(ReadTga(bytes));
    case Format::kHeif: {
      Picture picture;
      picture.pixels = DecodeHeif(bytes, &picture.icc);
      picture.full = {picture.pixels.width, picture.pixels.height};
      return finish(std::move(picture));
    }
    case Format::kAvif: {
      FrameCollector frames(box, quarter_turns);
      FramesInfo info;
      if (DecodeAvifSequence(bytes, frames.Sink(), &info))
        return std::move(frames).Finish(info.loops, info.icc);
      return Read(bytes, Format::kHeif, box, quarter_turns, extras);
    }
    case Format::kJxl:
      return Animated(box, quarter_turns, [&](const FrameSink& sink, FramesInfo* info, int*) {
        DecodeJxl(bytes, sink, info);
      });
    case Format::kRaw:
      try {
        return finish(ReadCameraRaw(bytes, box));
      } catch (const Error&) {
        // A TIFF that only looked like a camera's: libtiff may read it.
        if (bytes.substr(0, 3) != "II*" && bytes.substr(0, 4) != std::string_view("MM\0*", 4))
          throw;
        return finish(ReadTiff(bytes));
      }
    case Format::kSvg: {
      if (!extras.svg) break;
      Decoded decoded = finish(extras.svg(bytes, Turned(box, quarter_turns)));
      decoded.scalable = true;
      return decoded;
    }
    case Format::kUnknown:
      break;
  }
  if (extras.system) return finish(extras.system(bytes, box));
  throw Error("not a picture Mirvane can read");
}

// The formats a platform may read with the system's codecs where ours are not built.
bool SystemMayRead(Format format) {
  return format == Format::kHeif || format == Format::kAvif || format == Format::kJxl ||
         format == Format::kRaw || format == Format::kSvg;
}

}  // namespace

Decoded Decode(std::string_view bytes, Size box, int quarter_turns, std::string_view name,
               const Extras& extras) {
  const Format format = Sniff(bytes, name);
  try {
    return Read(bytes, format, box, quarter_turns, extras);
  } catch (const std::bad_alloc&) {
    throw Error("out of memory");
  } catch (const Error&) {
    if (!extras.system || !SystemMayRead(format)) throw;
  }
  try {
    return Finish(extras.system(bytes, box), box, quarter_turns);
  } catch (const std::bad_alloc&) {
    throw Error("out of memory");
  }
}

}  // namespace mirvane::image
