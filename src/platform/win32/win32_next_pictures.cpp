#include "platform/win32/win32_next_pictures.h"

#include <new>
#include <utility>

#include "image/error.h"
#include "platform/error.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/picture_file.h"
#include "platform/win32/regular_file.h"
#include "platform/win32/win32_rastrel.h"

namespace mirvane::platform::win32 {
namespace {

// One worker for the next picture and one for the picture after it: two cores decode
// while the user-interface thread shows.
constexpr int kWorkers = 2;
constexpr UINT kOrderMessage = WM_APP + 1;
constexpr UINT kReadyMessage = WM_APP + 2;  // a decode has ended, or preparing went off

using image::TurnsFor;

image::TurnWhen Translated(TurnWhen turn) {
  switch (turn) {
    case TurnWhen::kPortrait:
      return image::TurnWhen::kPortrait;
    case TurnWhen::kLandscape:
      return image::TurnWhen::kLandscape;
    case TurnWhen::kNever:
      break;
  }
  return image::TurnWhen::kNever;
}

template <typename F>
auto Guarded(const std::string& name, F&& f) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    throw Error(name + ": out of memory");
  } catch (const Error& e) {
    throw Error(name + ": " + e.what());
  } catch (const image::Error& e) {
    throw Error(name + ": " + e.what());
  }
}

// COM in the multithreaded apartment and a factory for one decode on a worker thread: no
// WIC object crosses threads, so nothing depends on how the codecs are registered.
class WorkerImaging {
 public:
  WorkerImaging() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // RPC_E_CHANGED_MODE: a thread that already has COM keeps it, and must not end it.
    com_ = SUCCEEDED(com);
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory_.Put())))) {
      factory_.Reset();
    }
  }
  WorkerImaging(const WorkerImaging&) = delete;
  WorkerImaging& operator=(const WorkerImaging&) = delete;
  ~WorkerImaging() {
    factory_.Reset();
    if (com_) CoUninitialize();
  }
  IWICImagingFactory& Factory() {
    if (!factory_) throw Error("no imaging component");
    return *factory_.Get();
  }

 private:
  bool com_ = false;
  ComPtr<IWICImagingFactory> factory_;
};

}  // namespace

Supplied DecodeNow(IWICImagingFactory& factory, const std::string& name, image::Size box) {
  return Guarded(name, [&] {
    return Supplied{Decode(factory, ReadPictureFile(factory, name), box), 0};
  });
}

image::Prepared<Decoded> PrepareAhead(const image::Order& order) {
  return Guarded(order.name, [&] {
    RegularFile file(order.name);
    WorkerImaging imaging;
    const std::string bytes = ReadPictureFile(imaging.Factory(), file, order.name);
    int turns = 0;
    Decoded decoded = Decode(imaging.Factory(), bytes, [&](image::Size upright) {
      turns = TurnsFor(order.turn, upright);
      return image::Turned(order.box, turns);
    });
    // Turned as the slot's Turn turns it: decoded for the turned box, then turned.
    if (turns != 0) decoded.image = TurnedClockwise(decoded.image, turns);
    if (file.IdentityNow() != file.identity_at_open()) throw Error("changed while read");
    return image::Prepared<Decoded>{file.identity_at_open(), decoded.full, turns, std::move(decoded)};
  });
}

Win32NextPictures::Win32NextPictures(const Win32Rastrel& slot0, const Win32Rastrel& slot1,
                                     Prepare prepare)
    : slots_{&slot0, &slot1}, preparer_(std::move(prepare), kWorkers, 2, [this] {
        // On a worker: word goes to the user-interface thread. The window exists by then,
        // as nothing is decoded before the first order.
        PostMessageW(Handle(), kReadyMessage, 0, 0);
      }) {
  Create(WindowClass{L"MirvaneNextPictures"}, 0, 0, L"", RECT{}, HWND_MESSAGE);
}

void Win32NextPictures::Expect(const Upcoming& next) noexcept {
  try {
    turn_ = next.turn;
    next_ = next;
    // Posted once: only the last of several orders goes out, with the size the slots have
    // by the time the message loop is back.
    if (!posted_) posted_ = PostMessageW(Handle(), kOrderMessage, 0, 0) != 0;
  } catch (...) {
    // Only a hint: without it the slots decode when they are asked to.
  }
}

void Win32NextPictures::SendOrder() {
  posted_ = false;
  // Posted messages come before paints: what was just shown is painted first, so that the
  // workers do not hold it back.
  const HWND window = GetAncestor(slots_[0]->Handle(), GA_ROOT);
  if (window != nullptr) RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  const image::Size box = slots_[next_.slot % 2]->Box();
  const bool wanted = enabled_ && box.width > 0 && box.height > 0;
  preparer_.Want(wanted ? next_.names : std::vector<std::string>{}, box, Translated(next_.turn));
}

bool Win32NextPictures::HoldTick(std::function<void()> resume) {
  if (posted_) {  // a tick came first: the order goes out before it is shown
    try {
      SendOrder();
    } catch (...) {
      // Only a hint, as above.
    }
  }
  if (!enabled_ || !preparer_.AwaitNext()) return false;
  resume_ = std::move(resume);
  return true;
}

void Win32NextPictures::ResumeWhenReady() {
  if (!resume_ || preparer_.AwaitNext()) return;
  std::exchange(resume_, nullptr)();
}

void Win32NextPictures::Enabled(bool on) {
  enabled_ = on;
  if (!on) preparer_.Want({}, {}, Translated(turn_));
  PostMessageW(Handle(), kReadyMessage, 0, 0);
}

Supplied Win32NextPictures::Supply(IWICImagingFactory& factory, const std::string& name,
                                   image::Size box) {
  if (enabled_) {
    try {
      RegularFile file(name);
      if (file.is_open()) {
        auto ready = preparer_.Take(name, file.identity_at_open(), box, Translated(turn_));
        if (ready) return {std::move(ready->picture), ready->quarter_turns};
      }
    } catch (const std::exception&) {
      // Decoded here and now, which reports what is wrong.
    }
  }
  return DecodeNow(factory, name, box);
}

LRESULT Win32NextPictures::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kReadyMessage) {
    ResumeWhenReady();
    return 0;
  }
  if (message != kOrderMessage) return NativeWindow::HandleMessage(message, wparam, lparam);
  try {
    if (posted_) SendOrder();  // not already sent by a tick that came first
  } catch (...) {
    // Only a hint, as above.
  }
  ResumeWhenReady();  // what comes next may have changed; the tick runs as the timer's would
  return 0;
}

}  // namespace mirvane::platform::win32
