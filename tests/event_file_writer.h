// Builds event files for tests, record by record, in the on-disk layout.
#ifndef CUTSPOT_TESTS_EVENT_FILE_WRITER_H_
#define CUTSPOT_TESTS_EVENT_FILE_WRITER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "common/event_record.h"
#include "common/time_units.h"

namespace cutspot::testing {

inline constexpr std::int64_t MS = NS_PER_MS;
inline constexpr std::int64_t SEC = NS_PER_SECOND;

inline event_record audio(std::int64_t ns, std::uint32_t value) {
  event_record r;
  r.timestamp_ns = ns;
  r.type = RECORD_AUDIO;
  r.value = value;
  return r;
}
inline event_record video(std::int64_t ns, unsigned char a, unsigned char b, unsigned char c,
                          unsigned char d) {
  event_record r;
  r.timestamp_ns = ns;
  r.type = RECORD_VIDEO;
  r.samples[0] = a;
  r.samples[1] = b;
  r.samples[2] = c;
  r.samples[3] = d;
  return r;
}
// A picture whose four samples all have the same brightness.
inline event_record video(std::int64_t ns, unsigned char level) {
  return video(ns, level, level, level, level);
}
inline event_record other(std::int64_t ns, std::uint32_t type) {
  event_record r;
  r.timestamp_ns = ns;
  r.type = type;
  return r;
}

// The 8-byte header, then the records, then `trailing` extra bytes.
inline std::string event_file(const std::vector<event_record>& records, std::size_t trailing = 0) {
  std::string out = "HEADER!!";
  for (const event_record& r : records) {
    unsigned char bytes[EVENT_RECORD_SIZE];
    encode_event_record(r, bytes);
    out.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
  }
  out.append(trailing, '\x5A');
  return out;
}

}  // namespace cutspot::testing

#endif  // CUTSPOT_TESTS_EVENT_FILE_WRITER_H_
