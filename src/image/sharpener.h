#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "image/decoded.h"
#include "image/file_identity.h"
#include "image/host.h"

namespace mirvane::image {

// Decodes the picture on view afresh for a slot that grew, on a thread of its own: a large
// picture takes a good part of a second, which the window must not wait for. One decode at
// a time; a newer Start replaces one not yet begun. The result comes back through the
// host's `post`, unless another Start, a Cancel or the end of the Sharpener came first.
class Sharpener {
 public:
  struct Request {
    std::string path;
    FileIdentity file;  // decoded only while the name still holds this file
    Size box;
    int quarter_turns = 0;
  };
  using Done = std::function<void(Decoded)>;

  explicit Sharpener(const Host& host);
  Sharpener(const Sharpener&) = delete;
  Sharpener& operator=(const Sharpener&) = delete;
  // Waits for a decode under way.
  ~Sharpener();

  void Start(Request request, Done done);
  void Cancel();

 private:
  struct Job {
    std::uint64_t id;
    Request request;
    Done done;
  };
  void Work();

  const Host& host_;
  std::shared_ptr<std::uint64_t> latest_ = std::make_shared<std::uint64_t>(0);  // UI thread only
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Job> pending_;
  bool stop_ = false;
  std::thread thread_;  // last: started once the rest is ready
};

}  // namespace mirvane::image
