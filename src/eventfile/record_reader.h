// The reading loop shared by every pass: rewind_to_records, then read_event_record until
// it returns false. Bytes are fetched from the byte source in large blocks and records are
// decoded in place, one at a time, so a pass holds one record and memory stays constant
// whatever the file's length.
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

class record_reader {
 public:
  explicit record_reader(byte_source& source) : source_(source) {}
  record_reader(const record_reader&) = delete;
  record_reader& operator=(const record_reader&) = delete;

  // Goes back to the start of the file and skips the header. A file shorter than the
  // header yields no records.
  void rewind_to_records();

  // Fills *record with the next record. Returns false at the end of the records.
  bool read_event_record(event_record* record) {
    if (end_ - pos_ < EVENT_RECORD_SIZE && !refill()) return false;
    *record = decode_event_record(buffer_ + pos_);
    pos_ += EVENT_RECORD_SIZE;
    return true;
  }

  // True once the source has reported a failure; error() says what it was.
  bool failed() const { return failed_; }
  std::string error() const { return source_.error(); }

 private:
  // Blocks are a whole number of records, so a record never straddles two blocks.
  static constexpr std::size_t BLOCK_RECORDS = 8192;
  static constexpr std::size_t BLOCK_SIZE = BLOCK_RECORDS * EVENT_RECORD_SIZE;

  bool refill();

  byte_source& source_;
  unsigned char buffer_[BLOCK_SIZE];
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool at_end_ = true;
  bool failed_ = false;
};

}  // namespace cutspot

#endif  // CUTSPOT_EVENTFILE_RECORD_READER_H_
