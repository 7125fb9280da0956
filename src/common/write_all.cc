#include "common/write_all.h"

#include <poll.h>

#include <cerrno>

namespace cutspot {

int write_all(int fd, const void* data, std::size_t n, write_call write) {
  const auto* bytes = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t written = write(fd, bytes, n);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd ready = {fd, POLLOUT, 0};
        if (poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
      }
      return errno;
    }
    bytes += written;
    n -= static_cast<std::size_t>(written);
  }
  return 0;
}

}  // namespace cutspot
