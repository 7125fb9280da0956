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

  // The next block of records, to be decoded in place: [*begin, *end) holds a whole
  // number of records. Returns false at the end of the records. Passes loop over
  // records this way (see for_each_record) so that the per-record step stays in
  // registers; read_event_record and next_block must not be mixed within a pass.
  bool next_block(const unsigned char** begin, const unsigned char** end) {
    if (pos_ >= end_ && !refill()) return false;
    // A block ends with whole records except the last one, whose tail is dropped.
    const std::size_t whole = (end_ - pos_) / EVENT_RECORD_SIZE * EVENT_RECORD_SIZE;
    *begin = buffer_ + pos_;
    *end = *begin + whole;
    pos_ = end_;
    return whole > 0;
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

// One pass: from the start of the file, step(record) for every record until the records
// end or step returns false. Returns false when step stopped the pass.
template <typename Step>
bool for_each_record(record_reader* reader, Step&& step) {
  reader->rewind_to_records();
  const unsigned char* p;
  const unsigned char* end;
  while (reader->next_block(&p, &end)) {
    for (; p != end; p += EVENT_RECORD_SIZE) {
      if (!step(decode_event_record(p))) return false;
    }
  }
  return true;
}

}  // namespace cutspot

#endif  // CUTSPOT_EVENTFILE_RECORD_READER_H_
