// The readers whose codec libraries are not yet built for this platform: such files are
// refused here, and the system's own codecs (Host::extras.system) may still read them.
#include "image/error.h"
#include "image/readers/avif.h"

namespace mirvane::image {

bool DecodeAvifSequence(std::string_view, const FrameSink&, FramesInfo*) {
  throw Error("AVIF: no reader built in");
}

}  // namespace mirvane::image
