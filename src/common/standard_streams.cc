#include "common/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

namespace cutspot {

bool fill_closed_standard_streams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", O_RDONLY) < 0) return false;
  }
  return true;
}

}  // namespace cutspot
