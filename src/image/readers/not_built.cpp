// The readers whose codec libraries are not yet built for this platform: such files are
// refused here, and the system's own codecs (Host::extras.system) may still read them.
#include "image/error.h"
#include "image/readers/avif.h"
#include "image/readers/heif.h"
#include "image/readers/jxl.h"
#include "image/readers/raw.h"

namespace mirvane::image {

Pixels DecodeHeif(std::string_view, std::string*) { throw Error("HEIF: no reader built in"); }

bool DecodeAvifSequence(std::string_view, const FrameSink&, FramesInfo*) {
  throw Error("AVIF: no reader built in");
}

void DecodeJxl(std::string_view, const FrameSink&, FramesInfo*) {
  throw Error("JPEG XL: no reader built in");
}

RawPicture DecodeRaw(std::string_view, Size) { throw Error("camera raw: no reader built in"); }

}  // namespace mirvane::image
