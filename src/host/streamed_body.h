#pragma once
// Sends a streamed response body (an export) through libmicrohttpd: the page thread runs the
// body stream and hands its bytes over; the server's socket thread takes them as fast as the
// client reads them, chunked. Only a bounded amount waits in between, so a document of any size
// passes through a few hundred kilobytes, and a slow client slows the stream instead of filling
// memory. While nothing is waiting the connection is suspended instead of polled.

#include <microhttpd.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "quenmark/page_context.h"

namespace quenmark::host {

class StreamedBody : public std::enable_shared_from_this<StreamedBody> {
 public:
  /// Takes the response whose body stream (and any text written before it) is to be sent.
  explicit StreamedBody(Response response) : response_(std::move(response)) {}
  StreamedBody(const StreamedBody&) = delete;
  StreamedBody& operator=(const StreamedBody&) = delete;

  /// The server's side: a response of unknown length whose reader takes the bytes handed over;
  /// it keeps this object alive until the server frees it. nullptr when out of memory.
  MHD_Response* CreateResponse();
  /// The connection the response is queued on (before it is queued): the reader suspends it
  /// when it finds nothing, and the producer resumes it when bytes arrive.
  void Attach(MHD_Connection* connection);
  /// The page thread's side: runs the stream until it ends, the stream fails (the transfer is
  /// then cut short) or the client goes away.
  void Produce();

 private:
  static ssize_t Read(void* cls, uint64_t position, char* buffer, size_t max);
  static void Release(void* cls);
  bool Hand(std::string_view bytes);
  void Finish(bool failed);

  Response response_;
  std::mutex mutex_;
  std::condition_variable room_;
  std::string pending_;       // bytes handed over, from `taken_` on
  size_t taken_ = 0;
  bool finished_ = false;     // the stream has ended
  bool failed_ = false;       // ... part-way
  bool released_ = false;     // the server is done with the response (or the client left)
  bool suspended_ = false;    // the reader found nothing and suspended the connection
  MHD_Connection* connection_ = nullptr;
};

}  // namespace quenmark::host
