#include "eventfile/level_tracker.h"

#include <gtest/gtest.h>

#include "event_file_writer.h"

namespace cutspot {
namespace {

using namespace testing;

event_record as_record(const test_record& t) {
  event_record r;
  r.timestamp_ns = t.ns;
  r.type = t.type;
  r.value = t.value;
  for (int i = 0; i < 4; ++i) r.samples[i] = t.samples[i];
  return r;
}

TEST(LevelTracker, VideoLevelIsTheMeanOfTheSamplesPresent) {
  struct {
    std::uint8_t a, b, c, d;
    std::uint32_t level;
  } cases[] = {{10, 0, 20, 0, 15}, {0, 0, 0, 0, 0},           {200, 210, 220, 230, 215},
               {1, 1, 1, 2, 1},    {255, 255, 255, 255, 255}, {0, 0, 0, 7, 7},
               {31, 32, 0, 0, 31}};
  for (auto c : cases) {
    level_tracker t;
    track_levels(&t, as_record(video(MS, c.a, c.b, c.c, c.d)), 1);
    EXPECT_EQ(t.video_level, c.level)
        << int{c.a} << "," << int{c.b} << "," << int{c.c} << "," << int{c.d};
  }
}

TEST(LevelTracker, AudioLevelIsScaledAndWraps) {
  struct {
    std::uint32_t value, scale, level;
  } cases[] = {{300, 3, 900},
               {5000, 2, 10000},
               {0, 7, 0},
               {0x80000000u, 2, 0},
               {0xFFFFFFFFu, 1, 0xFFFFFFFFu},
               {0xFFFFFFFFu, 3, 0xFFFFFFFDu}};
  for (auto c : cases) {
    level_tracker t;
    track_levels(&t, as_record(audio(MS, c.value)), c.scale);
    EXPECT_EQ(t.audio_level, c.level);
    EXPECT_EQ(t.last_audio_ns, MS);
  }
}

TEST(LevelTracker, StalenessBoundaries) {
  struct {
    test_record first, second;
    std::uint32_t video, audio;
  } cases[] = {// A picture older than 70 ms is stale when audio arrives; exactly 70 ms is not.
               {video(1000 * MS, 100), audio(1000 * MS + 70000000, 5), 100, 5},
               {video(1000 * MS, 100), audio(1000 * MS + 70000001, 5), 256, 5},
               // Audio older than 50 ms is stale when a picture arrives; exactly 50 ms is not.
               {audio(1000 * MS, 5), video(1000 * MS + 50000000, 100), 100, 5},
               {audio(1000 * MS, 5), video(1000 * MS + 50000001, 100), 100, 10000},
               // Going back in time never makes a value stale.
               {video(1000 * MS, 100), audio(-1000 * MS, 5), 100, 5},
               // Nor does a difference that does not fit in 64 bits wrap into "not stale".
               {video(INT64_MIN, 100), audio(INT64_MAX, 5), 256, 5},
               {audio(INT64_MIN, 5), video(INT64_MAX, 100), 100, 10000}};
  for (auto& c : cases) {
    level_tracker t;
    t.last_audio_ns = t.last_video_ns = c.first.ns;
    track_levels(&t, as_record(c.first), 1);
    track_levels(&t, as_record(c.second), 1);
    EXPECT_EQ(t.video_level, c.video) << c.first.ns << " then " << c.second.ns;
    EXPECT_EQ(t.audio_level, c.audio) << c.first.ns << " then " << c.second.ns;
  }
}

TEST(LevelTracker, OtherTypesChangeNothing) {
  for (std::uint32_t type : {0u, 3u, 7u, 0x01000000u, 0xFFFFFFFFu}) {
    level_tracker t;
    track_levels(&t, as_record(video(SEC, 10)), 1);
    track_levels(&t, as_record({5 * SEC, type, 77, {1, 2, 3, 4}, 0}), 2);
    EXPECT_EQ(t.video_level, 10u);
    EXPECT_EQ(t.audio_level, 10000u);
    EXPECT_EQ(t.last_video_ns, SEC);
    EXPECT_EQ(t.last_audio_ns, 0);
  }
}

}  // namespace
}  // namespace cutspot
