#pragma once

#include <unknwn.h>

#include <utility>

namespace mirvane::platform::win32 {

// Owns one reference to a COM object and releases it when it goes, so that no path
// leaks one.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller already holds.
  explicit ComPtr(T* owned) : p_(owned) {}
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (T* old = std::exchange(p_, nullptr)) old->Release();
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: drops what is held and lends the slot.
  T** Put() {
    Reset();
    return &p_;
  }
  // Another interface of the same object, or empty when it has none.
  template <typename U>
  ComPtr<U> As() const {
    ComPtr<U> other;
    if (p_ != nullptr) p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(other.Put()));
    return other;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace mirvane::platform::win32
