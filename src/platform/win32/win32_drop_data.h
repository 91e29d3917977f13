#pragma once

#include <oleidl.h>
#include <shellapi.h>

#include <memory>
#include <optional>

#include "platform/drop_data.h"
#include "platform/win32/win32.h"

namespace mirvane::platform::win32 {

// The file list of one drop (an HDROP) and whoever must free it.
class DroppedFiles {
 public:
  // Data without a file list.
  DroppedFiles() = default;
  // A WM_DROPFILES handle, freed with DragFinish.
  explicit DroppedFiles(HDROP from_message) : files_(from_message) {}
  // The CF_HDROP of a data object, or nothing when it offers none.
  static std::unique_ptr<DroppedFiles> FromDataObject(IDataObject& data);
  DroppedFiles(const DroppedFiles&) = delete;
  DroppedFiles& operator=(const DroppedFiles&) = delete;
  ~DroppedFiles();

  HDROP Files() const { return files_; }

 private:
  HDROP files_ = nullptr;
  std::optional<STGMEDIUM> medium_;  // set when the data object gave the handle
};

// platform::DropData over an HDROP: the file-list format when there is one, names
// fetched one at a time with DragQueryFileW.
class Win32DropData final : public platform::DropData {
 public:
  explicit Win32DropData(HDROP files) : files_(files) {}

  bool GetFormat(int format) const override;
  std::string Files(std::int16_t number) const override;

 private:
  HDROP files_;
};

}  // namespace mirvane::platform::win32
