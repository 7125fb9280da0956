// The path of records from the decoders to the file without FFmpeg: the pipeline fed
// tables of pictures and sound, down to the event file's bytes, and its parts where a
// table of the whole cannot reach a boundary: coverage, the reorder queue, the clock.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "common/event_record.h"
#include "probe/coverage.h"
#include "probe/record_pipeline.h"
#include "probe/reorder_queue.h"
#include "probe/sequencer.h"
#include "probe/timeline.h"

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

TEST(ProbeQueue, ReleasesInTimeOrderOnceTheHoldIsOver) {
  // After each push, what leaves: a record leaves once the newest is at least the hold
  // time (100) after it, earliest first, equal times in push order; over capacity (5)
  // the earliest leaves whatever the times. 100 is late and old at once: it leaves, for
  // the sequencer to drop; at 303 six are held.
  struct {
    std::int64_t push;
    std::vector<std::int64_t> released;
  } steps[] = {{50, {}},          {10, {}},     {149, {10}},  {150, {50}},  {120, {}},
               {249, {120, 149}}, {250, {150}}, {100, {100}}, {349, {249}}, {300, {}},
               {301, {}},         {302, {}},    {303, {250}}};
  reorder_queue q;
  q.hold_ns = 100;
  q.capacity = 5;
  for (const auto& step : steps) {
    queue_push(q, {.timestamp_ns = step.push, .type = RECORD_AUDIO}, 0);
    std::vector<std::int64_t> got;
    queued_record out;
    while (queue_pop_ready(q, &out)) got.push_back(out.record.timestamp_ns);
    EXPECT_EQ(got, step.released) << "after pushing " << step.push;
  }
  std::vector<std::int64_t> rest;
  queued_record out;
  while (queue_pop(q, &out)) rest.push_back(out.record.timestamp_ns);
  EXPECT_EQ(rest, (std::vector<std::int64_t>{300, 301, 302, 303, 349}));
}

TEST(ProbeClock, CarriesOnAcrossJoinsWrapsAndGaps) {
  // Each step: stream (v or a), its raw time and duration, the recording time it gets and
  // the jumps so far, on a clock from the case's origin.
  struct step {
    char stream;
    std::int64_t raw, duration, want;
    int jumps;
  };
  const std::int64_t wrap = (std::int64_t{1} << 33) * S / 90000;  // The 33-bit clock's.
  struct {
    std::int64_t origin = 0;
    std::vector<step> steps;
  } cases[] = {
      {10 * S,
       {{'v', 10 * S, 40 * MS, 0, 0},
        {'a', 10 * S - 5 * MS, 21 * MS, -5 * MS, 0},
        {'v', 18 * S, 40 * MS, 8 * S, 0},
        {'a', 18 * S + 10 * MS, 21 * MS, 8 * S + 10 * MS, 0},
        // A joined file's second recording starts over at 1 s: it follows the latest time
        // of either stream, and its sound follows into the same epoch.
        {'v', 1 * S, 40 * MS, 8 * S + 50 * MS, 1},
        {'v', 1 * S + 40 * MS, 40 * MS, 8 * S + 90 * MS, 1},
        {'a', 1 * S - 10 * MS, 21 * MS, 8 * S + 40 * MS, 1},
        {'a', 1 * S + 11 * MS, 21 * MS, 8 * S + 61 * MS, 1},
        // Forward by more than 10 s carries on too; then back by 1 s is the same clock, and
        // forward by 10 s a gap; 1 ns more either way is a jump.
        {'v', 100 * S, 0, 8 * S + 90 * MS, 2},
        {'v', 99 * S, 0, 7 * S + 90 * MS, 2},
        {'v', 109 * S, 0, 17 * S + 90 * MS, 2},
        {'v', 108 * S - 1, 7, 17 * S + 90 * MS + 7, 3},
        {'v', 118 * S, 5, 17 * S + 90 * MS + 12, 4}}},
      {wrap - S,
       {{'v', wrap - 40 * MS, 40 * MS, S - 40 * MS, 0},
        {'v', 0, 40 * MS, S, 1},
        {'v', 40 * MS, 40 * MS, S + 40 * MS, 1}}},
  };
  for (const auto& c : cases) {
    shared_clock clock = make_clock(c.origin);
    stream_clock v, a;
    for (const step& s : c.steps) {
      EXPECT_EQ(clock_map(clock, s.stream == 'v' ? v : a, s.raw, s.duration), s.want)
          << s.stream << " at " << s.raw;
      EXPECT_EQ(clock.jumps, s.jumps) << s.stream << " at " << s.raw;
    }
  }
  // Absurd times stay far from overflow.
  constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
  shared_clock d = make_clock(lowest);
  stream_clock x;
  EXPECT_GT(clock_map(d, x, std::numeric_limits<std::int64_t>::max(), 0), 0);
  EXPECT_LT(clock_map(d, x, lowest, 0), std::numeric_limits<std::int64_t>::max());
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

struct piped {
  std::vector<output> records;
  coverage covered;
  int jumps = 0;
  long late = 0;
  std::string missing;
};

piped run_pipeline(std::int64_t origin, const std::vector<input>& inputs, bool sound_wanted) {
  std::FILE* file = std::tmpfile();
  event_writer writer;
  start_events(writer, fileno(file));
  record_pipeline p;
  p.writer = &writer;
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
  piped r;
  r.missing = missing_media(p, sound_wanted);
  EXPECT_TRUE(drain_records(p, true, &reason)) << reason;
  EXPECT_TRUE(flush_events(writer, &reason)) << reason;
  std::vector<unsigned char> bytes(1 << 16);
  std::size_t n = static_cast<std::size_t>(pread(fileno(file), bytes.data(), bytes.size(), 0));
  std::fclose(file);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + std::min<std::size_t>(n, EVENT_HEADER_SIZE)),
            std::string("CSPROBE\x02", 8));
  for (std::size_t at = EVENT_HEADER_SIZE; at + EVENT_RECORD_SIZE <= n; at += EVENT_RECORD_SIZE) {
    event_record e = decode_event_record(bytes.data() + at);
    bool video = e.type == RECORD_VIDEO;
    r.records.push_back(
        {e.timestamp_ns, video ? 'v' : 'a', video ? e.samples[0] : static_cast<int>(e.value)});
  }
  EXPECT_EQ(writer.records, static_cast<long long>(r.records.size()));
  r.covered = p.pictures;
  r.jumps = p.clock.jumps;
  r.late = p.order.late;
  return r;
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
      {"slow pictures repeated every 60 ms up to the end of their showing, not at it",
       0,
       {{'v', 0, 200 * MS, 100}, {'v', 200 * MS, 120 * MS, 120}},
       repeated({}, {1, 'v', 100}, 4, {{200 * MS, 'v', 120}, {260 * MS, 'v', 120}})},
      {"sound before the start, and sound without a time carrying on",
       0,
       {{'s', -20 * MS, 0, 0}, {'n', 0, 0, 0}, pic},
       {{1, 'a', 0}, {2, 'a', 0}, {3, 'v', 16}}},
      {"a picture lost for long is repeated for a second, no longer",
       0,
       {pic, {'s', 0, 0, 0}, {'s', 2 * S, 0, 0}},
       repeated({{1, 'v', 16}, {2, 'a', 0}}, {60 * MS + 1, 'v', 16}, 16, {{2 * S, 'a', 0}})},
      {"a joined recording carries on where the first one ended",
       0,
       {{'v', 5 * S, 40 * MS, 16}, pic, {'s', 5 * S - 20 * MS, 0, 0}},
       {{4980 * MS, 'a', 0}, {5 * S, 'v', 16}, {5040 * MS, 'v', 16}},
       1},
      {"what comes after the hold is over is left out",
       0,
       {{'s', 0, 0, 0}, {'v', 3500 * MS, 40 * MS, 16}, {'s', -500 * MS, 0, 0}},
       {{1, 'a', 0}, {3500 * MS, 'v', 16}},
       0,
       1},
      {.what = "no picture",
       .in = {{'s', 0}},
       .out = {{1, 'a', 0}},
       .missing = "no picture in the recording could be decoded"},
      {.what = "no sound",
       .in = {pic},
       .out = {{1, 'v', 16}},
       .sound_wanted = true,
       .missing = "the audio track held no sound that could be decoded "
                  "(--no-audio-ok writes the event file anyway)"},
      {.what = "no sound, none wanted", .in = {pic}, .out = {{1, 'v', 16}}},
  };
  for (const auto& c : cases) {
    piped r = run_pipeline(c.origin, c.in, c.sound_wanted);
    EXPECT_EQ(r.records, c.out) << c.what;
    EXPECT_EQ(r.jumps, c.jumps) << c.what;
    EXPECT_EQ(r.late, c.late) << c.what;
    EXPECT_EQ(r.missing, c.missing) << c.what;
  }
  coverage c = run_pipeline(0, {pic, {'v', 40 * MS, 40 * MS, 16}}, false).covered;
  EXPECT_EQ((std::vector<std::int64_t>{c.pictures_ns, c.first_ns, c.end_ns}),
            (std::vector<std::int64_t>{80 * MS, 0, 80 * MS}));
}

}  // namespace
}  // namespace cutspot::probe
