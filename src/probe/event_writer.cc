#include "probe/event_writer.h"

#include "probe/output_file.h"

namespace cutspot::probe {
namespace {

constexpr std::size_t FLUSH_BYTES = 1 << 16;

}  // namespace

void start_events(event_writer& w, int fd) {
  w.fd = fd;
  w.records = 0;
  w.buffer.assign(EVENT_MAGIC, EVENT_MAGIC + EVENT_HEADER_SIZE);
}

bool add_events(event_writer& w, const std::vector<event_record>& records, std::string* reason) {
  for (const event_record& r : records) {
    std::size_t at = w.buffer.size();
    w.buffer.resize(at + EVENT_RECORD_SIZE);
    encode_event_record(r, w.buffer.data() + at);
    ++w.records;
  }
  if (w.buffer.size() >= FLUSH_BYTES) return flush_events(w, reason);
  return true;
}

bool flush_events(event_writer& w, std::string* reason) {
  bool ok = write_all(w.fd, w.buffer.data(), w.buffer.size(), reason);
  w.buffer.clear();
  return ok;
}

}  // namespace cutspot::probe
