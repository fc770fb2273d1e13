#include "host/session_store.h"

#include <random>

namespace quenmark::host {

std::shared_ptr<Session> SessionStore::Find(const std::string& id) {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(id);
  if (it == sessions_.end()) return nullptr;
  Clock::time_point now = Clock::now();
  if (now - it->second.last_used > timeout_) {
    Erase(it);
    return nullptr;
  }
  it->second.last_used = now;
  recent_.splice(recent_.begin(), recent_, it->second.place);
  return it->second.session;
}

void SessionStore::Add(const std::string& id, std::shared_ptr<Session> session) {
  std::lock_guard lock(mutex_);
  Clock::time_point now = Clock::now();
  if (now - last_sweep_ > std::chrono::seconds(60)) DropExpired(now);
  if (auto existing = sessions_.find(id); existing != sessions_.end()) Erase(existing);
  while (!recent_.empty() && sessions_.size() >= max_sessions_) {
    Erase(sessions_.find(recent_.back()));
  }
  recent_.push_front(id);
  sessions_[id] = Entry{std::move(session), now, recent_.begin()};
}

void SessionStore::Remove(const std::string& id) {
  std::lock_guard lock(mutex_);
  if (auto it = sessions_.find(id); it != sessions_.end()) Erase(it);
}

size_t SessionStore::Count() {
  std::lock_guard lock(mutex_);
  return sessions_.size();
}

void SessionStore::Erase(std::unordered_map<std::string, Entry>::iterator it) {
  recent_.erase(it->second.place);
  sessions_.erase(it);
}

void SessionStore::DropExpired(Clock::time_point now) {
  last_sweep_ = now;
  // The least recently used are at the back: stop at the first one still alive.
  while (!recent_.empty()) {
    auto it = sessions_.find(recent_.back());
    if (now - it->second.last_used <= timeout_) break;
    Erase(it);
  }
}

std::string SessionStore::NewId() {
  static constexpr char kHex[] = "0123456789abcdef";
  // The operating system's random source: ids must not be predictable from earlier ones.
  thread_local std::random_device device;
  std::string id;
  id.reserve(32);
  for (int part = 0; part < 4; ++part) {
    uint32_t bits = device();
    for (int i = 0; i < 8; ++i) {
      id.push_back(kHex[bits & 15]);
      bits >>= 4;
    }
  }
  return id;
}

}  // namespace quenmark::host
