#include "eventfile/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <cerrno>
#include <cstring>

namespace cutspot {

bool memory_source::rewind() {
  pos_ = 0;
  return true;
}

std::size_t memory_source::read(unsigned char* buf, std::size_t n) {
  std::size_t count = std::min(n, bytes_.size() - pos_);
  if (count > 0) std::memcpy(buf, bytes_.data() + pos_, count);
  pos_ += count;
  return count;
}

file_source::~file_source() {
  std::fclose(file_);
}

bool file_source::rewind() {
  if (std::fseek(file_, 0, SEEK_SET) != 0) {
    error_ = std::strerror(errno);
    return false;
  }
  std::clearerr(file_);
  return true;
}

std::size_t file_source::read(unsigned char* buf, std::size_t n) {
  std::size_t count = std::fread(buf, 1, n, file_);
  if (count < n && std::ferror(file_)) error_ = std::strerror(errno);
  return count;
}

std::unique_ptr<byte_source> open_event_file(const std::string& name, std::string* reason,
                                             bool* usage_error) {
  *usage_error = false;
  // Non-blocking, so that a FIFO is refused at once instead of waiting for a writer.
  int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *usage_error = true;
    *reason = std::strerror(errno);
    return nullptr;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    *reason = std::strerror(errno);
    close(fd);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    *reason = S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file";
    close(fd);
    return nullptr;
  }
  std::FILE* file = nullptr;
  if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
      (file = fdopen(fd, "rb")) == nullptr) {
    *reason = std::strerror(errno);
    close(fd);
    return nullptr;
  }
  // Reads come in large blocks already; a second buffer in stdio would only copy them.
  std::setvbuf(file, nullptr, _IONBF, 0);
  return std::make_unique<file_source>(file);
}

}  // namespace cutspot
