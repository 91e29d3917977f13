#include "platform/win32/win32_drop_data.h"

#include "platform/error.h"
#include "platform/win32/text.h"

namespace mirvane::platform::win32 {

std::unique_ptr<DroppedFiles> DroppedFiles::FromDataObject(IDataObject& data) {
  auto dropped = std::make_unique<DroppedFiles>();
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (data.QueryGetData(&format) != S_OK || data.GetData(&format, &medium) != S_OK) {
    return dropped;
  }
  dropped->medium_ = medium;
  if (medium.tymed == TYMED_HGLOBAL) dropped->files_ = static_cast<HDROP>(medium.hGlobal);
  return dropped;
}

DroppedFiles::~DroppedFiles() {
  if (medium_) {
    ReleaseStgMedium(&*medium_);
  } else if (files_ != nullptr) {
    DragFinish(files_);
  }
}

bool Win32DropData::GetFormat(int format) const {
  return format == kFileListFormat && files_ != nullptr;
}

std::string Win32DropData::Files(std::int16_t number) const {
  const UINT count = files_ != nullptr ? DragQueryFileW(files_, 0xFFFFFFFF, nullptr, 0) : 0;
  if (number < 1 || static_cast<UINT>(number) > count) {
    throw Error("no dropped file number " + std::to_string(number));
  }
  const UINT index = static_cast<UINT>(number) - 1;
  const UINT length = DragQueryFileW(files_, index, nullptr, 0);
  std::wstring name(length + 1, L'\0');
  const UINT got = DragQueryFileW(files_, index, name.data(), length + 1);
  name.resize(got);
  // A list that holds no name may still count one, an empty one.
  if (name.empty()) throw Error("no dropped file number " + std::to_string(number));
  return Narrow(name);
}

}  // namespace mirvane::platform::win32
