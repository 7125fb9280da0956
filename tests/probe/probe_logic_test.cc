// cutspot-probe's logic without FFmpeg: the command line, the output file, region means,
// audio windows and their scale, and the progress line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

TEST(ProbeOptions, Accepted) {
  struct {
    std::vector<const char*> args;
    const char *input, *output;
    int audio, threads;
    bool flags;  // --force, --quiet, --no-audio-ok and --full-decode alike.
  } cases[] = {
      {{"-o", "x.evt", "-a", "2", "-f", "-q", "-j", "3", "--no-audio-ok", "--full-decode", "a.ts"},
       "a.ts",
       "x.evt",
       2,
       3,
       true},
      {{"a.ts", "--output=-", "--audio=99", "--threads=0"}, "a.ts", "-", 99, 0, false},
      {{"-ox.evt", "-a1", "-j64", "--", "-odd name.ts"}, "-odd name.ts", "x.evt", 1, 64, false},
      {{"-o", "out.evt", "-"}, "-", "out.evt", 0, 0, false},
  };
  for (const auto& c : cases) {
    probe_options o = parse(c.args);
    ASSERT_EQ(o.action, probe_action::run) << o.refusal;
    EXPECT_EQ(o.input, c.input);
    EXPECT_EQ(o.output, c.output) << c.input;
    EXPECT_EQ(o.audio_stream, c.audio) << c.input;
    EXPECT_EQ(o.threads, c.threads) << c.input;
    EXPECT_EQ((std::vector<bool>{o.force, o.quiet, o.no_audio_ok, o.full_decode}),
              std::vector<bool>(4, c.flags))
        << c.input;
  }
}

// The same convention as cutspot's: read left to right, help and version act where they
// stand, and "--" ends the options; and every refusal.
TEST(ProbeOptions, HelpVersionEndOfOptionsAndRefusals) {
  constexpr auto help = probe_action::help, run = probe_action::run;
  const std::string track = "the audio track number must be 1 to 99, not ";
  struct {
    std::vector<const char*> args;
    std::string refusal;  // Or the recording, where it runs.
    probe_action action = probe_action::usage;
  } cases[] = {
      {{"-h"}, "", help},
      {{"--help"}, "", help},
      {{"-h", "--bogus"}, "", help},
      {{"-q", "--version", "a.ts", "b.ts"}, "", probe_action::version},
      {{"--bogus", "-h"}, "unknown option '--bogus'"},
      {{"-o", "-h", "a.ts"}, "a.ts", run},
      {{"-o", "x.evt", "--", "-h"}, "-h", run},
      {{"-o", "x.evt", "--", "--version"}, "--version", run},
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
      {{"a.ts", "-a", "-1"}, track + "'-1'"},
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
    EXPECT_EQ(o.action, c.action) << c.refusal;
    if (c.action != help && c.action != probe_action::version) {
      EXPECT_EQ(c.action == run ? o.input : o.refusal, c.refusal);
    }
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
  } cases[] = {{"show.ts", "show.evt"},
               {"dir/show.mpg", "dir/show.evt"},
               {"a.b/show", "a.b/show.evt"},
               {".hidden", ".hidden.evt"},
               {"dir/.hidden", "dir/.hidden.evt"},
               {"s.tar.mkv", "s.tar.evt"},
               {"show", "show.evt"},
               {"show.", "show.evt"}};
  for (const auto& c : cases) EXPECT_EQ(default_event_name(c.recording), c.event_file);
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

std::vector<audio_window> windows_of(window_accumulator& acc, const unsigned char** planes,
                                     sample_layout layout, int samples, int rate,
                                     std::int64_t time_ns) {
  audio_block b{layout, planes, samples, rate, time_ns};
  std::vector<audio_window> out;
  add_audio(acc, b, out);
  return out;
}

std::vector<audio_window> windows_of(window_accumulator& acc, const std::vector<float>& samples,
                                     int channels, int rate, std::int64_t time_ns) {
  const unsigned char* planes[1] = {reinterpret_cast<const unsigned char*>(samples.data())};
  return windows_of(acc, planes, {sample_kind::f32, false, channels},
                    static_cast<int>(samples.size()) / channels, rate, time_ns);
}

// The windows' start times and mean squares.
using starts_and_levels = std::vector<std::pair<std::int64_t, double>>;
starts_and_levels levels(const std::vector<audio_window>& windows) {
  starts_and_levels out;
  for (const audio_window& w : windows) out.push_back({w.start_ns, w.mean_square});
  return out;
}

TEST(ProbeAudio, WindowsOfTwentyMillisecondsWhateverTheFrames) {
  window_accumulator acc;
  // 1000 Hz: 20 samples a window. Frames of 15, 30 and 5 samples.
  EXPECT_TRUE(windows_of(acc, std::vector<float>(15, 0.5f), 1, 1000, 3 * S).empty());
  EXPECT_EQ(levels(windows_of(acc, std::vector<float>(30, 1.0f), 1, 1000, 3 * S + 15 * MS)),
            (starts_and_levels{{3 * S, (15 * 0.25 + 5 * 1.0) / 20}, {3 * S + 20 * MS, 1.0}}));
  EXPECT_EQ(levels(windows_of(acc, std::vector<float>(15, 0.0f), 1, 1000, NO_TIME)),
            (starts_and_levels{{3 * S + 40 * MS, 0.25}}));
}

TEST(ProbeAudio, NoDrift) {
  // 44.1 kHz in frames of 1152 samples, timed only by the first: window k starts at
  // exactly k * 20 ms after ten minutes too.
  window_accumulator acc;
  std::vector<float> frame(1152, 0.25f);
  std::int64_t windows = 0;
  const std::int64_t frames = 44100LL * 600 / 1152;
  for (std::int64_t i = 0; i < frames; ++i) {
    auto w = windows_of(acc, frame, 1, 44100, i == 0 ? 7 : NO_TIME);
    for (const audio_window& x : w) {
      ASSERT_EQ(x.start_ns, 7 + windows * 20 * MS);
      ASSERT_DOUBLE_EQ(x.mean_square, 0.0625);
      ++windows;
    }
  }
  EXPECT_EQ(windows, frames * 1152 / 882);
}

TEST(ProbeAudio, ChannelsAndAbsurdSamples) {
  window_accumulator acc;
  // Stereo packed: left 1, right 0, and a NaN and a huge value, which count as 0 and 1.
  std::vector<float> s;
  for (int i = 0; i < 18; ++i) s.insert(s.end(), {1.0f, 0.0f});
  s.insert(s.end(), {NAN, 1e30f, -1e30f, INFINITY});
  // The last two frames: NaN and 1e30, -1e30 and INFINITY (not finite).
  EXPECT_EQ(levels(windows_of(acc, s, 2, 1000, 0)),
            (starts_and_levels{{0, (18 * 0.5 + 0.5 + 0.5) / 20}}));
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
  EXPECT_EQ(levels(windows_of(acc, planes, {sample_kind::s16, true, 2}, 960, 48000, 5)),
            (starts_and_levels{{5, 0.125}}));
}

TEST(ProbeAudio, GapsAndRateChangesStartAfresh) {
  window_accumulator acc;
  windows_of(acc, std::vector<float>(10, 1.0f), 1, 1000, 0);
  // 15 ms late is still in step (the samples lead to 10 ms; 25 ms is 15 ms off)...
  EXPECT_EQ(levels(windows_of(acc, std::vector<float>(10, 1.0f), 1, 1000, 25 * MS)),
            (starts_and_levels{{0, 1.0}}));
  // ...16 ms is not: the open window closes short and the next starts at the frame.
  windows_of(acc, std::vector<float>(10, 0.5f), 1, 1000, 20 * MS);
  EXPECT_EQ(levels(windows_of(acc, std::vector<float>(20, 0.0f), 1, 1000, 46 * MS)),
            (starts_and_levels{{20 * MS, 0.25}, {46 * MS, 0.0}}));
  // A new rate: 2000 Hz gives windows of 40 samples.
  EXPECT_EQ(levels(windows_of(acc, std::vector<float>(40, 1.0f), 1, 2000, 66 * MS)),
            (starts_and_levels{{66 * MS, 1.0}}));
  std::vector<audio_window> rest;
  flush_audio(acc, rest);
  EXPECT_TRUE(rest.empty());
  // Without any time yet nothing can be placed.
  window_accumulator fresh;
  EXPECT_TRUE(windows_of(fresh, std::vector<float>(40, 1.0f), 1, 1000, NO_TIME).empty());
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
