#include "platform/win32/drop_target.h"

namespace mirvane::platform::win32 {
namespace {

// The viewer only reads dropped files; a move would invite the source to delete them.
DWORD AsCopy(DWORD allowed) {
  if (allowed & DROPEFFECT_COPY) return DROPEFFECT_COPY;
  return allowed & (DROPEFFECT_MOVE | DROPEFFECT_LINK);
}

}  // namespace

HRESULT STDMETHODCALLTYPE DropTarget::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DropTarget::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE DropTarget::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE DropTarget::DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) {
  if (effect != nullptr) *effect = AsCopy(*effect);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
  if (effect != nullptr) *effect = AsCopy(*effect);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragLeave() { return S_OK; }

HRESULT STDMETHODCALLTYPE DropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  if (effect != nullptr) *effect = AsCopy(*effect);
  // The names are taken now, while the source still serves them; the handler runs
  // once the drop is over (see Win32Form).
  auto files =
      data != nullptr ? DroppedFiles::FromDataObject(*data) : std::make_unique<DroppedFiles>();
  if (on_drop_) on_drop_(std::move(files));
  return S_OK;
}

}  // namespace mirvane::platform::win32
