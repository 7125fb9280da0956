// Reading event files: fixed-width decoding, whole records only, failures at every byte,
// and the level tracker. A file read as long as it was when opened: process_test.cc.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/audio_range.h"
#include "analysis/level_tracker.h"
#include "event_file_writer.h"
#include "eventfile/record_reader.h"
#include "in_memory_run.h"

namespace cutspot {
namespace {

using namespace testing;

TEST(EventRecord, DecodesEveryFieldInPlace) {
  // Every byte different, most significant first.
  const unsigned char bytes[24] = {0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA, 0x99, 0x88,  // time
                                   0x11, 0x22, 0x33, 0x44,                          // spare
                                   1,    0,    0,    0,                             // type
                                   0x80, 0,    1,    2,                             // value
                                   10,   0,    20,   255};
  const event_record r = decode_event_record(bytes);
  // The type is far above 2, not an audio record.
  EXPECT_EQ(std::tuple(r.timestamp_ns, r.spare, r.type, r.value, r.samples[0], r.samples[1],
                       r.samples[2], r.samples[3]),
            std::tuple(static_cast<std::int64_t>(0xFFEEDDCCBBAA9988), 0x11223344u, 0x01000000u,
                       0x80000102u, 10, 0, 20, 255));
  unsigned char again[24];
  encode_event_record(r, again);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(again), 24),
            std::string(reinterpret_cast<const char*>(bytes), 24));
}

// The times of the records one pass delivers, then how it ended.
struct pass {
  std::vector<std::int64_t> times;
  pass_status status;
};

pass read_pass(record_reader* reader) {
  pass p;
  p.status = for_each_record(reader, [&](const event_record& r) {
    p.times.push_back(r.timestamp_ns);
    return true;
  });
  return p;
}

TEST(RecordReader, WholeRecordsOnlyAtEverySizeAndBlock) {
  const std::string three = event_file({video(1, 9), audio(2, 9), other(3, 7)}, 23);
  for (std::size_t block : {1, 2, 3, 8192}) {
    for (std::size_t size = 0; size <= three.size(); ++size) {
      const std::size_t whole = size < 8 ? 0 : std::min<std::size_t>((size - 8) / 24, 3);
      std::vector<std::int64_t> expected;
      for (std::size_t i = 1; i <= whole; ++i) expected.push_back(static_cast<std::int64_t>(i));
      memory_source source(std::string_view(three).substr(0, size));
      record_reader reader(source, block);
      EXPECT_EQ(reader.records(), whole);
      for (int again = 0; again < 2; ++again) {  // Every pass reads from the start.
        const pass p = read_pass(&reader);
        EXPECT_EQ(p.status, pass_status::ok);
        EXPECT_EQ(p.times, expected) << size << " bytes, blocks of " << block;
      }
    }
  }
}

// A failure anywhere within the records is never taken for their end; one in the
// trailing bytes is never seen, as they are never read.
TEST(RecordReader, FailuresAtEveryByteEndThePassAsFailed) {
  const std::string bytes = event_file({video(1, 9), audio(2, 9), other(3, 7)}, 11);
  const std::size_t record_end = 8 + 3 * 24;
  for (auto how : {faulty_source::read_error, faulty_source::shrinks}) {
    for (std::size_t at = 0; at <= bytes.size(); ++at) {
      faulty_source source(bytes, at, how);
      record_reader reader(source, 2);
      const pass p = read_pass(&reader);
      if (at >= record_end) {
        EXPECT_EQ(p.status, pass_status::ok) << at;
        EXPECT_EQ(p.times.size(), 3u);
      } else {
        EXPECT_EQ(p.status,
                  how == faulty_source::shrinks ? pass_status::changed : pass_status::read_error)
            << at;
        // Only records of blocks read completely were delivered.
        EXPECT_LE(p.times.size(), at < 8 ? 0 : (at - 8) / 24) << at;
      }
    }
  }
}

// Level tracking, one table: records applied in order, then the levels.
TEST(LevelTracker, Rules) {
  struct row {
    const char* what;
    std::vector<event_record> records;
    std::uint32_t scale;
    std::uint32_t video, audio;
  };
  const row rows[] = {
      {"mean of the samples present", {video(1, 10, 0, 20, 0)}, 1, 15, AUDIO_FULL_SCALE},
      {"no samples is black", {video(1, 0, 0, 0, 0)}, 1, 0, AUDIO_FULL_SCALE},
      {"four samples", {video(1, 200, 210, 220, 230)}, 1, 215, AUDIO_FULL_SCALE},
      {"remainder dropped", {video(1, 1, 1, 1, 2)}, 1, 1, AUDIO_FULL_SCALE},
      {"three samples", {video(1, 10, 11, 0, 12)}, 1, 11, AUDIO_FULL_SCALE},
      {"one sample", {video(1, 0, 0, 77, 0)}, 1, 77, AUDIO_FULL_SCALE},
      {"scaled audio", {audio(1, 300)}, 3, VIDEO_LEVEL_NONE, 900},
      {"32-bit wrap of the product", {audio(1, 0x80000001)}, 2, VIDEO_LEVEL_NONE, 2},
      {"picture 70 ms old: fresh", {video(SEC, 9), audio(SEC + 70 * MS, 1)}, 1, 9, 1},
      {"70 ms + 1 ns: stale", {video(SEC, 9), audio(SEC + 70 * MS + 1, 1)}, 1, VIDEO_LEVEL_NONE, 1},
      {"audio 50 ms old: fresh", {audio(SEC, 7), video(SEC + 50 * MS, 9)}, 1, 9, 7},
      {"50 ms + 1 ns: stale", {audio(SEC, 7), video(SEC + 50 * MS + 1, 9)}, 1, 9, AUDIO_FULL_SCALE},
      {"other types: no change", {audio(1, 7), video(2, 9), other(SEC, 7)}, 1, 9, 7},
      {"no overflow", {video(INT64_MIN, 9), audio(INT64_MAX, 5)}, 1, VIDEO_LEVEL_NONE, 5},
      {"backwards: never stale", {video(INT64_MAX, 9), audio(INT64_MIN, 5)}, 1, 9, 5},
  };
  for (const row& r : rows) {
    level_tracker t;
    for (const event_record& record : r.records) track_levels(&t, record, r.scale);
    EXPECT_EQ(std::tuple(t.video_level, t.audio_level), std::tuple(r.video, r.audio)) << r.what;
  }
  level_tracker t;
  track_levels(&t, audio(5, 9), 1);
  track_levels(&t, video(6, 3), 1);
  reset_levels(&t);
  // The levels reset, the times kept.
  EXPECT_EQ(std::tuple(t.video_level, t.audio_level, t.last_audio_ns, t.last_video_ns),
            std::tuple(VIDEO_LEVEL_NONE, AUDIO_FULL_SCALE, 5, 6));
}

recording_scan scan_of(const std::vector<event_record>& records) {
  const std::string bytes = event_file(records);
  memory_source source(bytes);
  record_reader reader(source);
  recording_scan scan;
  EXPECT_EQ(scan_audio_range(&reader, &scan), pass_status::ok);
  return scan;
}

TEST(AudioRange, ScaleThresholdAndSpan) {
  // The scale and silence threshold of each list of audio values, after a picture and a
  // record of another type.
  const std::vector<std::uint32_t> lists[] = {
      {1000, 5000, 3000}, {0, 20000}, {10, 100}, {400}, {}, {5001}, {5000}, {0},
      {0xFFFFFFFF, 0},    {10000}};
  std::string found;
  for (const std::vector<std::uint32_t>& values : lists) {
    std::vector<event_record> records = {video(1, 9), other(2, 3)};
    for (std::uint32_t v : values) records.push_back(audio(3, v));
    const recording_scan scan = scan_of(records);
    found += std::to_string(scan.range.audio_scale) + "/" +
             std::to_string(scan.range.silence_threshold) + " ";
    EXPECT_EQ(std::tuple(scan.records, scan.unknown), std::tuple(records.size(), 1u));
  }
  EXPECT_EQ(found,
            "2/2800 1/2000 100/1900 25/10000 1/4294967295 1/5001 2/10000 1/0 1/429496729 "
            "1/10000 ");
  const recording_scan scan =
      scan_of({video(5, 1), audio(-7, 1), video(INT64_MAX, 1), other(3, 9)});
  EXPECT_EQ(std::tuple(scan.earliest_ns, scan.latest_ns, scan.last_ns),
            std::tuple(-7, INT64_MAX, 3));
}

}  // namespace
}  // namespace cutspot
