#pragma once
// Deadlines for clients that send a request too slowly. Sockets are multiplexed, so a slow
// client costs no thread, but it still holds a connection slot: a client that has not sent a
// request's headers within the header deadline, or its body within the body deadline, is cut
// off (its socket is shut down; the server then closes it as it would any broken connection).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace quenmark::host {

class ConnectionWatch {
 public:
  enum class Phase { kAwaitingHeaders, kReceivingBody, kBusy };

  struct Entry {
    int fd = -1;
    std::atomic<Phase> phase{Phase::kAwaitingHeaders};
    std::atomic<int64_t> since_ms{0};
  };

  ConnectionWatch(std::chrono::milliseconds header_deadline,
                  std::chrono::milliseconds body_deadline);
  ~ConnectionWatch();
  ConnectionWatch(const ConnectionWatch&) = delete;
  ConnectionWatch& operator=(const ConnectionWatch&) = delete;

  Entry* Add(int fd);
  void Remove(Entry* entry);
  /// Starts the deadline of a new phase of the connection.
  static void Enter(Entry* entry, Phase phase);

 private:
  static int64_t NowMs();
  void Sweep();

  std::chrono::milliseconds header_deadline_;
  std::chrono::milliseconds body_deadline_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::unordered_set<Entry*> entries_;
  std::thread sweeper_;
};

}  // namespace quenmark::host
