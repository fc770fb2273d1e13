#include "host/connection_watch.h"

#include <sys/socket.h>

namespace quenmark::host {

ConnectionWatch::ConnectionWatch(std::chrono::milliseconds header_deadline,
                                 std::chrono::milliseconds body_deadline)
    : header_deadline_(header_deadline), body_deadline_(body_deadline) {
  sweeper_ = std::thread([this] { Sweep(); });
}

ConnectionWatch::~ConnectionWatch() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  sweeper_.join();
  for (Entry* entry : entries_) delete entry;
}

int64_t ConnectionWatch::NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

ConnectionWatch::Entry* ConnectionWatch::Add(int fd) {
  auto* entry = new Entry;
  entry->fd = fd;
  entry->since_ms = NowMs();
  std::lock_guard lock(mutex_);
  entries_.insert(entry);
  return entry;
}

void ConnectionWatch::Remove(Entry* entry) {
  {
    std::lock_guard lock(mutex_);
    entries_.erase(entry);
  }
  delete entry;
}

void ConnectionWatch::Enter(Entry* entry, Phase phase) {
  if (!entry) return;
  entry->since_ms = NowMs();
  entry->phase = phase;
}

void ConnectionWatch::Sweep() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    wake_.wait_for(lock, std::chrono::milliseconds(250));
    int64_t now = NowMs();
    for (Entry* entry : entries_) {
      int64_t limit = 0;
      switch (entry->phase.load()) {
        case Phase::kAwaitingHeaders: limit = header_deadline_.count(); break;
        case Phase::kReceivingBody: limit = body_deadline_.count(); break;
        case Phase::kBusy: break;
      }
      // The socket stays open (the server owns it and closes it once it sees the shutdown),
      // so its number cannot be reused while this entry exists: Remove runs under this lock.
      if (limit > 0 && now - entry->since_ms > limit) {
        ::shutdown(entry->fd, SHUT_RDWR);
        entry->phase = Phase::kBusy;
      }
    }
  }
}

}  // namespace quenmark::host
