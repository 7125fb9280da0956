// Advertising breaks: the grid a spot must fit, and whole runs with -breaks over
// made-up broadcasts (broadcast_segments.h).
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/breaks.h"
#include "broadcast_segments.h"
#include "event_file_writer.h"
#include "in_memory_run.h"
#include "run_rows.h"

namespace cutspot {
namespace {

using namespace testing;

TEST(Breaks, GridFit) {
  // How far each length is off its grid, in ns, or "-" for no fit.
  const auto fits = [](std::int64_t grid_ns, const std::vector<std::int64_t>& lengths_ns) {
    std::string out;
    for (std::int64_t ns : lengths_ns) {
      const std::optional<std::int64_t> fit = grid_fit(ns, grid_ns);
      out += fit ? std::to_string(*fit) + " " : "- ";
    }
    return out;
  };
  // On a 5 s grid: up to 600 ms over (a separator that was not found), up to 300 ms early
  // (a frame or so), from one step to 90 s (longer than any spot); nothing shorter.
  EXPECT_EQ(fits(5 * SEC,
                 {10 * SEC, 10600 * MS, 10601 * MS, 9700 * MS, 9699 * MS, 4700 * MS, 4699 * MS,
                  90 * SEC, 90600 * MS, 90601 * MS, 95 * SEC, 0, -10 * SEC, INT64_MAX, 200 * MS}),
            "0 600000000 - -300000000 - -300000000 - 0 600000000 - - - - - - ");
  // Without a grid every length up to 90 s fits.
  EXPECT_EQ(fits(0, {37 * SEC, 90 * SEC, 90300 * MS, 0}), "0 0 - - ");
  EXPECT_EQ(fits(7 * SEC, {21 * SEC}), "0 ");
}

TEST(Breaks, LoudnessPercentiles) {
  loudness_profile profile;
  for (int i = 0; i < 60; ++i) profile.add(6400);
  for (int i = 0; i < 40; ++i) profile.add(8000);
  EXPECT_EQ(profile.percentile(500), 6400u);
  EXPECT_EQ(profile.percentile(600), 8000u);
  EXPECT_EQ(judge_loudness(profile).pause, 4400u);
  profile.add(0xFFFFFFFF);  // Damaged values land in the top bin.
  EXPECT_EQ(profile.percentile(1000), 10000u);
  EXPECT_EQ(judge_loudness(loudness_profile{}).usual, 0u);
}

std::string breaks_of(const std::string& file, std::vector<std::string> options = {}) {
  options.insert(options.begin(), "-breaks");
  options.push_back("show.evt");
  const run_result r = run_in_memory(options, {{"show.evt", file}}, 8192);
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

// The block from 100 s: a 0.6 s boundary, spots of 30, 20 and 15 s with 0.2 s between
// them, a 0.8 s boundary. The break runs from the middle of the first boundary to the
// middle of the last, each to within a record of the truth (100.300 and 166.400): the
// first black picture comes 20 ms into the boundary.
const std::vector<segment> ONE_BLOCK = join({programme(100), block({30, 20, 15}), programme(60)});

TEST(Breaks, WhatStartsJoinsOrEndsABreak) {
  struct row {
    const char* what;
    std::vector<segment> segments;
    std::string breaks;  // The B lines.
    std::vector<std::string> options = {};
  };
  // A dip to black at 74 s, then 25 s of `kind` on the grid before the block.
  const auto dip_then = [](look kind) {
    return join({programme(74),
                 {{look::black, 500 * MS}, {kind, 25 * SEC}},
                 block({30, 20, 15}),
                 programme(60)});
  };
  // A block with a change: a spot cut off at the start or the end, or a separator made loud.
  const auto edited = [](std::vector<segment> s, auto edit) {
    edit(s);
    return s;
  };
  const auto between = [](const std::vector<segment>& b) {
    return join({programme(100), b, programme(60)});
  };
  const row rows[] = {
      {"no block", programme(300), ""},
      {"a fade to black with a silent dip, 25 s on the grid before the block: speech is "
       "not a spot",
       dip_then(look::programme), "B001:39.800 002:45.900\n"},
      {"the same dip in a steady quiet stretch: too quiet for a spot", dip_then(look::speech_pause),
       "B001:39.800 002:45.900\n"},
      {"a steady music bed on the grid before the block, as loud as the programme but "
       "much quieter than the spots: trimmed off",
       dip_then(look::music), "B001:39.800 002:45.900\n"},
      {"a lone music bed of 35 s between two dips: not clearly louder than the programme",
       join({programme(100),
             {{look::black, 500 * MS}},
             {{look::music, 35 * SEC}},
             {{look::black, 500 * MS}},
             programme(60),
             block({30, 20, 15}),
             programme(60)}),
       "B003:16.310 004:22.410\n"},
      {"dark and loud: no separator at all",
       join({programme(60), {{look::dark_loud, 10 * SEC}}, programme(60)}), ""},
      {"two spots of 10 s are shorter than the shortest break", between(block({10, 10})), ""},
      {"unless it is shorter", between(block({10, 10})), "B001:40.310 002:01.210\n", {"-m20"}},
      {"one spot of 20 s is no break", between(block({20})), ""},
      {"one stretch of 45 s on the grid is", between(block({45})), "B001:40.310 002:26.010\n"},
      {"spots off a 7 s grid", ONE_BLOCK, "", {"-u7"}},
      {"without a grid", ONE_BLOCK, "B001:40.310 002:46.410\n", {"-u0"}},
      {"the recording starts inside a spot",
       join({edited(block({12, 20, 15}), [](auto& s) { s.erase(s.begin()); }), programme(60)}),
       "B000:00.000 000:47.810\n"},
      {"the recording ends inside a spot",
       join({programme(100), edited(block({30, 12}), [](auto& s) { s.pop_back(); })}),
       "B001:40.310 002:22.780\n"},
      {"a separator that was not silent joins two spots on the grid",
       between(edited(block({30, 20, 15}), [](auto& s) { s[2].kind = look::dark_loud; })),
       "B001:40.310 002:46.410\n"},
      {"two blocks", join({programme(100), block({30, 20, 15}), programme(200), block({20, 20})}),
       "B001:40.310 002:46.410\nB006:07.110 006:48.000\n"},
  };
  for (const row& r : rows)
    EXPECT_EQ(breaks_of(broadcast(r.segments), r.options), "Fshow.mpg\n" + r.breaks + "E\n")
        << r.what;
}

// A quote in the name ends the quoted text, adds an escaped one and opens another.
TEST(Breaks, TheCuttingScriptNamesTheRecordingThatExists) {
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{}, "it'\\''s.mpg"},
      {{"it's.mkv"}, "it'\\''s.mkv"},
      {{"it's.mp4", "it's.mkv"}, "it'\\''s.mkv"},
      {{"it's.m2ts", "it's.ts"}, "it'\\''s.ts"},
  };
  for (const auto& [present, named] : rows) {
    std::map<std::string, std::string> files = {{"it's.evt", broadcast(programme(5))}};
    for (const std::string& name : present) files[name] = "";
    EXPECT_EQ(run_in_memory({"-ffconcat", "it's.evt"}, files).out,
              "ffconcat version 1.0\nfile '" + named + "'\n");
  }
}

TEST(Breaks, CommandLine) {
  const std::map<std::string, std::string> files = {{"show.evt", broadcast(ONE_BLOCK)}};
  const std::string list = "Fshow.mpg\nB001:40.310 002:46.410\nE\n";
  expect_runs(
      {
          {{"-breaks", "show.evt"}, 0, list, ""},
          // Settings of the marks change nothing about breaks.
          {{"-breaks", "-p5", "-i5", "show.evt"}, 0, list, ""},
          // Only options before the name count: these are marks.
          {{"show.evt", "-breaks"},
           0,
           "Fshow.mpg\nD001:40.520\nA002:11.120\nA002:31.320\nA002:46.520\nE\n",
           "cutspot: warning: ignoring '-breaks' after the event file name (options go before "
           "it)\n"},
      },
      files);
  // The graph comes first, then an empty line and the list.
  for (const auto& args : {std::vector<std::string>{"-breaks", "-graph", "show.evt"},
                           std::vector<std::string>{"-breaks", "show.evt", "-graph"}}) {
    const run_result r = run_in_memory(args, files);
    EXPECT_EQ(r.out.substr(0, 36), "Timestamp : T Video Lvl | Audio Lvl\n");
    EXPECT_TRUE(r.out.ends_with("\n\n" + list)) << r.err;
  }
}

}  // namespace
}  // namespace cutspot
