#include "host/session_store.h"

#include <random>

namespace quenmark::host {

std::shared_ptr<Session> SessionStore::Find(const std::string& id) {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(id);
  if (it == sessions_.end()) return nullptr;
  Clock::time_point now = Clock::now();
  if (now - it->second.last_used > timeout_) {
    sessions_.erase(it);
    return nullptr;
  }
  it->second.last_used = now;
  return it->second.session;
}

bool SessionStore::Add(const std::string& id, std::shared_ptr<Session> session) {
  std::lock_guard lock(mutex_);
  Clock::time_point now = Clock::now();
  if (now - last_sweep_ > std::chrono::seconds(60) || sessions_.size() >= max_sessions_) {
    DropExpired(now);
  }
  if (sessions_.size() >= max_sessions_) return false;
  sessions_[id] = Entry{std::move(session), now};
  return true;
}

void SessionStore::Remove(const std::string& id) {
  std::lock_guard lock(mutex_);
  sessions_.erase(id);
}

size_t SessionStore::Count() {
  std::lock_guard lock(mutex_);
  return sessions_.size();
}

void SessionStore::DropExpired(Clock::time_point now) {
  last_sweep_ = now;
  std::erase_if(sessions_,
                [&](const auto& entry) { return now - entry.second.last_used > timeout_; });
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
