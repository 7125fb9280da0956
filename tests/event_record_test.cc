#include "eventfile/event_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "event_file_writer.h"

namespace cutspot {
namespace {

using testing::encode_record;
using testing::test_record;

event_record decode(const std::string& bytes) {
  return decode_event_record(reinterpret_cast<const unsigned char*>(bytes.data()));
}

TEST(BigEndian, DecodesMostSignificantByteFirst) {
  const unsigned char bytes[] = {0x01, 0x02, 0x03, 0x04, 0xF5, 0xF6, 0xF7, 0xF8};
  EXPECT_EQ(decode_be32(bytes), 0x01020304u);
  EXPECT_EQ(decode_be32(bytes + 4), 0xF5F6F7F8u);
  EXPECT_EQ(decode_be64(bytes), 0x01020304F5F6F7F8u);
}

TEST(EventRecord, DecodesEveryField) {
  const std::string bytes(
      "\x00\x00\x00\x00\x3B\x9A\xCA\x00"  // one second
      "\xDE\xAD\xBE\xEF"                  // spare
      "\x00\x00\x00\x01"                  // audio
      "\x00\x01\x86\xA0"                  // 100000
      "\x0A\x00\xFF\x14",
      24);
  event_record r = decode(bytes);
  EXPECT_EQ(r.timestamp_ns, 1000000000);
  EXPECT_EQ(r.spare, 0xDEADBEEFu);
  EXPECT_EQ(r.type, RECORD_AUDIO);
  EXPECT_EQ(r.value, 100000u);
  EXPECT_EQ(r.samples[0], 10);
  EXPECT_EQ(r.samples[1], 0);
  EXPECT_EQ(r.samples[2], 255);
  EXPECT_EQ(r.samples[3], 20);
}

TEST(EventRecord, TimestampsAreSigned) {
  struct {
    std::int64_t ns;
  } cases[] = {{0}, {1}, {-1}, {INT64_MIN}, {INT64_MAX}, {-1500000000}};
  for (auto c : cases) {
    EXPECT_EQ(decode(encode_record({c.ns, 2, 0, {}, 0})).timestamp_ns, c.ns);
  }
  EXPECT_EQ(decode(std::string(8, '\xFF') + std::string(16, '\0')).timestamp_ns, -1);
  EXPECT_EQ(decode(std::string("\x80", 1) + std::string(23, '\0')).timestamp_ns, INT64_MIN);
}

TEST(EventRecord, TypeBytesAreBigEndian) {
  std::string bytes = encode_record({0, 0, 0, {}, 0});
  bytes.replace(12, 4, std::string("\x01\x00\x00\x00", 4));
  EXPECT_EQ(decode(bytes).type, 0x01000000u);
  bytes.replace(12, 4, std::string("\x00\x00\x00\x02", 4));
  EXPECT_EQ(decode(bytes).type, RECORD_VIDEO);
}

}  // namespace
}  // namespace cutspot
