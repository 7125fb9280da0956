#include "eventfile/record_reader.h"

#include <algorithm>
#include <cstdint>

namespace cutspot {

namespace {

// The kernel copies every read from the page cache, and on some processors (AMD's, with
// fast short rep movsb) that copy runs about four times slower when the destination lies
// a few bytes past the source modulo 4 KiB. The records start EVENT_HEADER_SIZE bytes
// into the file, and a default block is whole pages, so the buffer starts that far into
// a page too: every read of the file then copies between equal offsets.
constexpr std::size_t PAGE = 4096;

unsigned char* placed(unsigned char* storage) {
  return storage + (EVENT_HEADER_SIZE - reinterpret_cast<std::uintptr_t>(storage)) % PAGE;
}

}  // namespace

record_reader::record_reader(byte_source& source, std::size_t block_records)
    : source_(source),
      block_size_(std::max<std::size_t>(block_records, 1) * EVENT_RECORD_SIZE),
      storage_(new unsigned char[block_size_ + PAGE]),
      buffer_(placed(storage_.get())) {}

pass_status record_reader::fill(std::size_t n) {
  std::size_t got = 0;
  // Sources may return short counts before the end, so keep reading until n are in.
  while (got < n) {
    const std::size_t more = source_.read(buffer_ + got, n - got);
    if (more == 0) {
      return source_.error().empty() ? pass_status::changed : pass_status::read_error;
    }
    got += more;
  }
  return pass_status::ok;
}

pass_status record_reader::rewind_to_records() {
  left_ = 0;
  if (!source_.rewind()) return pass_status::read_error;
  const std::uint64_t count = records();
  if (count == 0) return pass_status::ok;  // A short header holds no record to skip to.
  const pass_status header = fill(EVENT_HEADER_SIZE);
  if (header == pass_status::ok) left_ = count * EVENT_RECORD_SIZE;
  return header;
}

bool record_reader::next_block(record_block* block, pass_status* status) {
  if (left_ == 0) return false;
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left_, block_size_));
  const pass_status filled = fill(n);
  if (filled != pass_status::ok) {
    left_ = 0;
    *status = filled;
    return false;
  }
  left_ -= n;
  block->next = buffer_;
  block->end = buffer_ + n;
  return true;
}

}  // namespace cutspot
