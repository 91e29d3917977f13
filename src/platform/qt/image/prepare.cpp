#include <QBuffer>
#include <QImageReader>
#include <new>

#include "platform/error.h"
#include "platform/posix/regular_file.h"
#include "platform/qt/image/decode.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/qt_next_pictures.h"
#include "platform/qt/image/safe_file.h"

namespace mirvane::platform::qt::image {
namespace {

using mirvane::image::QuarterTurns;

template <typename F>
auto Guarded(const std::string& name, F&& f) {
  try {
    return f();
  } catch (const Error&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw Error(name + ": out of memory");
  } catch (const std::exception& e) {
    throw Error(name + ": " + e.what());
  }
}

// The picture's upright size from its header, when Qt can tell it without decoding.
std::optional<QSize> UprightSize(const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);  // shares, does not copy
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setAutoTransform(true);
  const QSize raw = reader.size();
  if (!raw.isValid()) return std::nullopt;
  return reader.transformation() & QImageIOHandler::TransformationRotate90 ? raw.transposed() : raw;
}

}  // namespace

Supplied DecodeNow(const std::string& name, QSize box) {
  return Guarded(name, [&] { return Supplied{Decode(ReadRegularFile(name), box, 0, name), 0}; });
}

mirvane::image::Prepared<Decoded> PrepareAhead(const mirvane::image::Order& order) {
  return Guarded(order.name, [&] {
    posix::RegularFile file(order.name);
    if (!file.is_open()) throw Error(order.name + ": " + file.error());
    const QByteArray bytes = ReadPicture(file, order.name);
    const QSize box = ToQSize(order.box);
    int turns = 0;
    if (order.turn != TurnWhen::kNever) {
      if (const auto upright = UprightSize(bytes)) {
        turns = QuarterTurns(order.turn, ToSize(*upright));
      }
    }
    Decoded decoded = Decode(bytes, box, turns, order.name);
    const int needed = QuarterTurns(order.turn, ToSize(decoded.full));
    if (needed != turns) {  // the header did not tell
      turns = needed;
      if (decoded.frames.empty() && !decoded.scalable) {  // made from the source, as a Turn would
        decoded.image = Refitted(decoded.source, decoded.full, box, turns);
        if (decoded.image.isNull()) throw std::bad_alloc();
      } else {
        decoded = Decode(bytes, box, turns, order.name);
      }
    }
    if (file.Identity() != file.identity()) throw Error(order.name + ": changed while read");
    const QSize full = decoded.full;
    return mirvane::image::Prepared<Decoded>{file.identity(), ToSize(full), turns,
                                             std::move(decoded)};
  });
}

}  // namespace mirvane::platform::qt::image
