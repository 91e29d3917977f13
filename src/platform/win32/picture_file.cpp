#include "platform/win32/picture_file.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

#include "image/budget.h"
#include "image/format.h"
#include "image/head_check.h"
#include "image/error.h"
#include "platform/error.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/regular_file.h"

namespace mirvane::platform::win32 {
namespace {

// One identifying pattern a decoder registers: bytes under a mask at a place counted from
// the start of the file or from its end.
struct Pattern {
  std::uint64_t position = 0;
  bool from_end = false;
  std::string bytes, mask;
};

void AddPatternsOf(IWICBitmapDecoderInfo& info, std::vector<Pattern>& patterns) {
  UINT count = 0, size = 0;
  if (FAILED(info.GetPatterns(0, nullptr, &count, &size)) || count == 0 || size == 0) return;
  std::vector<WICBitmapPattern> buffer((size + sizeof(WICBitmapPattern) - 1) /
                                       sizeof(WICBitmapPattern));
  if (FAILED(info.GetPatterns(size, buffer.data(), &count, &size))) return;
  for (UINT i = 0; i < count && i < buffer.size(); ++i) {
    const WICBitmapPattern& p = buffer[i];
    const auto bytes = [&](const BYTE* b) {
      return std::string(reinterpret_cast<const char*>(b), p.Length);
    };
    patterns.push_back(
        {p.Position.QuadPart, p.EndOfStream != FALSE, bytes(p.Pattern), bytes(p.Mask)});
  }
}

// The patterns of every decoder the system has, read once (a codec installed meanwhile
// counts from the next start); nothing when they cannot be read.
const std::vector<Pattern>* SystemPatterns(IWICImagingFactory& factory) {
  static std::mutex mutex;
  static std::optional<std::vector<Pattern>> patterns;
  const std::lock_guard lock(mutex);
  if (!patterns) {
    ComPtr<IEnumUnknown> decoders;
    if (FAILED(factory.CreateComponentEnumerator(WICDecoder, WICComponentEnumerateDefault,
                                                 decoders.Put()))) {
      return nullptr;
    }
    std::vector<Pattern> all;
    ComPtr<IUnknown> item;
    ULONG fetched = 0;
    while (decoders->Next(1, item.Put(), &fetched) == S_OK && fetched == 1) {
      if (const auto info = item.As<IWICBitmapDecoderInfo>()) AddPatternsOf(*info.Get(), all);
    }
    patterns = std::move(all);
  }
  return &*patterns;
}

// Whether the file holds `pattern`, as WIC tells it: a pattern that lies outside the file
// does not match.
bool Holds(const Pattern& pattern, std::string_view head, std::int64_t size,
           const ReadAt& read_at) {
  const std::size_t length = pattern.bytes.size();
  const auto file_size = static_cast<std::uint64_t>(size);
  if (pattern.position > file_size || length > file_size) return false;
  const std::uint64_t at = pattern.from_end ? file_size - pattern.position : pattern.position;
  if (at > file_size - length) return false;
  std::string fetched;
  std::string_view bytes;
  if (at + length <= head.size()) {
    bytes = head.substr(static_cast<std::size_t>(at), length);
  } else if (read_at) {
    fetched = read_at(static_cast<std::int64_t>(at), length);
    bytes = fetched;
  }
  if (bytes.size() != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if ((bytes[i] & pattern.mask[i]) != (pattern.bytes[i] & pattern.mask[i])) return false;
  }
  return true;
}

}  // namespace

void CheckHead(IWICImagingFactory& factory, std::string_view head, std::int64_t size,
               std::string_view name, const ReadAt& read_at) {
  image::Format format = image::Format::kUnknown;
  try {
    format = image::CheckHead(head, size, name);
  } catch (const image::Error& e) {  // the pipeline's error, as the slot's own
    throw Error(e.what());
  }
  if (format == image::Format::kPcx) return;  // our own reader
  const std::vector<Pattern>* patterns = SystemPatterns(factory);
  if (patterns == nullptr) return;  // cannot tell: the codecs see the whole file
  const bool readable = std::any_of(patterns->begin(), patterns->end(), [&](const Pattern& p) {
    return Holds(p, head, size, read_at);
  });
  if (!readable) throw Error("no codec for this file; opening failed");
}

std::string ReadPictureFile(IWICImagingFactory& factory, const std::string& name) {
  RegularFile file(name);
  return ReadPictureFile(factory, file, name);
}

std::string ReadPictureFile(IWICImagingFactory& factory, RegularFile& file,
                            const std::string& name) {
  if (!file.is_open()) throw Error(name + ": " + file.error());
  const std::int64_t size = file.size();
  if (size <= 0) throw Error(name + ": empty file");
  if (size > image::kMaxFileBytes) throw Error(name + ": file too large");
  const auto head_size = static_cast<std::size_t>(
      std::min<std::int64_t>(size, static_cast<std::int64_t>(image::kHeadBytes)));
  std::string bytes(head_size, '\0');
  const std::int64_t head = file.ReadInto(bytes.data(), head_size);
  if (head < 0) throw Error(name + ": read error");
  if (head == 0) throw Error(name + ": empty file");
  try {
    CheckHead(factory, std::string_view(bytes.data(), static_cast<std::size_t>(head)), size, name,
              [&file](std::int64_t offset, std::size_t length) {
                std::string more(length, '\0');
                const std::int64_t got = file.ReadAt(offset, more.data(), length);
                more.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
                return more;
              });
  } catch (const Error& e) {
    throw Error(name + ": " + e.what());
  }
  std::int64_t got = head;
  if (head == static_cast<std::int64_t>(head_size) && head < size) {
    bytes.resize(static_cast<std::size_t>(size));
    const std::int64_t rest =
        file.ReadAt(head, bytes.data() + head, static_cast<std::size_t>(size - head));
    if (rest < 0) throw Error(name + ": read error");
    got += rest;
  }
  bytes.resize(static_cast<std::size_t>(got));  // shrank while we read: decode what is there
  return bytes;
}

}  // namespace mirvane::platform::win32
