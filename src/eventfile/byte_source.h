// Where the passes get their bytes from: the event file in production, a block of memory
// in tests and in the fuzzer. A source can be read from the start any number of times,
// which is what the passes need: each one rereads the whole file.
//
// Its length is fixed once, when the source is made: a recording that is still being
// written is judged as it was at that moment, by every pass alike.
#ifndef CUTSPOT_EVENTFILE_BYTE_SOURCE_H_
#define CUTSPOT_EVENTFILE_BYTE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace cutspot {

class byte_source {
 public:
  virtual ~byte_source() = default;

  // The number of bytes every pass reads: the snapshot length.
  virtual std::uint64_t length() const = 0;

  // Positions the source at offset 0. Returns false on failure, with error() set.
  virtual bool rewind() = 0;

  // Reads up to n bytes into buf and returns how many were read; 0 means the end of the
  // data or a failure, and error() tells the two apart.
  virtual std::size_t read(unsigned char* buf, std::size_t n) = 0;

  // Empty while everything went well; otherwise what went wrong, for a message.
  virtual std::string error() const = 0;
};

// Reads a block of memory that outlives the source.
class memory_source final : public byte_source {
 public:
  explicit memory_source(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t length() const override { return bytes_.size(); }
  bool rewind() override;
  std::size_t read(unsigned char* buf, std::size_t n) override;
  std::string error() const override { return {}; }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

// Reads an open file descriptor of a regular file, which it owns and closes.
class file_source final : public byte_source {
 public:
  file_source(int fd, std::uint64_t length) : fd_(fd), length_(length) {}
  ~file_source() override;
  file_source(const file_source&) = delete;
  file_source& operator=(const file_source&) = delete;

  std::uint64_t length() const override { return length_; }
  bool rewind() override;
  std::size_t read(unsigned char* buf, std::size_t n) override;
  std::string error() const override { return error_; }

 private:
  int fd_;
  std::uint64_t length_;
  std::string error_;
};

enum class open_status {
  opened,
  cannot_open,  // The name could not be opened at all: a usage error.
  unusable,     // It opened, but is not a regular file: the run fails.
};

struct open_result {
  open_status status = open_status::cannot_open;
  std::unique_ptr<byte_source> source;  // Set when opened.
  std::string reason;                   // Otherwise, why not, for the user.
};

// Opens an event file for reading and fixes its length. Succeeds only for a regular file,
// because the passes reread it from the start; a FIFO or a directory would give them
// different bytes or none. A FIFO is refused at once, without waiting for a writer.
open_result open_event_file(const std::string& name);

// Whether the name leads to an existing file; nothing is opened.
bool file_exists_on_disk(const std::string& name);

}  // namespace cutspot

#endif  // CUTSPOT_EVENTFILE_BYTE_SOURCE_H_
