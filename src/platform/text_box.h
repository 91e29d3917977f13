#pragma once

#include <string>

namespace mirvane::platform {

// A single-line text control; the main window's hidden one only holds text.
class TextBox {
 public:
  TextBox() = default;
  TextBox(const TextBox&) = delete;
  TextBox& operator=(const TextBox&) = delete;
  virtual ~TextBox() = default;

  virtual std::string Text() const = 0;
  virtual void Text(const std::string& text) = 0;
};

}  // namespace mirvane::platform
