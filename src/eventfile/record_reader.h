// The reading loop shared by every pass: rewind_to_records, then read_event_record until
// the records end (for_each_record). Bytes are fetched from the byte source in large
// blocks and records are decoded in place, one at a time, so a pass holds one record and
// memory stays constant whatever the file's length.
//
// The end of the records is the first read that cannot deliver a whole record: a short
// tail is simply the end. A failure reported by the source also ends the records, but
// failed() then says so, and the caller must not take the pass as complete.
#ifndef CUTSPOT_EVENTFILE_RECORD_READER_H_
#define CUTSPOT_EVENTFILE_RECORD_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "eventfile/byte_source.h"
#include "eventfile/event_record.h"

namespace cutspot {

// A run of whole records in the reader's buffer, read one at a time.
struct record_block {
  const unsigned char* next = nullptr;
  const unsigned char* end = nullptr;
};

// Decodes the block's next record into *record. Returns false when the block is used up.
inline bool read_event_record(record_block* block, event_record* record) {
  if (block->next == block->end) return false;
  *record = decode_event_record(block->next);
  block->next += EVENT_RECORD_SIZE;
  return true;
}

class record_reader {
 public:
  explicit record_reader(byte_source& source) : source_(source) {}
  record_reader(const record_reader&) = delete;
  record_reader& operator=(const record_reader&) = delete;

  // Goes back to the start of the file and skips the header. A file shorter than the
  // header yields no records.
  void rewind_to_records();

  // The next block of whole records. Returns false at the end of the records.
  bool next_block(record_block* block);

  // True once the source has reported a failure; error() says what it was.
  bool failed() const { return failed_; }
  std::string error() const { return source_.error(); }

 private:
  // Blocks are a whole number of records, so a record never straddles two blocks.
  static constexpr std::size_t BLOCK_RECORDS = 8192;
  static constexpr std::size_t BLOCK_SIZE = BLOCK_RECORDS * EVENT_RECORD_SIZE;

  byte_source& source_;
  unsigned char buffer_[BLOCK_SIZE];
  bool at_end_ = true;
  bool failed_ = false;
};

// One pass: from the start of the file, step(record) for every record until the records
// end or step returns false. Returns false when step stopped the pass. The block lives
// here, in registers, while the step updates the pass's state.
template <typename Step>
bool for_each_record(record_reader* reader, Step&& step) {
  reader->rewind_to_records();
  record_block block;
  event_record record;
  while (reader->next_block(&block)) {
    while (read_event_record(&block, &record)) {
      if (!step(record)) return false;
    }
  }
  return true;
}

}  // namespace cutspot

#endif  // CUTSPOT_EVENTFILE_RECORD_READER_H_
