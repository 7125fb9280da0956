// cutspot-probe's logic without FFmpeg: the command line, the output file, region means,
// audio windows and their scale, and the progress line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "probe/audio_scale.h"
#include "probe/audio_windows.h"
#include "probe/options.h"
#include "probe/output_file.h"
#include "probe/progress.h"
#include "probe/region_means.h"

namespace cutspot::probe {
namespace {

constexpr std::int64_t MS = 1'000'000;
constexpr std::int64_t S = 1'000'000'000;

probe_options parse(std::vector<const char*> args) {
  args.insert(args.begin(), "cutspot-probe");
  return parse_probe_options(static_cast<int>(args.size()), args.data());
}

// The same convention as cutspot's: read left to right, help and version act where they
// stand, and "--" ends the options; what a run is given ("input output track threads"
// and the flags --force, --quiet, --no-audio-ok, --full-decode), or every refusal.
TEST(ProbeOptions, CommandLines) {
  constexpr auto help = probe_action::help, run = probe_action::run;
  const std::string track = "the audio track number must be 1 to 99, not ";
  struct {
    std::vector<const char*> args;
    std::string want;
    probe_action action = probe_action::usage;
  } cases[] = {
      {{"-o", "x.evt", "-a", "2", "-f", "-q", "-j", "3", "--no-audio-ok", "--full-decode", "a.ts"},
       "a.ts x.evt 2 3 1111",
       run},
      {{"a.ts", "--output=-", "--audio=99", "--threads=0"}, "a.ts - 99 0 0000", run},
      {{"-ox.evt", "-a1", "-j64", "--", "-odd name.ts"}, "-odd name.ts x.evt 1 64 0000", run},
      {{"-o", "out.evt", "-"}, "- out.evt 0 0 0000", run},
      {{"-h"}, "", help},
      {{"-h", "--bogus"}, "", help},
      {{"-q", "--version", "a.ts", "b.ts"}, "", probe_action::version},
      {{"--bogus", "-h"}, "unknown option '--bogus'"},
      {{"-o", "-h", "a.ts"}, "a.ts -h 0 0 0000", run},
      {{"-o", "x.evt", "--", "-h"}, "-h x.evt 0 0 0000", run},
      {{"-hx"}, "unknown option '-hx'"},
      {{}, "no recording given"},
      {{"a.ts", "b.ts"}, "more than one recording given"},
      {{""}, "empty recording name"},
      {{"-"}, "reading standard input needs -o FILE"},
      {{"a.ts", "-o"}, "option '-o' needs a file name"},
      {{"a.ts", "--output="}, "empty output file name"},
      {{"a.ts", "-a"}, "option '-a' needs a number"},
      {{"a.ts", "-a", "0"}, track + "'0'"},
      {{"a.ts", "-a", "100"}, track + "'100'"},
      {{"a.ts", "-a", "+1"}, track + "'+1'"},
      {{"a.ts", "-a", "1x"}, track + "'1x'"},
      {{"a.ts", "--audio="}, track + "''"},
      {{"a.ts", "-j", "65"}, "the number of threads must be 0 to 64, not '65'"},
      {{"a.ts", "--threads"}, "option '--threads' needs a number"},
      {{"a.ts", "--forced"}, "unknown option '--forced'"},
      {{"a.ts", "--output"}, "option '--output' needs a file name"},
      {{"a.ts", "--outputx"}, "unknown option '--outputx'"},
      {{"a.ts", "-x\x1b[2J"}, "unknown option '-x\\x1b[2J'"},
  };
  for (const auto& c : cases) {
    const probe_options o = parse(c.args);
    std::ostringstream given;
    if (o.action == run) {
      given << o.input << ' ' << o.output << ' ' << o.audio_stream << ' ' << o.threads << ' '
            << o.force << o.quiet << o.no_audio_ok << o.full_decode;
    }
    EXPECT_EQ(o.action, c.action) << c.want;
    EXPECT_EQ(o.action == run ? given.str() : o.refusal, c.want);
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
  std::string got;
  for (const char* recording : {"show.ts", "dir/show.mpg", "a.b/show", ".hidden", "dir/.hidden",
                                "s.tar.mkv", "show", "show."}) {
    got += default_event_name(recording) + " ";
  }
  EXPECT_EQ(got,
            "show.evt dir/show.evt a.b/show.evt .hidden.evt dir/.hidden.evt s.tar.evt "
            "show.evt show.evt ");
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

// The windows that a block closes: their start times and mean squares.
using starts_and_levels = std::vector<std::pair<std::int64_t, double>>;
starts_and_levels windows_of(window_accumulator& acc, const unsigned char** planes,
                             sample_layout layout, int samples, int rate, std::int64_t time_ns) {
  std::vector<audio_window> out;
  add_audio(acc, {layout, planes, samples, rate, time_ns}, out);
  starts_and_levels got;
  for (const audio_window& w : out) got.push_back({w.start_ns, w.mean_square});
  return got;
}

// n frames of these samples, then the tail.
std::vector<float> frames(int n, std::vector<float> each, std::vector<float> tail = {}) {
  std::vector<float> out;
  for (int i = 0; i < n; ++i) out.insert(out.end(), each.begin(), each.end());
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

TEST(ProbeAudio, WindowsOfTwentyMilliseconds) {
  // Blocks of float samples into one accumulator, each at its time or none, and the
  // windows each closes.
  struct {
    std::vector<float> samples;
    int channels, rate;
    std::int64_t time_ns;
    starts_and_levels want;
  } steps[] = {
      // Without any time yet nothing can be placed.
      {frames(40, {1}), 1, 1000, NO_TIME, {}},
      // 1000 Hz: 20 samples a window, whatever the frames: 15, 30 and 15 samples.
      {frames(15, {0.5}), 1, 1000, 3 * S, {}},
      {frames(30, {1}), 1, 1000, 3015 * MS, {{3 * S, (15 * 0.25 + 5 * 1.0) / 20}, {3020 * MS, 1}}},
      {frames(15, {0}), 1, 1000, NO_TIME, {{3040 * MS, 0.25}}},
      // 15 ms late is still in step (the samples lead to 3060 ms)...
      {frames(20, {1}), 1, 1000, 3075 * MS, {{3060 * MS, 1}}},
      // ...16 ms is not: the open window closes short and the next starts at the frame.
      {frames(10, {0.5}), 1, 1000, 3080 * MS, {}},
      {frames(20, {0}), 1, 1000, 3106 * MS, {{3080 * MS, 0.25}, {3106 * MS, 0}}},
      // A new rate: 2000 Hz gives windows of 40 samples.
      {frames(40, {1}), 1, 2000, 3126 * MS, {{3126 * MS, 1}}},
      // Stereo packed: left 1, right 0 (0.5 a frame); then NaN and 1e30, -1e30 and
      // infinity count as 0 and 1, 1 and 0.
      {frames(18, {1, 0}, {NAN, 1e30f, -1e30f, INFINITY}), 2, 1000, 3146 * MS, {{3146 * MS, 0.5}}},
  };
  window_accumulator acc;
  for (const auto& step : steps) {
    const unsigned char* planes[1] = {reinterpret_cast<const unsigned char*>(step.samples.data())};
    const int n = static_cast<int>(step.samples.size()) / step.channels;
    EXPECT_EQ(windows_of(acc, planes, {sample_kind::f32, false, step.channels}, n, step.rate,
                         step.time_ns),
              step.want)
        << "at " << step.time_ns;
  }
}

template <class T>
double normalised(T value, sample_kind kind) {
  return normalised_sample(reinterpret_cast<const unsigned char*>(&value), kind);
}

TEST(ProbeAudio, IntegerAndPlanarSamples) {
  EXPECT_EQ(normalised<std::uint8_t>(0, sample_kind::u8), -1);
  EXPECT_EQ(normalised<std::uint8_t>(128, sample_kind::u8), 0);
  EXPECT_EQ(normalised<std::int16_t>(-32768, sample_kind::s16), -1);
  EXPECT_EQ(normalised<std::int32_t>(1 << 30, sample_kind::s32), 0.5);
  EXPECT_EQ(normalised<double>(-7, sample_kind::f64), -1);
  // Planar s16, two channels, at 48 kHz: 960 samples a window.
  std::vector<std::int16_t> left(960, 16384), right(960, 0);
  const unsigned char* planes[2] = {reinterpret_cast<const unsigned char*>(left.data()),
                                    reinterpret_cast<const unsigned char*>(right.data())};
  window_accumulator acc;
  EXPECT_EQ(windows_of(acc, planes, {sample_kind::s16, true, 2}, 960, 48000, 5),
            (starts_and_levels{{5, 0.125}}));
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
