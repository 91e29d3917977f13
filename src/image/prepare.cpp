#include "image/prepare.h"

#include <new>
#include <optional>
#include <utility>

#include "image/error.h"
#include "image/exif.h"
#include "image/finish.h"
#include "image/format.h"
#include "image/read_picture.h"

namespace mirvane::image {
namespace {

// Errors of the decode named after the file; ReadPicture's are already.
template <typename F>
auto Named(const std::string& name, F&& f) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    throw Error(name + ": out of memory");
  } catch (const Error& e) {
    throw Error(name + ": " + e.what());
  }
}

// The picture's upright size as its header tells it, when it does without decoding.
std::optional<Size> UprightSize(std::string_view bytes, std::string_view name) {
  const Format format = Sniff(bytes.substr(0, kHeadBytes), name);
  const std::optional<Size> stored = HeaderSize(format, bytes.substr(0, kHeadBytes));
  if (!stored) return std::nullopt;
  int orientation = 1;
  if (format == Format::kJpeg) orientation = ExifOrientation(bytes.substr(0, kHeadBytes));
  if (format == Format::kPng || format == Format::kWebp)
    orientation = ExifOrientation(FindExif(bytes, format));
  return Turned(*stored, orientation >= 5 && orientation <= 8 ? 1 : 0);
}

}  // namespace

Supplied DecodeNow(const std::string& name, Size box, const Host& host) {
  std::string bytes = ReadPicture(name, host);
  return Named(name, [&] { return Supplied{Decode(bytes, box, 0, name, host.extras), 0}; });
}

Prepared<Decoded> PrepareAhead(const Order& order, const Host& host) {
  const std::unique_ptr<SourceFile> file = host.open(order.name);
  const std::string bytes = ReadPicture(*file, order.name, host);
  return Named(order.name, [&] {
    int turns = 0;
    if (order.turn != TurnWhen::kNever) {
      if (const auto upright = UprightSize(bytes, order.name)) turns = TurnsFor(order.turn, *upright);
    }
    Decoded decoded = Decode(bytes, order.box, turns, order.name, host.extras);
    const int needed = TurnsFor(order.turn, decoded.full);
    if (needed != turns) {  // the header did not tell
      turns = needed;
      if (decoded.frames.empty() && !decoded.scalable) {  // made from the source, as a Turn would
        decoded.image = Refitted(decoded.source, decoded.full, order.box, turns);
      } else {
        decoded = Decode(bytes, order.box, turns, order.name, host.extras);
      }
    }
    if (file->IdentityNow() != file->identity_at_open()) throw Error("changed while read");
    const Size full = decoded.full;
    return Prepared<Decoded>{file->identity_at_open(), full, turns, std::move(decoded)};
  });
}

}  // namespace mirvane::image
