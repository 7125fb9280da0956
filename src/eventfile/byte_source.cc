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
  close(fd_);
}

bool file_source::rewind() {
  if (lseek(fd_, 0, SEEK_SET) < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  return true;
}

std::size_t file_source::read(unsigned char* buf, std::size_t n) {
  for (;;) {
    const ssize_t got = ::read(fd_, buf, n);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno == EINTR) continue;
    error_ = std::strerror(errno);
    return 0;
  }
}

open_result open_event_file(const std::string& name) {
  open_result result;
  // Non-blocking, so that a FIFO is refused at once instead of waiting for a writer.
  const int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    result.reason = std::strerror(errno);
    return result;
  }
  result.status = open_status::unusable;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    result.reason = std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    result.reason = S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file";
  } else if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    result.reason = std::strerror(errno);
  } else {
    // The length as of now is the snapshot every pass reads. Pseudo-files that report
    // size 0 are read as empty, instead of for ever.
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    result.status = open_status::opened;
    result.source = std::make_unique<file_source>(fd, static_cast<std::uint64_t>(st.st_size));
    return result;
  }
  close(fd);
  return result;
}

bool file_exists_on_disk(const std::string& name) {
  struct stat st;
  return stat(name.c_str(), &st) == 0;
}

}  // namespace cutspot
