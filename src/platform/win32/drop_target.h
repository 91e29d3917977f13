#pragma once

#include <oleidl.h>

#include <functional>
#include <memory>

#include "platform/win32/win32_drop_data.h"

namespace mirvane::platform::win32 {

// The main window's OLE drop target: welcomes every drag as a copy and hands the
// file list of each drop (or the lack of one) to `on_drop`.
class DropTarget final : public IDropTarget {
 public:
  using Handler = std::function<void(std::unique_ptr<DroppedFiles>)>;
  explicit DropTarget(Handler on_drop) : on_drop_(std::move(on_drop)) {}
  DropTarget(const DropTarget&) = delete;
  DropTarget& operator=(const DropTarget&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL at,
                                      DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL at, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) override;

 private:
  ~DropTarget() = default;

  LONG references_ = 1;
  Handler on_drop_;
};

}  // namespace mirvane::platform::win32
