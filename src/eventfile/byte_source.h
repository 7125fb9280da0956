// Where the passes get their bytes from: the event file in production, a block of memory
// in tests and in the fuzzer. A source can be read from the start any number of times,
// which is what the passes need: each one rereads the whole file.
#ifndef CUTSPOT_EVENTFILE_BYTE_SOURCE_H_
#define CUTSPOT_EVENTFILE_BYTE_SOURCE_H_

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace cutspot {

class byte_source {
 public:
  virtual ~byte_source() = default;

  // Positions the source at offset 0. Returns false on failure, with error() set.
  virtual bool rewind() = 0;

  // Reads up to n bytes into buf and returns how many were read. Fewer than n means the
  // end of the data or a failure; error() tells the two apart.
  virtual std::size_t read(unsigned char* buf, std::size_t n) = 0;

  // Empty while everything went well; otherwise what went wrong, for a message.
  virtual std::string error() const = 0;
};

// Reads a block of memory that outlives the source.
class memory_source final : public byte_source {
 public:
  explicit memory_source(std::string_view bytes) : bytes_(bytes) {}
  bool rewind() override;
  std::size_t read(unsigned char* buf, std::size_t n) override;
  std::string error() const override { return {}; }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

// Reads an open stdio stream, which it owns and closes.
class file_source final : public byte_source {
 public:
  explicit file_source(std::FILE* file) : file_(file) {}
  ~file_source() override;
  file_source(const file_source&) = delete;
  file_source& operator=(const file_source&) = delete;

  bool rewind() override;
  std::size_t read(unsigned char* buf, std::size_t n) override;
  std::string error() const override { return error_; }

 private:
  std::FILE* file_;
  std::string error_;
};

// Opens an event file for reading. Succeeds only for a regular file, because the passes
// reread it from the start; a FIFO or a directory would give them different bytes or none.
// On failure returns null and sets *reason to a text for the user; *usage_error is true
// when the name could not be opened at all (as opposed to opening something unusable).
std::unique_ptr<byte_source> open_event_file(const std::string& name, std::string* reason,
                                             bool* usage_error);

}  // namespace cutspot

#endif  // CUTSPOT_EVENTFILE_BYTE_SOURCE_H_
