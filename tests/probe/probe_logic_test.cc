// cutspot-probe's logic without FFmpeg: the command line, the output file, region means,
// audio windows and their scale, and the path of records from the decoders to the file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "probe/audio_scale.h"
#include "probe/audio_windows.h"
#include "probe/event_writer.h"
#include "probe/options.h"
#include "probe/output_file.h"
#include "probe/progress.h"
#include "probe/region_means.h"
#include "probe/reorder_queue.h"
#include "probe/sequencer.h"
#include "probe/timeline.h"

namespace cutspot::probe {
namespace {

constexpr std::int64_t MS = 1'000'000;
constexpr std::int64_t S = 1'000'000'000;

probe_options parse(std::vector<const char*> args) {
  args.insert(args.begin(), "cutspot-probe");
  return parse_probe_options(static_cast<int>(args.size()), args.data());
}

TEST(ProbeOptions, Accepted) {
  probe_options o = parse({"-o", "x.evt", "-a", "2", "-f", "-q", "-j", "3", "--no-audio-ok",
                           "--full-decode", "show.ts"});
  ASSERT_EQ(o.action, probe_action::run) << o.refusal;
  EXPECT_EQ(o.input, "show.ts");
  EXPECT_EQ(o.output, "x.evt");
  EXPECT_EQ(o.audio_stream, 2);
  EXPECT_EQ(o.threads, 3);
  EXPECT_TRUE(o.force && o.quiet && o.no_audio_ok && o.full_decode);

  o = parse({"show.ts", "--output=-", "--audio=99", "--threads=0", "--force", "--quiet"});
  ASSERT_EQ(o.action, probe_action::run) << o.refusal;
  EXPECT_EQ(o.output, "-");
  EXPECT_EQ(o.audio_stream, 99);
  EXPECT_EQ(o.threads, 0);
  EXPECT_FALSE(o.no_audio_ok || o.full_decode);

  o = parse({"-ox.evt", "-a1", "-j64", "--", "-odd name.ts"});
  ASSERT_EQ(o.action, probe_action::run) << o.refusal;
  EXPECT_EQ(o.output, "x.evt");
  EXPECT_EQ(o.audio_stream, 1);
  EXPECT_EQ(o.threads, 64);
  EXPECT_EQ(o.input, "-odd name.ts");

  o = parse({"-o", "out.evt", "-"});
  EXPECT_EQ(o.action, probe_action::run);
  EXPECT_EQ(o.input, "-");
  EXPECT_EQ(parse({"show.ts", "--help", "--bogus"}).action, probe_action::help);
  EXPECT_EQ(parse({"--version"}).action, probe_action::version);
}

// The same convention as cutspot's: read left to right, help and version act where they
// stand, and "--" ends the options.
TEST(ProbeOptions, HelpVersionAndEndOfOptions) {
  struct {
    std::vector<const char*> args;
    probe_action action;
    const char* input_or_refusal;
  } cases[] = {
      {{"-h"}, probe_action::help, ""},
      {{"--help"}, probe_action::help, ""},
      {{"-h", "--bogus"}, probe_action::help, ""},
      {{"-q", "--version", "a.ts", "b.ts"}, probe_action::version, ""},
      {{"--bogus", "-h"}, probe_action::usage, "unknown option '--bogus'"},
      {{"-o", "-h", "a.ts"}, probe_action::run, "a.ts"},
      {{"-o", "x.evt", "--", "-h"}, probe_action::run, "-h"},
      {{"-o", "x.evt", "--", "--version"}, probe_action::run, "--version"},
      {{"-hx"}, probe_action::usage, "unknown option '-hx'"},
  };
  for (const auto& c : cases) {
    const probe_options o = parse(c.args);
    EXPECT_EQ(o.action, c.action) << c.input_or_refusal;
    if (c.action == probe_action::run) {
      EXPECT_EQ(o.input, c.input_or_refusal);
    } else if (c.action == probe_action::usage) {
      EXPECT_EQ(o.refusal, c.input_or_refusal);
    }
  }
}

TEST(ProbeOptions, Refused) {
  struct {
    std::vector<const char*> args;
    const char* refusal;
  } cases[] = {
      {{}, "no recording given"},
      {{"a.ts", "b.ts"}, "more than one recording given"},
      {{""}, "empty recording name"},
      {{"-"}, "reading standard input needs -o FILE"},
      {{"a.ts", "-o"}, "option '-o' needs a file name"},
      {{"a.ts", "--output="}, "empty output file name"},
      {{"a.ts", "-a"}, "option '-a' needs a number"},
      {{"a.ts", "-a", "0"}, "the audio track number must be 1 to 99, not '0'"},
      {{"a.ts", "-a", "100"}, "the audio track number must be 1 to 99, not '100'"},
      {{"a.ts", "-a", "+1"}, "the audio track number must be 1 to 99, not '+1'"},
      {{"a.ts", "-a", "-1"}, "the audio track number must be 1 to 99, not '-1'"},
      {{"a.ts", "-a", "1x"}, "the audio track number must be 1 to 99, not '1x'"},
      {{"a.ts", "--audio="}, "the audio track number must be 1 to 99, not ''"},
      {{"a.ts", "-j", "65"}, "the number of threads must be 0 to 64, not '65'"},
      {{"a.ts", "--threads"}, "option '--threads' needs a number"},
      {{"a.ts", "--forced"}, "unknown option '--forced'"},
      {{"a.ts", "--output"}, "option '--output' needs a file name"},
      {{"a.ts", "--outputx"}, "unknown option '--outputx'"},
      {{"a.ts", "-x\x1b[2J"}, "unknown option '-x\\x1b[2J'"},
  };
  for (const auto& c : cases) {
    probe_options o = parse(c.args);
    EXPECT_EQ(o.action, probe_action::usage) << c.refusal;
    EXPECT_EQ(o.refusal, c.refusal);
  }
}

// Messages escape as cutspot's do, but without its quotes: only control characters and
// bytes that are not UTF-8 are escaped.
TEST(ProbeOptions, PrintableNames) {
  EXPECT_EQ(printable("a\nb\tc\x7f\x1f d\x80\xff"), "a\\x0ab\\x09c\\x7f\\x1f d\\x80\\xff");
  EXPECT_EQ(printable(std::string("x\0y", 3)), "x\\x00y");
  EXPECT_EQ(printable("\xc2\x9b"
                      "2J caf\xc3\xa9 'a\\b'"),
            "\\xc2\\x9b2J caf\xc3\xa9 'a\\b'");
}

TEST(ProbeOutput, DefaultEventName) {
  struct {
    const char* recording;
    const char* event_file;
  } cases[] = {
      {"show.ts", "show.evt"},
      {"dir/show.mpg", "dir/show.evt"},
      {"a.b/show", "a.b/show.evt"},
      {".hidden", ".hidden.evt"},
      {"dir/.hidden", "dir/.hidden.evt"},
      {"s.tar.mkv", "s.tar.evt"},
      {"show", "show.evt"},
      {"show.", "show.evt"},
  };
  for (const auto& c : cases) EXPECT_EQ(default_event_name(c.recording), c.event_file);
}

// A scratch directory of its own for each test.
struct ProbeFiles : ::testing::Test {
  std::filesystem::path dir;
  void SetUp() override {
    char pattern[] = "/tmp/probe-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string path(const char* name) const { return (dir / name).string(); }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
      out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  static std::string content(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void put(const std::string& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
  }
};

TEST_F(ProbeFiles, WritesThroughATemporaryFile) {
  output_file out;
  std::string reason;
  ASSERT_TRUE(open_output(path("a.evt"), false, 022, &out, &reason)) << reason;
  ASSERT_EQ(names().size(), 1u);
  EXPECT_TRUE(names()[0].starts_with(".cutspot-probe-"));
  ASSERT_TRUE(write_all(out.fd, reinterpret_cast<const unsigned char*>("data"), 4, &reason));
  ASSERT_TRUE(commit_output(&out, &reason)) << reason;
  EXPECT_EQ(names(), std::vector<std::string>{"a.evt"});
  EXPECT_EQ(content(path("a.evt")), "data");
  struct stat st;
  ASSERT_EQ(stat(path("a.evt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(ProbeFiles, KeepsAnExistingEventFile) {
  put(path("a.evt"), "recorder's");
  output_file out;
  std::string reason;
  EXPECT_FALSE(open_output(path("a.evt"), false, 0, &out, &reason));
  EXPECT_TRUE(out.exists);
  EXPECT_EQ(reason, path("a.evt") + " exists; use --force to replace it");
  EXPECT_EQ(names(), std::vector<std::string>{"a.evt"});

  // One that appears while the recording is read survives too.
  std::filesystem::remove(path("a.evt"));
  ASSERT_TRUE(open_output(path("a.evt"), false, 0, &out, &reason)) << reason;
  put(path("a.evt"), "recorder's");
  EXPECT_FALSE(commit_output(&out, &reason));
  EXPECT_TRUE(out.exists);
  EXPECT_EQ(names(), std::vector<std::string>{"a.evt"});
  EXPECT_EQ(content(path("a.evt")), "recorder's");
}

TEST_F(ProbeFiles, ReplacesOnlyWhenAsked) {
  put(path("a.evt"), "old");
  output_file out;
  std::string reason;
  ASSERT_TRUE(open_output(path("a.evt"), true, 077, &out, &reason)) << reason;
  ASSERT_TRUE(write_all(out.fd, reinterpret_cast<const unsigned char*>("new"), 3, &reason));
  ASSERT_TRUE(commit_output(&out, &reason)) << reason;
  EXPECT_EQ(content(path("a.evt")), "new");
  struct stat st;
  ASSERT_EQ(stat(path("a.evt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(ProbeFiles, AbandonLeavesNothing) {
  output_file out;
  std::string reason;
  ASSERT_TRUE(open_output(path("a.evt"), false, 0, &out, &reason)) << reason;
  ASSERT_TRUE(write_all(out.fd, reinterpret_cast<const unsigned char*>("part"), 4, &reason));
  abandon_output(&out);
  EXPECT_TRUE(names().empty());
  EXPECT_FALSE(open_output(path("no/such/dir.evt"), false, 0, &out, &reason));
  EXPECT_FALSE(out.exists);
  EXPECT_TRUE(reason.starts_with("cannot create a file in " + path("no/such") + ": "));
}

TEST_F(ProbeFiles, DevicesAndFifosAreWrittenAsTheyAre) {
  output_file out;
  std::string reason;
  // No --force needed, and no temporary file beside /dev/null.
  ASSERT_TRUE(open_output("/dev/null", false, 0, &out, &reason)) << reason;
  EXPECT_TRUE(out.direct);
  EXPECT_TRUE(out.temp_name.empty());
  EXPECT_TRUE(write_all(out.fd, reinterpret_cast<const unsigned char*>("x"), 1, &reason));
  EXPECT_TRUE(commit_output(&out, &reason)) << reason;
  EXPECT_EQ(out.fd, -1);

  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
  int reader = open(path("fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(open_output(path("fifo"), false, 0, &out, &reason)) << reason;
  EXPECT_TRUE(out.direct);
  EXPECT_TRUE(write_all(out.fd, reinterpret_cast<const unsigned char*>("evt"), 3, &reason));
  abandon_output(&out);
  char got[4] = {};
  EXPECT_EQ(read(reader, got, sizeof got), 3);
  EXPECT_STREQ(got, "evt");
  close(reader);
  EXPECT_EQ(names(), std::vector<std::string>{"fifo"});
}

TEST_F(ProbeFiles, EventBytes) {
  int fd = open(path("e.evt").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  event_writer w;
  start_events(w, fd);
  event_record a;
  a.timestamp_ns = 0x0102030405060708;
  a.type = RECORD_AUDIO;
  a.value = 5000;
  event_record v;
  v.timestamp_ns = -2;
  v.type = RECORD_VIDEO;
  v.samples[0] = 16;
  v.samples[3] = 255;
  std::string reason;
  ASSERT_TRUE(add_events(w, {a, v}, &reason));
  ASSERT_TRUE(flush_events(w, &reason));
  close(fd);
  EXPECT_EQ(w.records, 2);
  const std::string want = std::string("CSPROBE\x02", 8) +
                           std::string(
                               "\x01\x02\x03\x04\x05\x06\x07\x08\0\0\0\0\0\0\0\x01"
                               "\0\0\x13\x88\0\0\0\0",
                               24) +
                           std::string(
                               "\xff\xff\xff\xff\xff\xff\xff\xfe\0\0\0\0\0\0\0\x02"
                               "\0\0\0\0\x10\0\0\xff",
                               24);
  EXPECT_EQ(content(path("e.evt")), want);
}

TEST(ProbeOutput, WriteErrorsAreReported) {
  int fd = open("/dev/full", O_WRONLY);
  ASSERT_GE(fd, 0);
  std::string reason;
  EXPECT_FALSE(write_all(fd, reinterpret_cast<const unsigned char*>("x"), 1, &reason));
  EXPECT_EQ(reason, "cannot write the event file: No space left on device");
  close(fd);
}

TEST(ProbeRegions, TvScale) {
  struct {
    double mean;
    int depth;
    bool full_range;
    int want;
  } cases[] = {
      {0, 8, false, 1},       {0.49, 8, false, 1},    {1.5, 8, false, 2},    {16, 8, false, 16},
      {254.5, 8, false, 255}, {300, 8, false, 255},   {NAN, 8, false, 1},    {64, 10, false, 16},
      {940, 10, false, 235},  {1023, 10, false, 255}, {0, 8, true, 16},      {255, 8, true, 235},
      {127.5, 8, true, 126},  {0, 10, true, 16},      {1023, 10, true, 235}, {4095, 12, false, 255},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tv_scale_sample(c.mean, c.depth, c.full_range), c.want)
        << c.mean << " depth " << c.depth << (c.full_range ? " full" : " tv");
  }
}

std::vector<audio_window> windows_of(window_accumulator& acc, const std::vector<float>& samples,
                                     int channels, int rate, std::int64_t time_ns) {
  const unsigned char* planes[1] = {reinterpret_cast<const unsigned char*>(samples.data())};
  audio_block b;
  b.layout = {sample_kind::f32, false, channels};
  b.data = planes;
  b.samples = static_cast<int>(samples.size()) / channels;
  b.sample_rate = rate;
  b.time_ns = time_ns;
  std::vector<audio_window> out;
  add_audio(acc, b, out);
  return out;
}

TEST(ProbeAudio, WindowsOfTwentyMillisecondsWhateverTheFrames) {
  window_accumulator acc;
  // 1000 Hz: 20 samples a window. Frames of 15, 30 and 5 samples.
  auto w1 = windows_of(acc, std::vector<float>(15, 0.5f), 1, 1000, 3 * S);
  EXPECT_TRUE(w1.empty());
  auto w2 = windows_of(acc, std::vector<float>(30, 1.0f), 1, 1000, 3 * S + 15 * MS);
  ASSERT_EQ(w2.size(), 2u);
  EXPECT_EQ(w2[0].start_ns, 3 * S);
  EXPECT_DOUBLE_EQ(w2[0].mean_square, (15 * 0.25 + 5 * 1.0) / 20);
  EXPECT_EQ(w2[1].start_ns, 3 * S + 20 * MS);
  EXPECT_DOUBLE_EQ(w2[1].mean_square, 1.0);
  auto w3 = windows_of(acc, std::vector<float>(15, 0.0f), 1, 1000, NO_TIME);
  ASSERT_EQ(w3.size(), 1u);
  EXPECT_EQ(w3[0].start_ns, 3 * S + 40 * MS);
  EXPECT_DOUBLE_EQ(w3[0].mean_square, 0.25);
}

TEST(ProbeAudio, NoDrift) {
  // 44.1 kHz in frames of 1152 samples, timed only by the first: window k starts at
  // exactly k * 20 ms after ten minutes too.
  window_accumulator acc;
  std::vector<float> frame(1152, 0.25f);
  std::int64_t windows = 0, last_start = -1;
  const std::int64_t frames = 44100LL * 600 / 1152;
  for (std::int64_t i = 0; i < frames; ++i) {
    auto w = windows_of(acc, frame, 1, 44100, i == 0 ? 7 : NO_TIME);
    for (const audio_window& x : w) {
      ASSERT_EQ(x.start_ns, 7 + windows * 20 * MS);
      ASSERT_DOUBLE_EQ(x.mean_square, 0.0625);
      last_start = x.start_ns;
      ++windows;
    }
  }
  EXPECT_EQ(windows, frames * 1152 / 882);
  EXPECT_EQ(last_start, 7 + (windows - 1) * 20 * MS);
}

TEST(ProbeAudio, ChannelsAndAbsurdSamples) {
  window_accumulator acc;
  // Stereo packed: left 1, right 0, and a NaN and a huge value, which count as 0 and 1.
  std::vector<float> s;
  for (int i = 0; i < 18; ++i) s.insert(s.end(), {1.0f, 0.0f});
  s.insert(s.end(), {NAN, 1e30f, -1e30f, INFINITY});
  auto w = windows_of(acc, s, 2, 1000, 0);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_DOUBLE_EQ(w[0].mean_square, (18 * 0.5 + 0.5 + 0.5) / 20);  // INFINITY is not finite.
  EXPECT_LE(audio_value(w[0].mean_square), AUDIO_VALUE_MAX);
}

TEST(ProbeAudio, IntegerAndPlanarSamples) {
  EXPECT_DOUBLE_EQ(normalised_sample(std::array<unsigned char, 1>{0}.data(), sample_kind::u8), -1);
  EXPECT_DOUBLE_EQ(normalised_sample(std::array<unsigned char, 1>{128}.data(), sample_kind::u8), 0);
  std::int16_t s16 = -32768;
  EXPECT_DOUBLE_EQ(normalised_sample(reinterpret_cast<unsigned char*>(&s16), sample_kind::s16), -1);
  std::int32_t s32 = 1 << 30;
  EXPECT_DOUBLE_EQ(normalised_sample(reinterpret_cast<unsigned char*>(&s32), sample_kind::s32),
                   0.5);
  double f64 = -7;
  EXPECT_DOUBLE_EQ(normalised_sample(reinterpret_cast<unsigned char*>(&f64), sample_kind::f64), -1);

  // Planar s16, two channels, at 48 kHz: 960 samples a window.
  std::vector<std::int16_t> left(960, 16384), right(960, 0);
  const unsigned char* planes[2] = {reinterpret_cast<const unsigned char*>(left.data()),
                                    reinterpret_cast<const unsigned char*>(right.data())};
  audio_block b;
  b.layout = {sample_kind::s16, true, 2};
  b.data = planes;
  b.samples = 960;
  b.sample_rate = 48000;
  b.time_ns = 5;
  window_accumulator acc;
  std::vector<audio_window> out;
  add_audio(acc, b, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].start_ns, 5);
  EXPECT_DOUBLE_EQ(out[0].mean_square, 0.125);
}

TEST(ProbeAudio, GapsAndRateChangesStartAfresh) {
  window_accumulator acc;
  windows_of(acc, std::vector<float>(10, 1.0f), 1, 1000, 0);
  // 15 ms late is still in step (the samples lead to 10 ms; 25 ms is 15 ms off)...
  auto w = windows_of(acc, std::vector<float>(10, 1.0f), 1, 1000, 25 * MS);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].start_ns, 0);
  // ...16 ms is not: the open window closes short and the next starts at the frame.
  windows_of(acc, std::vector<float>(10, 0.5f), 1, 1000, 20 * MS);
  w = windows_of(acc, std::vector<float>(20, 0.0f), 1, 1000, 46 * MS);
  ASSERT_EQ(w.size(), 2u);
  EXPECT_EQ(w[0].start_ns, 20 * MS);
  EXPECT_DOUBLE_EQ(w[0].mean_square, 0.25);
  EXPECT_EQ(w[1].start_ns, 46 * MS);
  // A new rate: 2000 Hz gives windows of 40 samples.
  w = windows_of(acc, std::vector<float>(40, 1.0f), 1, 2000, 66 * MS);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].start_ns, 66 * MS);
  std::vector<audio_window> rest;
  flush_audio(acc, rest);
  EXPECT_TRUE(rest.empty());
  // Without any time yet nothing can be placed.
  window_accumulator fresh;
  EXPECT_TRUE(windows_of(fresh, std::vector<float>(40, 1.0f), 1, 1000, NO_TIME).empty());
}

event_record rec(std::int64_t t, std::uint32_t type, unsigned char level = 100) {
  event_record r;
  r.timestamp_ns = t;
  r.type = type;
  if (type == RECORD_VIDEO) std::fill(std::begin(r.samples), std::end(r.samples), level);
  return r;
}

TEST(ProbeQueue, HoldsUntilNothingEarlierCanCome) {
  reorder_queue q;
  q.hold_ns = 100;
  queued_record out;
  queue_push(q, rec(50, RECORD_VIDEO), 90);
  queue_push(q, rec(10, RECORD_AUDIO), 0);
  queue_push(q, rec(10, RECORD_VIDEO), 50);
  queue_push(q, rec(109, RECORD_AUDIO), 0);
  EXPECT_FALSE(queue_pop_ready(q, &out));  // 10 is 99 behind the newest.
  queue_push(q, rec(110, RECORD_AUDIO), 0);
  ASSERT_TRUE(queue_pop_ready(q, &out));
  EXPECT_EQ(out.record.type, RECORD_AUDIO);  // Equal times leave in arrival order.
  ASSERT_TRUE(queue_pop_ready(q, &out));
  EXPECT_EQ(out.record.type, RECORD_VIDEO);
  EXPECT_EQ(out.shown_until_ns, 50);
  EXPECT_FALSE(queue_pop_ready(q, &out));
  std::vector<std::int64_t> rest;
  while (queue_pop(q, &out)) rest.push_back(out.record.timestamp_ns);
  EXPECT_EQ(rest, (std::vector<std::int64_t>{50, 109, 110}));
}

TEST(ProbeQueue, BoundedWhateverTheTimes) {
  reorder_queue q;
  q.capacity = 4;
  queued_record out;
  for (int i = 0; i < 1000; ++i) {
    queue_push(q, rec(1000 - i, RECORD_AUDIO), 0);  // Backwards: nothing ever gets old.
    while (queue_pop_ready(q, &out)) {
    }
    ASSERT_LE(q.heap.size(), 4u);
  }
}

std::vector<event_record> sequence(const std::vector<queued_record>& in, sequencer& s) {
  std::vector<event_record> out;
  for (const queued_record& q : in) sequence_record(s, q, out);
  finish_sequence(s, out);
  return out;
}

std::vector<std::int64_t> times(const std::vector<event_record>& r) {
  std::vector<std::int64_t> t;
  for (const event_record& e : r) t.push_back(e.timestamp_ns);
  return t;
}

TEST(ProbeSequencer, StrictlyIncreasingFromOne) {
  sequencer s;
  auto out = sequence({{rec(-5, RECORD_AUDIO), 0, 0},
                       {rec(0, RECORD_VIDEO), 40 * MS, 1},
                       {rec(0, RECORD_AUDIO), 0, 2},
                       {rec(0, RECORD_AUDIO), 0, 3},
                       {rec(2, RECORD_AUDIO), 0, 4},
                       {rec(1, RECORD_AUDIO), 0, 5},  // Too late: dropped.
                       {rec(40 * MS, RECORD_VIDEO), 80 * MS, 6}},
                      s);
  EXPECT_EQ(times(out), (std::vector<std::int64_t>{1, 2, 3, 4, 5, 40 * MS}));
  EXPECT_EQ(s.late, 1);
}

TEST(ProbeSequencer, RepeatsSlowPicturesEverySixtyMilliseconds) {
  sequencer s;
  // 5 pictures a second; audio every 20 ms would follow, but the picture alone shows it.
  auto out = sequence(
      {{rec(0, RECORD_VIDEO, 16), 200 * MS, 0}, {rec(200 * MS, RECORD_VIDEO, 200), 400 * MS, 1}},
      s);
  EXPECT_EQ(times(out), (std::vector<std::int64_t>{1, 60 * MS + 1, 120 * MS + 1, 180 * MS + 1,
                                                   200 * MS, 260 * MS, 320 * MS, 380 * MS}));
  EXPECT_EQ(out[3].samples[0], 16);
  EXPECT_EQ(out[7].samples[0], 200);
  // 25 pictures a second need no repeat; 59.9 ms neither.
  sequencer t;
  out = sequence({{rec(1, RECORD_VIDEO), 40 * MS, 0},
                  {rec(40 * MS, RECORD_VIDEO), 80 * MS, 1},
                  {rec(100 * MS - 1, RECORD_VIDEO), 120 * MS, 2}},
                 t);
  EXPECT_EQ(times(out), (std::vector<std::int64_t>{1, 40 * MS, 100 * MS - 1}));
}

TEST(ProbeSequencer, FillsHolesUpToASecond) {
  sequencer s;
  // A picture of 40 ms, then pictures lost for 2 s: repeated for a second, no longer.
  std::vector<queued_record> in = {{rec(1, RECORD_VIDEO), 40 * MS, 0}};
  for (int i = 1; i <= 100; ++i) in.push_back({rec(i * 20 * MS, RECORD_AUDIO), 0, 0});
  auto out = sequence(in, s);
  std::int64_t last_video = 0;
  for (const event_record& r : out) {
    if (r.type == RECORD_VIDEO) last_video = r.timestamp_ns;
  }
  EXPECT_EQ(last_video, 960 * MS + 1);  // The last one due before 1 s after the picture.
}

TEST(ProbeClock, CarriesOnAcrossJoinsAndWraps) {
  shared_clock c = make_clock(10 * S);
  stream_clock v, a;
  EXPECT_EQ(clock_map(c, v, 10 * S, 40 * MS), 0);
  EXPECT_EQ(clock_map(c, a, 10 * S - 5 * MS, 21 * MS), -5 * MS);
  EXPECT_EQ(clock_map(c, v, 18 * S, 40 * MS), 8 * S);
  EXPECT_EQ(clock_map(c, a, 18 * S + 10 * MS, 21 * MS), 8 * S + 10 * MS);
  // The second recording of a joined file starts over at 1 s: it follows the latest
  // time of either stream.
  EXPECT_EQ(clock_map(c, v, 1 * S, 40 * MS), 8 * S + 50 * MS);
  EXPECT_EQ(clock_map(c, v, 1 * S + 40 * MS, 40 * MS), 8 * S + 90 * MS);
  // Its sound follows into the same epoch, in step with the picture.
  EXPECT_EQ(clock_map(c, a, 1 * S - 10 * MS, 21 * MS), 8 * S + 40 * MS);
  EXPECT_EQ(clock_map(c, a, 1 * S + 11 * MS, 21 * MS), 8 * S + 61 * MS);
  EXPECT_EQ(c.jumps, 1);
  // The 33-bit clock wraps.
  const std::int64_t wrap = (std::int64_t{1} << 33) * S / 90000;
  shared_clock w = make_clock(wrap - S);
  stream_clock wv;
  EXPECT_EQ(clock_map(w, wv, wrap - 40 * MS, 40 * MS), S - 40 * MS);
  EXPECT_EQ(clock_map(w, wv, 0, 40 * MS), S);
  EXPECT_EQ(clock_map(w, wv, 40 * MS, 40 * MS), S + 40 * MS);
  EXPECT_EQ(w.jumps, 1);
}

TEST(ProbeClock, Thresholds) {
  shared_clock c = make_clock(0);
  stream_clock v;
  EXPECT_EQ(clock_map(c, v, 100 * S, 0), 100 * S);
  EXPECT_EQ(clock_map(c, v, 99 * S, 0), 99 * S);    // Back by 1 s: still the same clock.
  EXPECT_EQ(clock_map(c, v, 109 * S, 0), 109 * S);  // Forward by 10 s: a gap.
  EXPECT_EQ(c.jumps, 0);
  EXPECT_EQ(clock_map(c, v, 108 * S - 1, 7), 109 * S + 7);  // Back by 1 s and 1 ns.
  EXPECT_EQ(clock_map(c, v, 118 * S, 5), 109 * S + 12);     // Forward by 10 s and 1 ns.
  EXPECT_EQ(c.jumps, 2);
  // A stream silent for a while comes back where the other one is.
  stream_clock a;
  EXPECT_EQ(clock_map(c, a, 0, 0), 0);
  EXPECT_EQ(clock_map(c, a, 50 * S, 0), 109 * S + 12);
  EXPECT_EQ(c.jumps, 3);
  // Absurd times stay far from overflow.
  shared_clock d = make_clock(std::numeric_limits<std::int64_t>::min());
  stream_clock x;
  EXPECT_GT(clock_map(d, x, std::numeric_limits<std::int64_t>::max(), 0), 0);
  EXPECT_LT(clock_map(d, x, std::numeric_limits<std::int64_t>::min(), 0),
            std::numeric_limits<std::int64_t>::max());
}

// The line as shown, padded to erase a longer one before it.
std::string shown(std::string text) {
  text.insert(0, "\r");
  text.resize(48, ' ');
  return text;
}

TEST(ProbeProgress, Lines) {
  EXPECT_EQ(progress_line(30, 60, 10), shown(" 50% 3.0x real time, 0:10 left"));
  EXPECT_EQ(progress_line(90, 60, 10), shown("100% 9.0x real time, 0:00 left"));
  EXPECT_EQ(progress_line(7200, 10800, 2), shown(" 66% 3600.0x real time, 0:01 left"));
  EXPECT_EQ(progress_line(3, 10800, 1), shown("  0% 3.0x real time, 59:59 left"));
  EXPECT_EQ(progress_line(3, 14400, 1), shown("  0% 3.0x real time, 1:19:59 left"));
  EXPECT_EQ(progress_line(3725, 0, 100), shown("1:02:05 done, 37.2x real time"));
  EXPECT_EQ(progress_line(0, 60, 0), shown("  0%"));
  EXPECT_EQ(progress_clear(), "\r" + std::string(47, ' ') + "\r");
}

}  // namespace
}  // namespace cutspot::probe
