#include "image/read_picture.h"

#include <algorithm>

#include "image/budget.h"
#include "image/error.h"
#include "image/format.h"
#include "image/head_check.h"

namespace mirvane::image {

std::string ReadPicture(SourceFile& file, const std::string& name, const Host& host) {
  const std::int64_t size = file.size();
  if (size <= 0) throw Error(name + ": empty file");
  if (size > kMaxFileBytes) throw Error(name + ": file too large");
  std::string bytes;
  bytes.resize(std::size_t(std::min<std::int64_t>(size, std::int64_t(kHeadBytes))));
  const std::int64_t head = file.ReadInto(bytes.data(), bytes.size());
  if (head < 0) throw Error(name + ": read error");
  bytes.resize(std::size_t(head));
  try {
    if (CheckHead(bytes, size, name) == Format::kUnknown &&
        !(host.system_reads && host.system_reads(bytes, file)))
      throw Error("not a picture");
  } catch (const Error& e) {
    throw Error(name + ": " + e.what());
  }
  if (head == std::int64_t(kHeadBytes) && head < size) {
    bytes.resize(std::size_t(size));
    const std::int64_t rest = file.ReadInto(bytes.data() + head, std::size_t(size - head));
    if (rest < 0) throw Error(name + ": read error");
    bytes.resize(std::size_t(head + rest));  // shrank while read: decode what is there
  }
  return bytes;
}

std::string ReadPicture(const std::string& name, const Host& host) {
  const std::unique_ptr<SourceFile> file = host.open(name);
  return ReadPicture(*file, name, host);
}

}  // namespace mirvane::image
