#include "report/output_buffer.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace cutspot {

bool fd_sink::write(const char* data, std::size_t n) {
  while (n > 0) {
    ssize_t written = ::write(fd_, data, n);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        // A non-blocking descriptor that is full: wait until it takes more.
        pollfd ready = {fd_, POLLOUT, 0};
        if (poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
      }
      error_ = std::strerror(errno);
      return false;
    }
    data += written;
    n -= static_cast<std::size_t>(written);
  }
  return true;
}

void output_buffer::append(std::string_view text) {
  while (!text.empty()) {
    std::size_t n = std::min(text.size(), MAX_RESERVE);
    std::memcpy(reserve(n), text.data(), n);
    commit(n);
    text.remove_prefix(n);
  }
}

bool output_buffer::flush() {
  if (!failed_ && used_ > 0 && !sink_.write(buffer_, used_)) failed_ = true;
  used_ = 0;
  return !failed_;
}

}  // namespace cutspot
