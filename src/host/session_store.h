#pragma once
// In-memory sessions keyed by a random id that travels in an HttpOnly cookie. A session is
// kept only once a page stored something in it, and dropped after it has been idle too long;
// when the store is full, the session unused for the longest time makes room for a new one.

#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "quenmark/page_context.h"

namespace quenmark::host {

class SessionStore {
 public:
  using Clock = std::chrono::steady_clock;

  explicit SessionStore(std::chrono::seconds timeout, size_t max_sessions = 100000)
      : timeout_(timeout), max_sessions_(max_sessions) {}

  /// The live session with that id (its idle time restarts), or nullptr.
  std::shared_ptr<Session> Find(const std::string& id);
  /// Keeps a new session under `id` (from NewId), dropping the least recently used one when
  /// the store is full.
  void Add(const std::string& id, std::shared_ptr<Session> session);
  void Remove(const std::string& id);
  size_t Count();

  /// A new unguessable id (128 random bits, hex).
  static std::string NewId();

 private:
  struct Entry {
    std::shared_ptr<Session> session;
    Clock::time_point last_used;
    std::list<std::string>::iterator place;  // in recent_
  };
  void DropExpired(Clock::time_point now);
  void Erase(std::unordered_map<std::string, Entry>::iterator it);

  std::chrono::seconds timeout_;
  size_t max_sessions_;
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> sessions_;
  std::list<std::string> recent_;  // ids, most recently used first
  Clock::time_point last_sweep_ = Clock::now();
};

}  // namespace quenmark::host
