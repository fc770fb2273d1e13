#pragma once
// A fixed set of threads that run page requests, so that the threads reading and writing
// sockets never wait on a page (a slow client or a slow page holds no one else up).

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quenmark::host {

class WorkerPool {
 public:
  explicit WorkerPool(unsigned threads);
  /// Runs every job already posted, then joins the threads.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void Post(std::function<void()> job);

 private:
  void Work();

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace quenmark::host
