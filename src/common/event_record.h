// One measurement of an event file, and its on-disk layout.
//
// An event file is an 8-byte header (never examined) followed by 24-byte records:
//   offset 0  8 bytes  timestamp_ns  signed, nanoseconds from the start of the recording
//   offset 8  4 bytes  spare         not interpreted
//   offset 12 4 bytes  type          1 = audio level, 2 = video level, others passed on
//   offset 16 4 bytes  value         raw audio loudness (audio records)
//   offset 20 4 bytes  samples       four brightness bytes, 0 = no sample (video records)
// All multi-byte fields are big-endian. Trailing bytes short of a whole record are ignored.
#ifndef CUTSPOT_COMMON_EVENT_RECORD_H_
#define CUTSPOT_COMMON_EVENT_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/big_endian.h"

namespace cutspot {

inline constexpr std::size_t EVENT_HEADER_SIZE = 8;
inline constexpr std::size_t EVENT_RECORD_SIZE = 24;

inline constexpr std::uint32_t RECORD_AUDIO = 1;
inline constexpr std::uint32_t RECORD_VIDEO = 2;

struct event_record {
  std::int64_t timestamp_ns = 0;
  std::uint32_t spare = 0;
  std::uint32_t type = 0;
  std::uint32_t value = 0;
  unsigned char samples[4] = {0, 0, 0, 0};
};

// Decodes the EVENT_RECORD_SIZE bytes at p.
inline event_record decode_event_record(const unsigned char* p) {
  event_record r;
  // Two's complement conversion is well defined since C++20.
  r.timestamp_ns = static_cast<std::int64_t>(decode_be64(p));
  r.spare = decode_be32(p + 8);
  r.type = decode_be32(p + 12);
  r.value = decode_be32(p + 16);
  std::memcpy(r.samples, p + 20, sizeof r.samples);
  return r;
}

// Writes the record's EVENT_RECORD_SIZE bytes at p, as decode_event_record reads them.
inline void encode_event_record(const event_record& r, unsigned char* p) {
  encode_be64(p, static_cast<std::uint64_t>(r.timestamp_ns));
  encode_be32(p + 8, r.spare);
  encode_be32(p + 12, r.type);
  encode_be32(p + 16, r.value);
  std::memcpy(p + 20, r.samples, sizeof r.samples);
}

}  // namespace cutspot

#endif  // CUTSPOT_COMMON_EVENT_RECORD_H_
