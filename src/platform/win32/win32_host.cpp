#include "platform/win32/win32_host.h"

#include <wincodec.h>

#include <functional>
#include <memory>
#include <utility>

#include "image/error.h"
#include "platform/error.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/native_window.h"
#include "platform/win32/picture_file.h"
#include "platform/win32/regular_file.h"
#include "platform/win32/wic_decode.h"

namespace mirvane::platform::win32 {
namespace {

constexpr UINT kWorkMessage = WM_APP + 7;

// COM and a WIC factory for one call on whatever thread: no WIC object crosses threads, so
// nothing depends on how the codecs are registered.
class Imaging {
 public:
  Imaging() {
    // RPC_E_CHANGED_MODE: a thread that already has COM keeps it, and must not end it.
    com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory_.Put())))) {
      factory_.Reset();
    }
  }
  Imaging(const Imaging&) = delete;
  Imaging& operator=(const Imaging&) = delete;
  ~Imaging() {
    factory_.Reset();
    if (com_) CoUninitialize();
  }
  IWICImagingFactory* Factory() { return factory_.Get(); }

 private:
  bool com_ = false;
  ComPtr<IWICImagingFactory> factory_;
};

// Runs on the user-interface thread the work posted to it from any thread.
class Mailbox final : public NativeWindow {
 public:
  Mailbox() { Create(WindowClass{L"MirvaneMailbox"}, 0, 0, L"", RECT{}, HWND_MESSAGE); }

  void Post(std::function<void()> work) {
    auto* parcel = new std::function<void()>(std::move(work));
    if (!PostMessageW(Handle(), kWorkMessage, 0, reinterpret_cast<LPARAM>(parcel))) delete parcel;
  }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message != kWorkMessage) return NativeWindow::HandleMessage(message, wparam, lparam);
    const std::unique_ptr<std::function<void()>> work(
        reinterpret_cast<std::function<void()>*>(lparam));
    try {
      (*work)();
    } catch (...) {
      // Word from a worker is a hint; the next tick looks again.
    }
    return 0;
  }
};

// The system's codecs, decoded at least at the cover of the box (for either turn).
image::Picture SystemPicture(std::string_view bytes, image::Size box) {
  Imaging imaging;
  if (imaging.Factory() == nullptr) throw image::Error("no imaging component");
  try {
    Decoded decoded = Decode(*imaging.Factory(), bytes, [box](image::Size upright) {
      return image::CoverSize(upright, box);
    });
    image::Picture picture;
    picture.full = decoded.full;
    picture.premultiplied = true;
    picture.pixels = {decoded.image.width, decoded.image.height, true,
                      std::move(decoded.image.pixels)};
    return picture;
  } catch (const Error& e) {
    throw image::Error(e.what());
  }
}

bool SystemReads(std::string_view head, image::SourceFile& file) {
  Imaging imaging;
  if (imaging.Factory() == nullptr) return false;
  try {
    CheckHead(*imaging.Factory(), head, file.size());
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

const image::Host& Win32Host() {
  static Mailbox mailbox;
  static const image::Host host{
      [](const std::string& name) -> std::unique_ptr<image::SourceFile> {
        auto file = std::make_unique<RegularFile>(name);
        if (!file->is_open()) throw image::Error(name + ": " + file->error());
        return file;
      },
      SystemReads,
      {{}, SystemPicture},
      [](std::function<void()> work) { mailbox.Post(std::move(work)); }};
  return host;
}

}  // namespace mirvane::platform::win32
