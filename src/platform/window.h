#pragma once

#include <cstdint>
#include <string>

namespace mirvane::platform {

// The main window as the core sees it. Sizes are outer sizes (frame and caption
// included) in twips.
class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window() = default;

  // Sets the title bar text (UTF-8).
  virtual void Caption(const std::string& text) = 0;
  // 0 normal, 1 minimised, 2 maximised.
  virtual std::int16_t WindowState() const = 0;
  virtual float Width() const = 0;
  virtual float Height() const = 0;
  // Closes the window; the process ends with it. Nothing is asked or saved.
  virtual void Unload() = 0;
};

}  // namespace mirvane::platform
