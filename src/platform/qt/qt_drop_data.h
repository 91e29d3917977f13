#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/drop_data.h"

class QMimeData;

namespace mirvane::platform::qt {

// platform::DropData over the local file URLs of a QMimeData, taken at construction
// so that the data may go once this exists. Other URLs are not files and not counted.
class QtDropData final : public platform::DropData {
 public:
  explicit QtDropData(const QMimeData& data);

  bool GetFormat(int format) const override;
  std::string Files(std::int16_t number) const override;

 private:
  std::vector<std::string> files_;  // in the drop's order, as QFile::encodeName gives them
};

}  // namespace mirvane::platform::qt
