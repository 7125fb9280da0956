// The path of records from the decoders to the file without FFmpeg: the pipeline fed
// tables of pictures and sound, down to the event file's records (the clock, the reorder
// queue and the sequencer on the way), and the coverage thresholds it cannot reach.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "common/event_record.h"
#include "probe/coverage.h"
#include "probe/record_pipeline.h"

namespace cutspot::probe {
namespace {

constexpr std::int64_t MS = 1'000'000;
constexpr std::int64_t S = 1'000'000'000;

// The faults' wording, with the seconds as shown.
std::string crowded(const char* pictures, const char* within) {
  return std::string("the time stamps cannot be trusted: ") + pictures +
         " s of pictures have times within " + within + " s";
}
std::string damaged(const char* decoded, const char* length) {
  return std::string("only ") + decoded + " s of the recording's " + length +
         " s could be decoded (damaged?)";
}

TEST(ProbeCoverage, Thresholds) {
  // Nothing, the whole, an unknown length; crowded up to the limit and 1 ns over; all at
  // one time; half and 1 ns under; 2 s short and 1 ns more; a damaged MP4.
  struct {
    coverage c;
    std::int64_t length_ns;
    std::string fault;  // Empty: none.
  } cases[] = {
      {{}, 20 * S, ""},
      {{20 * S, 0, 20 * S}, 20 * S, ""},
      {{S, 0, S}, 0, ""},
      {{2 * S + 2 * S, 7, 7 + S}, 0, ""},
      {{2 * S + 2 * S + 1, 7, 7 + S}, 0, crowded("4.0", "1.0")},
      {{20 * S, 0, 40 * MS}, 20 * S, crowded("20.0", "0.0")},
      {{10 * S, 0, 10 * S}, 20 * S, ""},
      {{10 * S - 1, 0, 10 * S}, 20 * S, damaged("10.0", "20.0")},
      {{S, 0, S}, 3 * S, ""},
      {{S - 1, 0, S}, 3 * S, damaged("1.0", "3.0")},
      {{700 * MS, 0, 700 * MS}, 20 * S, damaged("0.7", "20.0")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(coverage_fault(c.c, c.length_ns), c.fault)
        << c.c.pictures_ns << " of " << c.length_ns;
  }
}

// What the pipeline is fed: a picture ('v', flat at level) or 20 ms of sound ('s', a
// constant of level/100 full scale, or no time with 'n'), at raw container time.
struct input {
  char kind;
  std::int64_t raw_ns;
  std::int64_t duration_ns = 0;
  int level = 0;
};

// A record as written: 'v' with its first sample, or 'a' with its value.
struct output {
  std::int64_t t;
  char kind;
  int value;
  bool operator==(const output&) const = default;
};

std::ostream& operator<<(std::ostream& o, const output& r) {
  return o << "{" << r.t << ", '" << r.kind << "', " << r.value << "}";
}

// The records written, the clock's jumps, the records left out as late, and what is missing.
using piped = std::tuple<std::vector<output>, int, long, std::string>;

piped run_pipeline(std::int64_t origin, const std::vector<input>& inputs, bool sound_wanted) {
  std::FILE* file = std::tmpfile();
  event_writer writer;
  start_events(writer, fileno(file));
  record_pipeline p;
  p.writer = &writer;
  p.queue.capacity = 2;  // Small enough for a table to go over it.
  start_pipeline(p, origin);
  start_pipeline(p, origin + S);  // Only the first origin counts.
  std::vector<unsigned char> picture(64 * 48);
  std::vector<float> sound(960);
  std::string reason;
  for (const input& in : inputs) {
    if (in.kind == 'v') {
      std::fill(picture.begin(), picture.end(), static_cast<unsigned char>(in.level));
      add_picture(p, {.data = picture.data(), .linesize = 64, .width = 64, .height = 48}, in.raw_ns,
                  in.duration_ns);
    } else {
      std::fill(sound.begin(), sound.end(), static_cast<float>(in.level) / 100);
      const unsigned char* planes[] = {reinterpret_cast<const unsigned char*>(sound.data())};
      audio_block block{{sample_kind::f32, false, 1}, planes, 960, 48000, NO_TIME};
      if (in.kind == 's') block.time_ns = in.raw_ns;
      add_sound(p, block, 20 * MS);
    }
    EXPECT_TRUE(drain_records(p, false, &reason)) << reason;
  }
  end_sound(p);
  const std::string missing = missing_media(p, sound_wanted);
  EXPECT_TRUE(drain_records(p, true, &reason)) << reason;
  EXPECT_TRUE(flush_events(writer, &reason)) << reason;
  std::vector<unsigned char> bytes(1 << 16);
  std::size_t n = static_cast<std::size_t>(pread(fileno(file), bytes.data(), bytes.size(), 0));
  std::fclose(file);
  std::vector<output> records;
  for (std::size_t at = EVENT_HEADER_SIZE; at + EVENT_RECORD_SIZE <= n; at += EVENT_RECORD_SIZE) {
    event_record e = decode_event_record(bytes.data() + at);
    bool video = e.type == RECORD_VIDEO;
    records.push_back(
        {e.timestamp_ns, video ? 'v' : 'a', video ? e.samples[0] : static_cast<int>(e.value)});
  }
  return {records, p.clock.jumps, p.order.late, missing};
}

// Records, then a picture repeated every 60 ms (n in all), then more records.
std::vector<output> repeated(std::vector<output> out, output first, int n,
                             const std::vector<output>& then) {
  for (int i = 0; i < n; ++i) out.push_back({first.t + i * 60 * MS, first.kind, first.value});
  out.insert(out.end(), then.begin(), then.end());
  return out;
}

TEST(ProbePipeline, FromPicturesAndSoundToRecords) {
  const input pic = {'v', 0, 40 * MS, 16};
  const char* NO_PICTURE = "no picture in the recording could be decoded";
  constexpr std::int64_t LOWEST = std::numeric_limits<std::int64_t>::min(), BOUND = 1LL << 61;
  struct {
    const char* what;
    std::int64_t origin = 0;
    std::vector<input> in;
    std::vector<output> out;
    int jumps = 0;
    long late = 0;
    bool sound_wanted = false;
    const char* missing = "";
  } cases[] = {
      {"in step from the origin, equal times in order, strictly increasing from 1 ns",
       10 * S,
       {{'v', 10 * S, 40 * MS, 16},
        {'s', 10 * S, 0, 50},
        {'s', 10 * S + 20 * MS, 0, 0},
        {'v', 10 * S + 40 * MS, 40 * MS, 235},
        {'s', 10 * S + 40 * MS, 0, 100}},
       {{1, 'v', 16},
        {2, 'a', 5000},
        {20 * MS, 'a', 0},
        {40 * MS, 'v', 235},
        {40 * MS + 1, 'a', 5000}}},
      {"slow pictures repeated every 60 ms up to the next and the end of their showing, not at "
       "them",
       0,
       {{'v', 0, 180 * MS, 100}, {'v', 180 * MS + 1, 120 * MS, 120}},
       repeated({}, {1, 'v', 100}, 3, {{180 * MS + 1, 'v', 120}, {240 * MS + 1, 'v', 120}})},
      {"sound before the start, and sound without a time carrying on",
       0,
       {{'s', -20 * MS, 0, 0}, {'n', 0, 0, 0}, pic},
       {{1, 'a', 0}, {2, 'a', 0}, {3, 'v', 16}}},
      {"a picture lost for long is repeated for a second, no longer",
       0,
       {pic, {'s', 0, 0, 0}, {'s', 2 * S, 0, 0}},
       repeated({{1, 'v', 16}, {2, 'a', 0}}, {60 * MS + 1, 'v', 16}, 16, {{2 * S, 'a', 0}})},
      {"a joined recording carries on where the first one ended, its sound following",
       0,
       {{'v', 5 * S, 40 * MS, 16}, pic, {'s', 5 * S - 20 * MS}, {'s', 20 * MS}},
       {{4980 * MS, 'a', 0}, {5 * S, 'v', 16}, {5040 * MS, 'v', 16}, {5060 * MS, 'a', 0}},
       1},
      {"what comes after the hold is over is left out",
       0,
       {{'s', 0}, {'v', 3 * S, 40 * MS, 16}, {'s', -500 * MS}},
       {{1, 'a', 0}, {3 * S, 'v', 16}},
       0,
       1},
      {"over capacity the earliest leaves whatever the times",
       0,
       {{'s', 40 * MS}, {'s', 60 * MS}, {'s', 80 * MS}, {'s', 0}},
       {{40 * MS, 'a', 0}, {60 * MS, 'a', 0}, {80 * MS, 'a', 0}},
       0,
       1,
       false,
       NO_PICTURE},
      // Forward by 10 s and back by 1 s are the same clock; 1 ns more either way a jump.
      {"no picture; the clock's gaps and jumps",
       0,
       {{'s', 0}, {'s', 10 * S}, {'s', 9 * S}, {'s', 19 * S + 1}, {'s', 18 * S}},
       {{1, 'a', 0}, {9 * S, 'a', 0}, {10 * S, 'a', 0}, {10020 * MS, 'a', 0}, {10040 * MS, 'a', 0}},
       2,
       0,
       false,
       NO_PICTURE},
      {"absurd times stay far from overflow",
       LOWEST,
       {{'s', std::numeric_limits<std::int64_t>::max()}, {'s', LOWEST + 1}},
       {{BOUND, 'a', 0}, {BOUND + 1, 'a', 0}},
       1,
       0,
       false,
       NO_PICTURE},
      {.what = "no sound",
       .in = {pic},
       .out = {{1, 'v', 16}},
       .sound_wanted = true,
       .missing = "the audio track held no sound that could be decoded "
                  "(--no-audio-ok writes the event file anyway)"},
      {.what = "no sound, none wanted", .in = {pic}, .out = {{1, 'v', 16}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run_pipeline(c.origin, c.in, c.sound_wanted),
              piped(c.out, c.jumps, c.late, c.missing))
        << c.what;
  }
}

}  // namespace
}  // namespace cutspot::probe
