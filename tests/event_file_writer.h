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

inline event_record other(std::int64_t ns, std::uint32_t type) {
  event_record r;
  r.timestamp_ns = ns;
  r.type = type;
  return r;
}
inline event_record audio(std::int64_t ns, std::uint32_t value) {
  event_record r = other(ns, RECORD_AUDIO);
  r.value = value;
  return r;
}
inline event_record video(std::int64_t ns, unsigned char a, unsigned char b, unsigned char c,
                          unsigned char d) {
  event_record r = other(ns, RECORD_VIDEO);
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

// Loud programme, a record of each kind every `every` from 1 s to `last`, and a dark,
// quiet moment at each of `marks` (in order): quiet sound 10 ms before, a dark picture at
// the time itself, loud sound 1.05 s after. Each gives a mark at exactly its time.
inline std::string marked(std::int64_t every, std::int64_t last,
                          const std::vector<std::int64_t>& marks) {
  std::vector<event_record> r;
  std::size_t next = 0;
  for (std::int64_t t = SEC; t <= last;) {
    if (next < marks.size() && marks[next] - 10 * MS <= t) {
      const std::int64_t m = marks[next++];
      r.insert(r.end(), {audio(m - 10 * MS, 10), video(m, 5), audio(m + 1050 * MS, 5000)});
      t = m + 1100 * MS;
      continue;
    }
    r.insert(r.end(), {audio(t, 5000), video(t + 20 * MS, 180)});
    t += every;
  }
  r.push_back(audio(last, 5000));
  return event_file(r);
}

}  // namespace cutspot::testing

#endif  // CUTSPOT_TESTS_EVENT_FILE_WRITER_H_
