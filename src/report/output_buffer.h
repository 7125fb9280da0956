// Standard output (or any other byte sink) behind a large buffer. Report lines are
// assembled directly in the buffer and leave it in big chunks, so a graph of millions
// of lines costs a handful of system calls. The first failed write is remembered and
// everything after it is dropped, so a sink that failed once receives nothing more;
// passes check failed() to stop at once instead of formatting for nobody.
#ifndef CUTSPOT_REPORT_OUTPUT_BUFFER_H_
#define CUTSPOT_REPORT_OUTPUT_BUFFER_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace cutspot {

class byte_sink {
 public:
  virtual ~byte_sink() = default;
  // Writes all n bytes; returns false, with error() set, if that failed.
  virtual bool write(const char* data, std::size_t n) = 0;
  virtual std::string error() const = 0;
};

// A file descriptor, such as standard output. A non-blocking one is waited on when full.
class fd_sink final : public byte_sink {
 public:
  explicit fd_sink(int fd) : fd_(fd) {}
  bool write(const char* data, std::size_t n) override;
  std::string error() const override { return error_; }

 private:
  int fd_;
  std::string error_;
};

// Collects everything in memory, for tests and the fuzzer.
class string_sink final : public byte_sink {
 public:
  bool write(const char* data, std::size_t n) override {
    text.append(data, n);
    return true;
  }
  std::string error() const override { return {}; }
  std::string text;
};

// Counts what it is given and keeps nothing, for benchmarks.
class counting_sink final : public byte_sink {
 public:
  bool write(const char* /*data*/, std::size_t n) override {
    bytes += n;
    return true;
  }
  std::string error() const override { return {}; }
  std::uint64_t bytes = 0;
};

class output_buffer {
 public:
  // The longest piece ever reserved at once; far above any report line.
  static constexpr std::size_t MAX_RESERVE = 4096;

  explicit output_buffer(byte_sink& sink) : sink_(sink) {}
  ~output_buffer() = default;
  output_buffer(const output_buffer&) = delete;
  output_buffer& operator=(const output_buffer&) = delete;

  // Returns room for at least n ≤ MAX_RESERVE bytes; commit() says how many were used.
  char* reserve(std::size_t n) {
    if (CAPACITY - used_ < n) flush();
    return buffer_ + used_;
  }
  void commit(std::size_t n) { used_ += n; }

  void append(std::string_view text);
  void append(char c) {
    *reserve(1) = c;
    commit(1);
  }

  // Passes everything buffered to the sink. Returns false once any write has failed.
  bool flush();

  bool failed() const { return failed_; }
  std::string error() const { return sink_.error(); }

 private:
  static constexpr std::size_t CAPACITY = 1 << 18;

  byte_sink& sink_;
  char buffer_[CAPACITY];
  std::size_t used_ = 0;
  bool failed_ = false;
};

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_OUTPUT_BUFFER_H_
