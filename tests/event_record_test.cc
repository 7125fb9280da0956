#include "eventfile/event_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "event_file_writer.h"

namespace cutspot {
namespace {

event_record decode(const std::string& bytes) {
  return decode_event_record(reinterpret_cast<const unsigned char*>(bytes.data()));
}

TEST(EventRecord, DecodesBigEndianFields) {
  event_record r =
      decode(std::string("\x00\x00\x00\x00\x3B\x9A\xCA\x00"  // one second
                         "\xDE\xAD\xBE\xEF"                  // spare
                         "\x00\x00\x00\x01"                  // audio
                         "\x00\x01\x86\xA0"                  // 100000
                         "\x0A\x00\xFF\x14",
                         24));
  EXPECT_EQ(r.timestamp_ns, 1000000000);
  EXPECT_EQ(r.spare, 0xDEADBEEFu);
  EXPECT_EQ(r.type, RECORD_AUDIO);
  EXPECT_EQ(r.value, 100000u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r.samples), 4), std::string("\x0A\x00\xFF\x14", 4));
  // Type bytes the wrong way round are a type far above 2.
  EXPECT_EQ(
      decode(std::string(12, '\0') + std::string("\x01\x00\x00\x00", 4) + std::string(8, '\0'))
          .type,
      0x01000000u);
}

TEST(EventRecord, TimestampsAreSigned) {
  for (std::int64_t ns : {std::int64_t{0}, std::int64_t{1}, std::int64_t{-1}, INT64_MIN, INT64_MAX,
                          std::int64_t{-1500000000}}) {
    EXPECT_EQ(decode(testing::encode_record({ns, 2, 0, {}, 0})).timestamp_ns, ns);
  }
  EXPECT_EQ(decode(std::string(8, '\xFF') + std::string(16, '\0')).timestamp_ns, -1);
}

}  // namespace
}  // namespace cutspot
