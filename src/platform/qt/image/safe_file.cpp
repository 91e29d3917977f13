#include "platform/qt/image/safe_file.h"

#include "image/budget.h"
#include "platform/error.h"
#include "platform/posix/regular_file.h"

namespace mirvane::platform::qt::image {

QByteArray ReadRegularFile(const std::string& name) {
  posix::RegularFile file(name);
  if (!file.is_open()) throw Error(name + ": " + file.error());
  if (file.size() <= 0) throw Error(name + ": empty file");
  if (file.size() > mirvane::image::kMaxFileBytes) throw Error(name + ": file too large");
  QByteArray bytes(static_cast<qsizetype>(file.size()), Qt::Uninitialized);
  const std::int64_t got = file.ReadInto(bytes.data(), static_cast<std::size_t>(bytes.size()));
  if (got < 0) throw Error(name + ": read error");
  if (got == 0) throw Error(name + ": empty file");
  bytes.truncate(static_cast<qsizetype>(got));  // shrank while we read: decode what is there
  return bytes;
}

}  // namespace mirvane::platform::qt::image
