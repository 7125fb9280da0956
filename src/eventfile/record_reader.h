// The reading loop shared by every pass: rewind_to_records, then read_event_record until
// the records end (for_each_record). Bytes are fetched from the byte source in large
// blocks and records are decoded in place, one at a time, so a pass holds one record and
// memory stays constant whatever the file's length.
//
// A pass reads exactly the whole records within the source's snapshot length; the bytes
// after the last whole record are never read. A source that delivers fewer bytes than
// that (the file shrank or was truncated meanwhile) makes the pass fail as `changed`,
// and a failure reported by the source as `read_error`: neither is ever taken for the
// end of the records.
#ifndef CUTSPOT_EVENTFILE_RECORD_READER_H_
#define CUTSPOT_EVENTFILE_RECORD_READER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/event_record.h"
#include "eventfile/byte_source.h"
#include "eventfile/pass_status.h"

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

// The number of whole records in an event file of `length` bytes.
inline std::uint64_t whole_records(std::uint64_t length) {
  return length < EVENT_HEADER_SIZE ? 0 : (length - EVENT_HEADER_SIZE) / EVENT_RECORD_SIZE;
}

class record_reader {
 public:
  static constexpr std::size_t DEFAULT_BLOCK_RECORDS = 8192;

  // block_records: how many records one read fetches at most (tests and the fuzzer use
  // small blocks to cross block boundaries often).
  explicit record_reader(byte_source& source, std::size_t block_records = DEFAULT_BLOCK_RECORDS);
  record_reader(const record_reader&) = delete;
  record_reader& operator=(const record_reader&) = delete;

  // The number of records every pass delivers.
  std::uint64_t records() const { return whole_records(source_.length()); }

  // Goes back to the start of the file and skips the header.
  pass_status rewind_to_records();

  // The next block of whole records. Returns false at the end of the records or on a
  // failure, which *status then holds (it is left alone at the end).
  bool next_block(record_block* block, pass_status* status);

  // What the source said went wrong, after a read_error.
  std::string error() const { return source_.error(); }

 private:
  // Reads exactly n bytes into buffer_, or says why not.
  pass_status fill(std::size_t n);

  byte_source& source_;
  std::size_t block_size_;
  std::unique_ptr<unsigned char[]> storage_;  // The buffer, with room to place it.
  unsigned char* buffer_;
  std::uint64_t left_ = 0;  // Record bytes of this pass not yet read.
};

// One pass by blocks: from the start of the file, on_block(record_block) for every block
// of records until they end or on_block returns false, which stops the pass with
// `stopped`.
template <typename OnBlock>
pass_status for_each_block(record_reader* reader, OnBlock&& on_block,
                           pass_status stopped = pass_status::write_error) {
  const pass_status start = reader->rewind_to_records();
  if (start != pass_status::ok) return start;
  pass_status status = pass_status::ok;
  record_block block;
  while (reader->next_block(&block, &status)) {
    if (!on_block(block)) return stopped;
  }
  return status;
}

// One pass: from the start of the file, step(record) for every record until the records
// end or step returns false. A step that returns false stops the pass with `stopped`.
// Only read_event_record touches the source's bytes; the step sees a decoded copy.
template <typename Step>
pass_status for_each_record(record_reader* reader, Step&& step,
                            pass_status stopped = pass_status::write_error) {
  return for_each_block(
      reader,
      [&](record_block block) {
        event_record record;
        while (read_event_record(&block, &record)) {
          if (!step(record)) return false;
        }
        return true;
      },
      stopped);
}

}  // namespace cutspot

#endif  // CUTSPOT_EVENTFILE_RECORD_READER_H_
