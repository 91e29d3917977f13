#pragma once

#include <cstdint>
#include <string>

namespace mirvane::platform {

// The clipboard format number of a list of dropped files.
inline constexpr int kFileListFormat = 15;

// The data of one drop, valid during the drop handler.
class DropData {
 public:
  DropData() = default;
  DropData(const DropData&) = delete;
  DropData& operator=(const DropData&) = delete;
  virtual ~DropData() = default;

  virtual bool GetFormat(int format) const = 0;
  // Dropped file `number` (from 1) as a local path, exactly as delivered. Throws
  // Error past the last one.
  virtual std::string Files(std::int16_t number) const = 0;
};

}  // namespace mirvane::platform
