#include "platform/qt/image/sharpener.h"

#include <QThreadPool>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/posix/regular_file.h"
#include "platform/qt/image/safe_file.h"

namespace mirvane::platform::qt::image {

// Shared with the decodes under way. The receiver is cleared, under the lock, when the
// Sharpener goes; a result is posted only under the same lock, so never to a receiver
// that is gone (Qt drops events still queued for an object it deletes).
struct Sharpener::Mailbox {
  std::mutex mutex;
  QObject* receiver;
  std::uint64_t latest = 0;  // touched on the receiver's thread only
};

Sharpener::Sharpener(QObject* receiver) : mailbox_(std::make_shared<Mailbox>()) {
  mailbox_->receiver = receiver;
}

Sharpener::~Sharpener() {
  std::lock_guard lock(mailbox_->mutex);
  mailbox_->receiver = nullptr;
}

void Sharpener::Cancel() { ++mailbox_->latest; }

void Sharpener::Start(Request request, Done done) {
  const std::uint64_t job = ++mailbox_->latest;
  // The application waits for the global pool's work before it ends.
  QThreadPool::globalInstance()->start(
      [mailbox = mailbox_, job, request = std::move(request), done = std::move(done)]() mutable {
        std::optional<Decoded> decoded;
        try {
          posix::RegularFile file(request.path);
          if (!file.is_open() || file.identity() != request.file) return;
          const QByteArray bytes = ReadPicture(file, request.path);
          if (file.Identity() != request.file) return;
          decoded = Decode(bytes, request.box, request.quarter_turns, request.path);
        } catch (...) {
          return;  // the softer picture stays on view
        }
        std::lock_guard lock(mailbox->mutex);
        if (mailbox->receiver == nullptr) return;
        QMetaObject::invokeMethod(
            mailbox->receiver,
            [mailbox, job, done = std::move(done), decoded = std::move(*decoded)]() mutable {
              if (job == mailbox->latest) done(std::move(decoded));
            },
            Qt::QueuedConnection);
      });
}

}  // namespace mirvane::platform::qt::image
