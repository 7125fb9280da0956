#include "analysis/quiet_intervals.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "event_file_writer.h"

namespace cutspot {
namespace {

using namespace testing;
using span = std::pair<std::int64_t, std::int64_t>;  // start_ns, end_ns; {0, 0} = empty node.

constexpr std::uint32_t DARK = 12, GREY = 100, BRIGHT = 220;
constexpr std::uint32_t QUIET = 1000, LOUD = 5000;

audio_range level_mode() {
  audio_range r;
  r.audio_scale = 2;
  r.silence_threshold = 2800;
  return r;
}

std::vector<span> spans(const interval_detector& d) {
  std::vector<span> out;
  for (const quiet_interval& q : d.intervals) out.emplace_back(q.start_ns, q.end_ns);
  return out;
}

// One record judged on the given levels, in level mode. The levels are set directly,
// and the record's type changes none of them, so each case reads like the rules.
struct moment {
  std::int64_t ns;
  std::uint32_t video, audio;
};

std::vector<span> detect_moments(const std::vector<moment>& moments) {
  interval_detector d;
  EXPECT_TRUE(start_detection(&d, level_mode()));
  // The stream's first record resets the levels; let a neutral one take that role.
  event_record r;
  r.type = 7;
  r.timestamp_ns = 1;
  detect_step(&d, r);
  for (const moment& m : moments) {
    d.tracker.video_level = m.video;
    d.tracker.audio_level = m.audio;
    r.timestamp_ns = m.ns;
    EXPECT_TRUE(detect_step(&d, r));
  }
  finish_detection(&d);
  return spans(d);
}

std::vector<span> detect_file(const std::vector<test_record>& records) {
  const std::string bytes = event_file(records);
  memory_source source(bytes);
  auto reader = std::make_unique<record_reader>(source);
  auto d = std::make_unique<interval_detector>();
  detect_intervals(reader.get(), scan_audio_range(reader.get()), d.get());
  return spans(*d);
}

TEST(QuietIntervals, LevelModeRules) {
  const std::int64_t s = SEC, t10 = 10 * SEC;
  struct {
    const char* name;
    std::vector<moment> moments;
    std::vector<span> expected;
  } cases[] = {
      {"nothing", {}, {{0, 0}}},
      {"ends when the picture turns bright",
       {{t10, DARK, QUIET}, {t10 + s / 2, DARK, QUIET}, {11 * s, BRIGHT, QUIET}},
       {{t10, 11 * s}}},
      {"loud audio after more than a second closes the node",
       {{t10, DARK, QUIET}, {12 * s, DARK, LOUD}},
       {{t10, t10}, {0, 0}}},
      {"loud audio within the second resets the end",
       {{t10, DARK, QUIET}, {t10 + 4 * s / 10, DARK, LOUD}, {t10 + 8 * s / 10, DARK, LOUD}},
       {{t10, t10 + 8 * s / 10}}},
      {"grey and loud: only the end is reset, then the node closes",
       {{t10, DARK, QUIET}, {t10 + s / 2, GREY, LOUD}, {t10 + 3 * s / 2, GREY, LOUD}},
       {{t10, t10 + s / 2}, {0, 0}}},
      {"only the latest span of a node survives",
       {{t10, DARK, QUIET},
        {t10 + 3 * s / 10, BRIGHT, QUIET},
        {t10 + 6 * s / 10, DARK, QUIET},
        {t10 + 9 * s / 10, BRIGHT, QUIET}},
       {{t10 + 6 * s / 10, t10 + 9 * s / 10}}},
      {"exactly one second is not more than a second",
       {{t10, DARK, QUIET}, {t10 + s, DARK, LOUD}},
       {{t10, t10 + s}}},
      {"one nanosecond more is",
       {{t10, DARK, QUIET}, {t10 + s + 1, DARK, LOUD}},
       {{t10, t10}, {0, 0}}},
      {"an earlier record can neither start nor end an interval",
       {{t10, BRIGHT, QUIET},
        {5 * s, DARK, QUIET},
        {t10 + s / 2, DARK, QUIET},
        {5 * s, BRIGHT, QUIET},
        {t10 + 6 * s / 10, BRIGHT, QUIET}},
       {{t10 + s / 2, t10 + 6 * s / 10}}},
      {"the threshold itself is loud; one below is quiet",
       {{t10, DARK, 2800}, {t10 + s / 10, DARK, 2799}, {t10 + s / 5, DARK, 2800}},
       {{t10 + s / 10, t10 + s / 5}}},
      {"dark is at most 31, bright above 200",
       {{t10, 32, QUIET},
        {t10 + s / 10, 31, QUIET},
        {t10 + s / 5, 200, QUIET},
        {t10 + 3 * s / 10, 201, QUIET}},
       {{t10 + s / 10, t10 + 3 * s / 10}}},
      {"loudness splits compare exactly at the far end of time",
       {{1, DARK, QUIET}, {INT64_MAX, DARK, LOUD}},
       {{1, 1}, {0, 0}}}};
  for (auto& c : cases) EXPECT_EQ(detect_moments(c.moments), c.expected) << c.name;
}

TEST(QuietIntervals, GapModeAndWholeFiles) {
  // Audio above 5000 gives gap mode; the breaks below are dark with the audio stale.
  const std::int64_t s = SEC;
  struct {
    const char* name;
    std::vector<test_record> records;
    std::vector<span> expected;
  } cases[] = {{"a pause closes the open node, and the new stretch starts on fresh levels",
                {audio(MS, 20000), video(5 * s, 10), video(7500 * MS, 10), video(7520 * MS, 250)},
                {{5 * s, 5 * s}, {7500 * MS, 7520 * MS}}},
               {"exactly one second is no pause",
                {audio(MS, 20000), video(5 * s, 10), video(6 * s, 10), video(6 * s + 20 * MS, 250)},
                {{5 * s, 6 * s + 20 * MS}}},
               {"one nanosecond more is",
                {audio(MS, 20000), video(5 * s, 10), video(6 * s + 1, 10), video(6 * s + 2, 250)},
                {{5 * s, 5 * s}, {6 * s + 1, 6 * s + 2}}},
               {"a pause from the far past does not overflow",
                {audio(MS, 20000), video(s, 10), {INT64_MAX, 2, 0, {10, 10, 10, 10}, 0}},
                {{s, s}, {INT64_MAX, INT64_MAX}}},
               {"time zero cannot start an interval",
                {video(0, 10), video(0, 10), video(40 * MS, 250)},
                {{0, 0}}},
               {"without audio every level is quiet and the picture alone decides",
                {video(s, 0), video(s + 40 * MS, 30), video(s + 80 * MS, 201),
                 video(s + 120 * MS, 5), video(s + 160 * MS, 100)},
                {{s + 120 * MS, s + 160 * MS}}},
               {"another type is judged on the levels a skipped earlier picture left",
                {audio(MS, 20000), video(s, 250), video(s / 2, 10), other(s + 20 * MS, 9),
                 video(s + 30 * MS, 250)},
                {{s + 20 * MS, s + 30 * MS}}}};
  for (auto& c : cases) EXPECT_EQ(detect_file(c.records), c.expected) << c.name;
}

// Audio every 20 ms and a picture every 40 ms, 1 ms later, over [from, to).
void add_stream(std::vector<test_record>* records, std::int64_t from, std::int64_t to,
                std::uint8_t picture, std::uint32_t sound) {
  for (std::int64_t t = from; t < to; t += 20 * MS) {
    records->push_back(audio(t, sound));
    if ((t - from) % (40 * MS) == 0) records->push_back(video(t + MS, picture));
  }
}

// Dark and quiet at 5 s, dark and loud from 5.5 s, dark and quiet again at 7 s, bright and
// loud from 7.5 s to 8 s. Level mode splits where the sound returned more than a second
// after the start, and within that second every loud record sets the end afresh; gap mode
// keeps one node, in which only the latest span survives.
std::vector<test_record> two_breaks(std::uint32_t loud) {
  std::vector<test_record> r;
  add_stream(&r, 20 * MS, 5 * SEC, 250, loud);
  add_stream(&r, 5 * SEC, 5500 * MS, 10, 100);
  add_stream(&r, 5500 * MS, 7 * SEC, 10, loud);
  add_stream(&r, 7 * SEC, 7500 * MS, 10, 100);
  add_stream(&r, 7500 * MS, 8 * SEC, 250, loud);
  r.push_back(audio(8 * SEC, loud * 5 / 4));  // The loudest value fixes the mode.
  return r;
}

TEST(QuietIntervals, LoudnessSplitsOnlyInLevelMode) {
  EXPECT_EQ(detect_file(two_breaks(16000)), (std::vector<span>{{7 * SEC, 7500 * MS}}));
  EXPECT_EQ(detect_file(two_breaks(4000)),
            (std::vector<span>{{5001 * MS, 6 * SEC}, {7 * SEC, 8 * SEC}}));
}

}  // namespace
}  // namespace cutspot
