#pragma once

#include <string>

namespace mirvane::platform {

enum class MessageKind : int { Exclamation = 48, Information = 64 };

// A modal box with one OK button. Lines of `text` are joined by a lone carriage
// return (13); the platform shows each on its own line.
class MessageBox {
 public:
  MessageBox() = default;
  MessageBox(const MessageBox&) = delete;
  MessageBox& operator=(const MessageBox&) = delete;
  virtual ~MessageBox() = default;

  // Returns when the user has dismissed the box.
  virtual void MsgBox(const std::string& text, MessageKind kind, const std::string& title) = 0;
};

}  // namespace mirvane::platform
