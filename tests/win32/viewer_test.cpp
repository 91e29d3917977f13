#include "platform/win32/win32_viewer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drops.h"
#include "pictures.h"
#include "platform/win32/drop_target.h"
#include "platform/win32/text.h"
#include "pump.h"

namespace mirvane::platform::win32 {
namespace {

class FixedCommandLine final : public platform::CommandLine {
 public:
  explicit FixedCommandLine(std::string text) : text_(std::move(text)) {}
  std::string ArgumentText() const override { return text_; }

 private:
  std::string text_;
};

// Offers one clipboard format, as a drag source's data object does.
class OneFormatData final : public IDataObject {
 public:
  OneFormatData(CLIPFORMAT format, HGLOBAL data) : format_(format), data_(data) {}
  ~OneFormatData() { GlobalFree(data_); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    const SIZE_T size = GlobalSize(data_);
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(copy), GlobalLock(data_), size);
    GlobalUnlock(copy);
    GlobalUnlock(data_);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    return format->cfFormat == format_ && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

 private:
  CLIPFORMAT format_;
  HGLOBAL data_;
};

// What the drop target hands on for each kind of data, and the effect it answers.
TEST(DropTarget, FileListsAreTakenOtherDataIsHandedOnWithout) {
  std::vector<std::string> seen;
  auto* target = new DropTarget([&seen](std::unique_ptr<DroppedFiles> files) {
    Win32DropData data(files->Files());
    seen.push_back(data.GetFormat(kFileListFormat) ? data.Files(1) : "no file list");
  });
  OneFormatData files(CF_HDROP, test::MakeHdrop({"Z:\\tmp\\red pic.png"}));
  const HGLOBAL text_memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 16);
  OneFormatData text(CF_UNICODETEXT, text_memory);
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(target->DragEnter(&files, 0, POINTL{}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  effect = DROPEFFECT_MOVE;
  EXPECT_EQ(target->DragOver(0, POINTL{}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->Drop(&files, 0, POINTL{}, &effect), S_OK);
  EXPECT_EQ(target->Drop(&text, 0, POINTL{}, &effect), S_OK);
  EXPECT_EQ(target->Drop(nullptr, 0, POINTL{}, &effect), S_OK);
  EXPECT_EQ(seen,
            (std::vector<std::string>{"Z:\\tmp\\red pic.png", "no file list", "no file list"}));
  target->Release();
}

std::string CaptionOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return Narrow(text);
}

// The whole program: it comes up at its size with both slots laid out, and a
// dropped file comes up at once.
TEST(Win32Viewer, ComesUpLaidOutAndShowsADroppedFile) {
  wchar_t folder[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::string name = Narrow(folder) + "mirvane-viewer-画像 red.png";
  test::WriteFile(
      name, test::Encode(GUID_ContainerFormatPng, 80, 60, [](int, int) { return 0xffff0000u; }));
  FixedCommandLine command("");
  Win32Viewer viewer(command);
  viewer.Start();
  const HWND form = viewer.Form().Handle();
  EXPECT_TRUE(IsWindowVisible(form));
  EXPECT_EQ(CaptionOf(form), "Mirvane");
  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 467);  // 7005 x 4950 twips at 96 dpi
  EXPECT_EQ(client.bottom, 330);
  RECT outer{};
  GetWindowRect(form, &outer);
  for (int index = 0; index <= 1; ++index) {
    RECT slot{};
    GetWindowRect(viewer.Form().Slot(index).Handle(), &slot);
    EXPECT_EQ(slot.right - slot.left, (outer.right - outer.left) - 8) << index;   // less 120
    EXPECT_EQ(slot.bottom - slot.top, (outer.bottom - outer.top) - 27) << index;  // less 400
  }

  PostMessageW(form, WM_DROPFILES, reinterpret_cast<WPARAM>(test::MakeHdrop({name})), 0);
  const std::string expected = "Mirvane [" + name + "]";
  EXPECT_TRUE(PumpUntil([&] { return CaptionOf(form) == expected; }, 3000)) << CaptionOf(form);
  EXPECT_EQ(viewer.Form().Slot(0).PictureWidth(), 80);
  DeleteFileW(Widen(name).c_str());
}

}  // namespace
}  // namespace mirvane::platform::win32
