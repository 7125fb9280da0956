// Builds event files for tests, record by record, in the on-disk layout.
#ifndef CUTSPOT_TESTS_EVENT_FILE_WRITER_H_
#define CUTSPOT_TESTS_EVENT_FILE_WRITER_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace cutspot::testing {

struct test_record {
  std::int64_t ns = 0;
  std::uint32_t type = 0;
  std::uint32_t value = 0;
  std::array<std::uint8_t, 4> samples = {0, 0, 0, 0};
  std::uint32_t spare = 0;
};

inline constexpr std::int64_t MS = 1000000;
inline constexpr std::int64_t SEC = 1000000000;

inline test_record audio(std::int64_t ns, std::uint32_t value) {
  return {ns, 1, value, {}, 0};
}
inline test_record video(std::int64_t ns, std::uint8_t a, std::uint8_t b, std::uint8_t c,
                         std::uint8_t d) {
  return {ns, 2, 0, {a, b, c, d}, 0};
}
// A picture whose four samples all have the same brightness.
inline test_record video(std::int64_t ns, std::uint8_t level) {
  return video(ns, level, level, level, level);
}
inline test_record other(std::int64_t ns, std::uint32_t type) {
  return {ns, type, 0, {}, 0};
}

inline void append_be(std::string* out, std::uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline std::string encode_record(const test_record& r) {
  std::string out;
  append_be(&out, static_cast<std::uint64_t>(r.ns), 8);
  append_be(&out, r.spare, 4);
  append_be(&out, r.type, 4);
  append_be(&out, r.value, 4);
  for (std::uint8_t s : r.samples) out.push_back(static_cast<char>(s));
  return out;
}

// The 8-byte header, then the records, then `trailing` extra bytes.
inline std::string event_file(const std::vector<test_record>& records, std::size_t trailing = 0) {
  std::string out = "HEADER!!";
  for (const test_record& r : records) out += encode_record(r);
  out.append(trailing, '\x5A');
  return out;
}

}  // namespace cutspot::testing

#endif  // CUTSPOT_TESTS_EVENT_FILE_WRITER_H_
