#include "eventfile/record_reader.h"

namespace cutspot {

void record_reader::rewind_to_records() {
  pos_ = end_ = 0;
  at_end_ = failed_;
  if (failed_) return;
  if (!source_.rewind()) {
    failed_ = at_end_ = true;
    return;
  }
  at_end_ = false;
  unsigned char header[EVENT_HEADER_SIZE];
  std::size_t got = 0;
  while (got < EVENT_HEADER_SIZE) {
    std::size_t n = source_.read(header + got, EVENT_HEADER_SIZE - got);
    if (n == 0) break;
    got += n;
  }
  if (got < EVENT_HEADER_SIZE) {
    at_end_ = true;
    failed_ = !source_.error().empty();
  }
}

// Fills the buffer with the next block. Sources
// may return short counts before the end, so keep reading until the block is full or the
// source has nothing more; only then is a partial record known to be the trailing one.
bool record_reader::refill() {
  if (at_end_) return false;
  // Nothing is left over: a full block holds whole records, and a short one was the last.
  pos_ = end_ = 0;
  while (end_ < BLOCK_SIZE) {
    std::size_t n = source_.read(buffer_ + end_, BLOCK_SIZE - end_);
    if (n == 0) {
      at_end_ = true;
      failed_ = !source_.error().empty();
      break;
    }
    end_ += n;
  }
  if (failed_) return false;
  return end_ - pos_ >= EVENT_RECORD_SIZE;
}

}  // namespace cutspot
