#include "report/output_buffer.h"

#include <unistd.h>

#include <algorithm>

#include "common/write_all.h"

namespace cutspot {

bool fd_sink::write(const char* data, std::size_t n) {
  int err = write_all(fd_, data, n, ::write);
  if (err != 0) error_ = std::strerror(err);
  return err == 0;
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
