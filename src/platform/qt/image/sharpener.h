#pragma once

#include <QObject>
#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "image/file_identity.h"
#include "platform/qt/image/decode.h"

namespace mirvane::platform::qt::image {

// Decodes the picture on view afresh, for a slot that grew, off the user-interface thread:
// a large picture takes a good part of a second, which the window must not wait for. The
// result comes back on the receiver's thread, unless another Start, a Cancel or the end
// of the Sharpener came first.
class Sharpener {
 public:
  struct Request {
    std::string path;
    mirvane::image::FileIdentity file;  // decoded only while the name still holds this file
    QSize box;
    int quarter_turns = 0;
  };
  using Done = std::function<void(Decoded)>;

  explicit Sharpener(QObject* receiver);
  Sharpener(const Sharpener&) = delete;
  Sharpener& operator=(const Sharpener&) = delete;
  ~Sharpener();

  void Start(Request request, Done done);
  void Cancel();

 private:
  struct Mailbox;
  std::shared_ptr<Mailbox> mailbox_;
};

}  // namespace mirvane::platform::qt::image
