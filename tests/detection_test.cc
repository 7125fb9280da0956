// Quiet-dark intervals and the marks chosen from them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "analysis/marks.h"
#include "analysis/quiet_intervals.h"
#include "event_file_writer.h"

namespace cutspot {
namespace {

using namespace testing;
using span = std::pair<std::int64_t, std::int64_t>;  // start_ns, end_ns

constexpr std::uint32_t DARK = 31, GREY = 32, BRIGHT = 201, LIT = 200;
constexpr std::uint32_t QUIET = 2799, LOUD = 2800;
constexpr std::int64_t S = SEC;

// One record judged on the given levels, in level mode with threshold 2800. The levels
// are set directly and the record's type changes none of them, so each row reads like
// the rules.
struct moment {
  std::int64_t ns;
  std::uint32_t video, audio;
};

std::vector<span> detect_moments(const std::vector<moment>& moments) {
  audio_range range;
  range.audio_scale = 2;
  range.silence_threshold = 2800;
  level_walk<split_mode::levels, level_view::detection> walk(range);
  interval_detector d;
  std::vector<span> out;
  quiet_interval closed;
  // The walk's times with the moment's levels in place of the tracker's.
  event_record r = other(1, 7);
  for (const moment& m : moments) {
    r.timestamp_ns = m.ns;
    level_step step = walk.step(r);
    step.quiet = m.audio < range.silence_threshold;
    level_tracker levels;
    levels.video_level = m.video;
    levels.audio_level = m.audio;
    if (detect_step<split_mode::levels>(&d, r, step, levels, &closed)) {
      out.emplace_back(closed.start_ns, closed.end_ns);
    }
  }
  if (finish_detection(&d, walk.latest_ns(), &closed))
    out.emplace_back(closed.start_ns, closed.end_ns);
  return out;
}

TEST(QuietIntervals, LevelModeRules) {
  struct row {
    const char* what;
    std::vector<moment> moments;
    std::vector<span> intervals;
  };
  const row rows[] = {
      {"nothing dark", {{10 * S, BRIGHT, QUIET}}, {}},
      {"dark and quiet until bright",
       {{10 * S, DARK, QUIET}, {10500 * MS, DARK, QUIET}, {11 * S, BRIGHT, QUIET}},
       {{10 * S, 11 * S}}},
      {"31 is dark, 32 is not",
       {{10 * S, GREY, QUIET}, {11 * S, DARK, QUIET}, {12 * S, BRIGHT, QUIET}},
       {{11 * S, 12 * S}}},
      {"200 is not bright, 201 is",
       {{10 * S, DARK, QUIET}, {11 * S, LIT, QUIET}, {12 * S, BRIGHT, QUIET}},
       {{10 * S, 12 * S}}},
      {"loud more than a second after the start closes the entry",
       {{10 * S, DARK, QUIET}, {12 * S, DARK, LOUD}},
       {{10 * S, 10 * S}}},
      {"loud within the second resets the end, which moves on",
       {{10 * S, DARK, QUIET}, {10400 * MS, DARK, LOUD}, {10800 * MS, DARK, LOUD}},
       {{10 * S, 10800 * MS}}},
      {"loud exactly a second after the start does not close",
       {{10 * S, DARK, QUIET}, {11 * S, DARK, LOUD}, {11 * S + 1, BRIGHT, LOUD}},
       {{10 * S, 11 * S}}},
      {"grey and loud: the end resets, then the entry closes at the last counted record",
       {{10 * S, DARK, QUIET}, {10500 * MS, GREY, LOUD}, {11500 * MS, GREY, LOUD}},
       {{10 * S, 10500 * MS}}},
      {"only the latest span of an entry survives",
       {{10 * S, DARK, QUIET},
        {10300 * MS, BRIGHT, QUIET},
        {10600 * MS, DARK, QUIET},
        {10900 * MS, BRIGHT, QUIET}},
       {{10600 * MS, 10900 * MS}}},
      {"closing keeps an end that was already set",
       {{10 * S, DARK, QUIET},
        {10300 * MS, BRIGHT, QUIET},
        {10600 * MS, BRIGHT, QUIET},
        {12 * S, BRIGHT, LOUD}},
       {{10 * S, 10300 * MS}}},
      {"a record back in time neither starts nor ends, nor moves the time",
       {{10 * S, DARK, QUIET}, {9 * S, BRIGHT, QUIET}, {10 * S + 5, BRIGHT, QUIET}},
       {{10 * S, 10 * S + 5}}},
      {"open at the end: ends at the last counted record",
       {{10 * S, DARK, QUIET}, {11 * S, DARK, QUIET}, {5 * S, BRIGHT, QUIET}},
       {{10 * S, 11 * S}}},
  };
  for (const row& r : rows) EXPECT_EQ(detect_moments(r.moments), r.intervals) << r.what;
}

std::vector<span> detect_file(const std::vector<event_record>& records) {
  const std::string bytes = event_file(records);
  memory_source source(bytes);
  record_reader reader(source, 2);
  recording_scan scan;
  EXPECT_EQ(scan_audio_range(&reader, &scan), pass_status::ok);
  std::vector<span> out;
  EXPECT_EQ(detect_intervals(&reader, scan.range,
                             [&](const quiet_interval& q) {
                               out.emplace_back(q.start_ns, q.end_ns);
                               return true;
                             }),
            pass_status::ok);
  return out;
}

TEST(QuietIntervals, GapModeAndWholeFiles) {
  struct row {
    const char* what;
    std::vector<event_record> records;
    std::vector<span> intervals;
  };
  const row rows[] = {
      {"no records", {}, {}},
      {"no audio: the picture alone decides",
       {video(S, 0), video(S + 40 * MS, 0), video(S + 80 * MS, 250)},
       {{S, S + 80 * MS}}},
      {"a pause of over a second splits, ending at the last record before it",
       {video(5 * S, 0), video(7 * S, 0), video(7 * S + 40 * MS, 250)},
       {{5 * S, 5 * S}, {7 * S, 7 * S + 40 * MS}}},
      {"a pause of exactly a second does not split",
       {video(5 * S, 0), video(6 * S, 0), video(6 * S + 40 * MS, 250)},
       {{5 * S, 6 * S + 40 * MS}}},
      {"the levels reset at a pause, also before a record of another type",
       // Dark and quiet before the pause; after it, a type-3 record finds the picture
       // reset to none (bright) instead of the old dark, so nothing starts at 9 s.
       {audio(1, 20000), audio(5 * S, 0), video(5 * S + 10 * MS, 0), other(9 * S, 3),
        video(9 * S + 40 * MS, 250)},
       {{5 * S + 10 * MS, 5 * S + 10 * MS}}},
      {"a record at the same time as the one before still counts",
       {audio(1, 20000), audio(5 * S, 0), video(5 * S, 0), video(5 * S + 40 * MS, 250)},
       {{5 * S, 5 * S + 40 * MS}}},
      {"a record at time 0 cannot start an interval", {video(0, 0), video(40 * MS, 250)}, {}},
      {"the far ends of time", {video(1, 0), video(INT64_MAX, 250)}, {{1, 1}}},
  };
  for (const row& r : rows) EXPECT_EQ(detect_file(r.records), r.intervals) << r.what;
}

std::vector<std::string> marks_for(const std::vector<span>& intervals,
                                   mark_settings settings = {}) {
  mark_chooser chooser(settings);
  std::vector<std::string> out;
  for (const span& s : intervals) {
    quiet_interval q;
    q.start_ns = s.first;
    q.end_ns = s.second;
    if (auto m = chooser.next(q)) out.push_back(m->kind + std::to_string(m->ns));
  }
  return out;
}

TEST(Marks, ClassesAndDrops) {
  struct row {
    const char* what;
    std::vector<span> intervals;
    mark_settings settings;
    std::vector<std::string> marks;
  };
  const row rows[] = {
      {"one chain past every edge of the defaults: nothing from an interval that starts at 0; "
       "the floor of the midpoint; A for any mark in the lead-in, which ends at 59.999999999 s "
       "and takes no reference; a mark at the very time of the reference kept; exactly the "
       "period apart a D, 1 ns less an A; a mark before the reference dropped, and its time "
       "the reference; the midpoint of the far ends",
       {{0, 0},
        {1, 2},
        {10 * S, 12 * S},
        {59999999999, 59999999999},
        {60 * S, 60 * S},
        {60 * S, 60 * S},
        {360 * S, 360 * S},
        {660 * S - 1, 660 * S - 1},
        {659 * S, 659 * S},
        {959 * S, 959 * S},
        {INT64_MAX, INT64_MAX}},
       {},
       {"A1", "A11000000000", "A59999999999", "D60000000000", "A60000000000", "D360000000000",
        "A659999999999", "D959000000000", "D9223372036854775807"}},
      {"a chain of close marks collapses into its first; exactly the ignore span apart is kept",
       {{101 * S, 101 * S},
        {104 * S, 104 * S},
        {107 * S, 107 * S},
        {300 * S, 300 * S},
        {305 * S, 305 * S}},
       {300, 5},
       {"D101000000000", "A300000000000", "A305000000000"}},
      {"a period beyond 32 bits of nanoseconds",
       {{70 * S, 70 * S}, {4294967296 * S, 4294967296 * S}},
       {4294967295, 0},
       {"D70000000000", "A4294967296000000000"}},
  };
  for (const row& r : rows) EXPECT_EQ(marks_for(r.intervals, r.settings), r.marks) << r.what;
}

}  // namespace
}  // namespace cutspot
