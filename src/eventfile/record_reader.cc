#include "eventfile/record_reader.h"

namespace cutspot {

void record_reader::rewind_to_records() {
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

// Sources may return short counts before the end, so keep reading until the block is full
// or the source has nothing more; only then is a partial record known to be the trailing
// one, which is dropped.
bool record_reader::next_block(record_block* block) {
  if (at_end_) return false;
  std::size_t size = 0;
  while (size < BLOCK_SIZE) {
    std::size_t n = source_.read(buffer_ + size, BLOCK_SIZE - size);
    if (n == 0) {
      at_end_ = true;
      failed_ = !source_.error().empty();
      break;
    }
    size += n;
  }
  if (failed_) return false;
  block->next = buffer_;
  block->end = buffer_ + size / EVENT_RECORD_SIZE * EVENT_RECORD_SIZE;
  return block->next != block->end;
}

}  // namespace cutspot
