// The path of records from the decoders to the file without FFmpeg: whether the pictures
// can stand for the recording, the reorder queue's order and release, the sequencer's
// last repeats, and the writer's bytes across its flushes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "eventfile/event_record.h"
#include "probe/coverage.h"
#include "probe/event_writer.h"
#include "probe/reorder_queue.h"
#include "probe/sequencer.h"

namespace cutspot::probe {
namespace {

constexpr std::int64_t MS = 1'000'000;
constexpr std::int64_t S = 1'000'000'000;

TEST(ProbeCoverage, Thresholds) {
  struct {
    const char* what;
    coverage c;
    std::int64_t length_ns;
    const char* fault;  // Empty: none.
  } cases[] = {
      {"nothing decoded", {}, 20 * S, ""},
      {"whole", {20 * S, 0, 20 * S}, 20 * S, ""},
      {"unknown length", {S, 0, S}, 0, ""},
      {"crowded to the limit", {2 * S + 2 * S, 7, 7 + S}, 0, ""},
      {"crowded",
       {2 * S + 2 * S + 1, 7, 7 + S},
       0,
       "the time stamps cannot be trusted: 4.0 s of pictures have times within 1.0 s"},
      {"all at one time",
       {20 * S, 0, 40 * MS},
       20 * S,
       "the time stamps cannot be trusted: 20.0 s of pictures have times within 0.0 s"},
      {"half", {10 * S, 0, 10 * S}, 20 * S, ""},
      {"under half",
       {10 * S - 1, 0, 10 * S},
       20 * S,
       "only 10.0 s of the recording's 20.0 s could be decoded (damaged?)"},
      {"under half, 2 s short", {S, 0, S}, 3 * S, ""},
      {"under half, just over 2 s short",
       {S - 1, 0, S},
       3 * S,
       "only 1.0 s of the recording's 3.0 s could be decoded (damaged?)"},
      {"a damaged MP4",
       {700 * MS, 0, 700 * MS},
       20 * S,
       "only 0.7 s of the recording's 20.0 s could be decoded (damaged?)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(coverage_fault(c.c, c.length_ns), c.fault) << c.what;
  }
}

TEST(ProbeCoverage, AddsPictures) {
  coverage c;
  // Two recordings joined: the clock carries on, so the span grows with the pictures.
  for (int i = 0; i < 500; ++i) add_picture(c, (i < 250 ? i : i + 5) * 40 * MS, 40 * MS);
  EXPECT_EQ(c.pictures_ns, 20 * S);
  EXPECT_EQ(c.first_ns, 0);
  EXPECT_EQ(c.end_ns, 505 * 40 * MS);
  EXPECT_EQ(coverage_fault(c, 10 * S), "");
  // Absurd values stay far from overflow.
  coverage d;
  add_picture(d, INT64_MIN, INT64_MAX);
  add_picture(d, INT64_MAX, INT64_MAX);
  EXPECT_GT(d.end_ns, d.first_ns);
  EXPECT_EQ(coverage_fault(d, 0), "");
  EXPECT_NE(coverage_fault(d, INT64_MAX), "");
}

}  // namespace
}  // namespace cutspot::probe
