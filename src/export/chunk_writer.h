#pragma once
// Collects an export's output and hands it to the response's body sink in chunks, so that a
// document of any size passes through a buffer of fixed size.

#include <string>
#include <string_view>

#include "quenmark/page_context.h"

namespace quenmark::exporter {

class ChunkWriter {
 public:
  /// Thrown when the sink refuses bytes (the client has gone): the export stops reading rows.
  struct Stopped {};

  explicit ChunkWriter(const BodySink& sink) : sink_(sink) { buffer_.reserve(kChunkBytes + 4096); }
  ChunkWriter(const ChunkWriter&) = delete;
  ChunkWriter& operator=(const ChunkWriter&) = delete;

  void Write(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kChunkBytes) Flush();
  }
  /// The buffer itself, for callers that append piece by piece; call Ready() after a row.
  std::string& Buffer() { return buffer_; }
  void Ready() {
    if (buffer_.size() >= kChunkBytes) Flush();
  }
  /// Sends what is buffered; throws Stopped when the sink refuses it.
  void Flush() {
    if (buffer_.empty()) return;
    if (!sink_(buffer_)) throw Stopped{};
    buffer_.clear();
  }

 private:
  static constexpr size_t kChunkBytes = 64 * 1024;
  const BodySink& sink_;
  std::string buffer_;
};

}  // namespace quenmark::exporter
