#include "host/streamed_body.h"

#include <cstdio>
#include <cstring>

namespace quenmark::host {

namespace {

// Bytes that may wait for the client before the stream is held up.
constexpr size_t kWaitingBytes = 256 * 1024;

// What the server holds: a reference that keeps the body alive until it frees the response.
struct Holder {
  std::shared_ptr<StreamedBody> body;
};

}  // namespace

MHD_Response* StreamedBody::CreateResponse() {
  auto* holder = new Holder{shared_from_this()};
  MHD_Response* response =
      MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 64 * 1024, &StreamedBody::Read,
                                        holder, &StreamedBody::Release);
  if (!response) delete holder;
  return response;
}

ssize_t StreamedBody::Read(void* cls, uint64_t, char* buffer, size_t max) {
  StreamedBody& self = *static_cast<Holder*>(cls)->body;
  std::lock_guard lock(self.mutex_);
  const size_t waiting = self.pending_.size() - self.taken_;
  if (waiting > 0) {
    const size_t n = std::min(waiting, max);
    std::memcpy(buffer, self.pending_.data() + self.taken_, n);
    self.taken_ += n;
    if (self.taken_ == self.pending_.size()) {
      self.pending_.clear();
      self.taken_ = 0;
    }
    self.room_.notify_all();
    return static_cast<ssize_t>(n);
  }
  if (self.finished_) {
    // A stream that failed part-way closes the connection without the final chunk, so the
    // client sees a cut transfer rather than a complete-looking file.
    return self.failed_ ? MHD_CONTENT_READER_END_WITH_ERROR : MHD_CONTENT_READER_END_OF_STREAM;
  }
  // Nothing yet: rather than being polled, the connection waits until bytes arrive.
  if (self.connection_ != nullptr) {
    self.suspended_ = true;
    MHD_suspend_connection(self.connection_);
  }
  return 0;
}

void StreamedBody::Release(void* cls) {
  auto* holder = static_cast<Holder*>(cls);
  {
    std::lock_guard lock(holder->body->mutex_);
    holder->body->released_ = true;
    holder->body->room_.notify_all();
  }
  delete holder;
}

bool StreamedBody::Hand(std::string_view bytes) {
  std::unique_lock lock(mutex_);
  room_.wait(lock, [&] { return released_ || pending_.size() - taken_ < kWaitingBytes; });
  if (released_) return false;
  pending_.append(bytes);
  if (suspended_) {
    suspended_ = false;
    MHD_resume_connection(connection_);
  }
  return true;
}

void StreamedBody::Finish(bool failed) {
  std::lock_guard lock(mutex_);
  finished_ = true;
  failed_ = failed;
  if (suspended_ && !released_) {
    suspended_ = false;
    MHD_resume_connection(connection_);
  }
}

void StreamedBody::Attach(MHD_Connection* connection) {
  std::lock_guard lock(mutex_);
  connection_ = connection;
}

void StreamedBody::Produce() {
  bool failed = false;
  try {
    failed = !response_.SendBody([this](std::string_view bytes) { return Hand(bytes); });
  } catch (const std::exception& error) {
    failed = true;
    std::string line =
        std::string("quenmark: a streamed response stopped part-way: ") + error.what() + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
  }
  Finish(failed);
}

}  // namespace quenmark::host
