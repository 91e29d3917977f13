#include "image/sharpener.h"

#include <utility>

#include "image/read_picture.h"

namespace mirvane::image {

Sharpener::Sharpener(const Host& host) : host_(host), thread_([this] { Work(); }) {}

Sharpener::~Sharpener() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    pending_.reset();
  }
  wake_.notify_all();
  thread_.join();
  ++*latest_;  // results still on their way are dropped
}

void Sharpener::Cancel() {
  ++*latest_;
  std::lock_guard lock(mutex_);
  pending_.reset();
}

void Sharpener::Start(Request request, Done done) {
  const std::uint64_t id = ++*latest_;
  {
    std::lock_guard lock(mutex_);
    pending_ = Job{id, std::move(request), std::move(done)};
  }
  wake_.notify_all();
}

void Sharpener::Work() {
  for (;;) {
    std::optional<Job> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stop_ || pending_.has_value(); });
      if (stop_) return;
      job = std::exchange(pending_, std::nullopt);
    }
    try {
      const Request& r = job->request;
      const std::unique_ptr<SourceFile> file = host_.open(r.path);
      if (file->identity_at_open() != r.file) continue;
      const std::string bytes = ReadPicture(*file, r.path, host_);
      if (file->IdentityNow() != r.file) continue;
      auto decoded = std::make_shared<Decoded>(
          Decode(bytes, r.box, r.quarter_turns, r.path, host_.extras));
      host_.post([latest = latest_, id = job->id, done = std::move(job->done), decoded] {
        if (id == *latest) done(std::move(*decoded));
      });
    } catch (...) {
      // The softer picture stays on view.
    }
  }
}

}  // namespace mirvane::image
