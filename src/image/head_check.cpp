#include "image/head_check.h"

#include "image/budget.h"
#include "image/error.h"

namespace mirvane::image {

Format CheckHead(std::string_view head, std::int64_t size, std::string_view name) {
  if (size <= 0 || head.empty()) throw Error("empty file");
  if (size > kMaxFileBytes) throw Error("file too large");
  const Format format = Sniff(head, name);
  if (format == Format::kUnknown) return format;
  const auto header = HeaderSize(format, head);
  if (header && OverBudget(format, *header)) throw Error("picture too large");
  return format;
}

}  // namespace mirvane::image
