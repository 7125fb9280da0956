// The SVG picture: text escaping, tick steps and adaptive bins at their edges, and whole
// documents that parse, stay small, carry exactly the cut list's marks and match the example.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "process.h"
#include "report/output_buffer.h"
#include "report/svg_envelope.h"
#include "report/svg_picture.h"
#include "report/text_builders.h"

namespace cutspot::testing {
namespace {

using std::string, std::vector;

const string FFFD = "\xEF\xBF\xBD";
const string SAMPLE = CUTSPOT_SOURCE_DIR "/examples/sample.evt";

// The first group of each match, followed by the time that a second group holds in ns.
vector<string> marks(const string& text, const string& pattern) {
  vector<string> found;
  const std::regex re(pattern);
  for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) {
    const std::ssub_match& ns = (*it)[2];
    found.push_back((*it)[1].str() + string(ns.matched ? format_time(std::stoll(ns)).view() : ""));
  }
  return found;
}

TEST(SvgText, EscapesMarkupAndReplacesWhatXmlCannotHold) {
  const string cases[][2] = {
      {"a&b<c>d\"e'f caf\xC3\xA9\xC2\xA0", "a&amp;b&lt;c&gt;d&quot;e&#39;f caf\xC3\xA9\xC2\xA0"},
      // Bad byte, C0, DEL, C1, U+FFFE, then a kept 4-byte character and one cut short.
      {"x\xFF\x01\x7F\xC2\x9F\xEF\xBF\xBE\xF0\x9F\x8E\xA5\xE2\x82",
       "x" + FFFD + FFFD + FFFD + FFFD + FFFD + "\xF0\x9F\x8E\xA5" + FFFD}};
  for (const auto& [in, expected] : cases) {
    string_sink sink;
    auto out = std::make_unique<output_buffer>(sink);
    append_xml_text(in, out.get());
    out->flush();
    EXPECT_EQ(sink.text, expected) << in;
  }
}

TEST(SvgTicks, ShortestRoundStepWithinTwelveSteps) {
  constexpr std::uint64_t S = 1000000000;
  // Each span takes the step given, and a nanosecond more takes the next.
  const std::uint64_t cases[][3] = {{12 * S, S, 2 * S},
                                    {7200 * S, 600 * S, 900 * S},
                                    {12 * 43200 * S, 43200 * S, 86400 * S},
                                    {UINT64_MAX - 1, 20000 * 86400 * S, 20000 * 86400 * S}};
  for (const auto& [span, step, next] : cases) {
    EXPECT_EQ(svg_tick_step(span), step) << span;
    EXPECT_EQ(svg_tick_step(span + 1), next) << span;
  }
}

TEST(SvgEnvelope, BinsSlideThenDoubleAndHoldExtremeTimes) {
  // The narrowest bin; the time just past the last bin; the end of the first second's bin
  // 953, which is always covered; and the earliest time that fits with it.
  constexpr std::int64_t BIN = std::int64_t{1} << SVG_MIN_SHIFT, FULL = SVG_BINS * BIN;
  constexpr std::int64_t SECOND = 954 * BIN - 1, EARLY = SECOND + 1 - FULL;
  // Times added in turn; the bin width's shift and the first and last nanosecond covered.
  const std::tuple<vector<std::int64_t>, unsigned, std::int64_t, std::int64_t> cases[] = {
      {{}, SVG_MIN_SHIFT, 0, SECOND},
      {{0, FULL - 1}, SVG_MIN_SHIFT, 0, FULL - 1},
      {{0, BIN, FULL}, SVG_MIN_SHIFT + 1, 0, FULL + 2 * BIN - 1},
      // Slides back a bin, forward again while that still fits, then doubles.
      {{0, -1, FULL - 2 * BIN - 1, FULL}, SVG_MIN_SHIFT + 1, -2 * BIN, FULL + 2 * BIN - 1},
      {{EARLY}, SVG_MIN_SHIFT, EARLY, SECOND},
      {{EARLY - 1}, SVG_MIN_SHIFT + 1, EARLY - 2 * BIN, SECOND},
      {{INT64_MAX, INT64_MIN, 0}, 52, INT64_MIN, INT64_MAX},
  };
  for (const auto& [times, shift, first, last] : cases) {
    auto e = std::make_unique<level_envelope>();
    for (std::uint32_t i = 0; i < times.size(); ++i) e->add(times[i], 10 + i, 0);
    EXPECT_EQ(std::tuple(e->shift(), key_time(e->first_key()), key_time(e->last_key())),
              std::tuple(shift, first, last));
    for (std::uint32_t i = 0; i < times.size(); ++i) {  // Merged with others, never lost.
      const level_bin& bin = e->bin((time_key(times[i]) - e->first_key()) >> e->shift());
      EXPECT_TRUE(bin.video_min <= 10 + i && 10 + i <= bin.video_max) << times[i];
    }
  }
}

TEST(SvgProgram, WellFormedForAnyFileAndName) {
  const string cases[][3] = {
      {"sample.evt", read_file(SAMPLE), "sample.evt"},
      {"empty.evt", "", "empty.evt"},
      {"a\"b&c<d\xFF.evt", read_file(SAMPLE), "a&quot;b&amp;c&lt;d" + FFFD + ".evt"}};
  for (const auto& [name, bytes, shown] : cases) {
    temp_dir dir;
    const process_result r = run_cutspot({"-svg", dir.write(name, bytes)});
    EXPECT_EQ(r.status, 0) << shown << ": " << r.err;
    EXPECT_NE(r.out.find("<title>cutspot: " + dir.path() + "/" + shown + "<"), string::npos);
    const process_result lint = run_process("/usr/bin/xmllint", {"--noout", dir.write("p", r.out)});
    EXPECT_EQ(lint.status, 0) << shown << ": " << lint.err;
  }
}

TEST(SvgProgram, MarksAreTheCutListsAndTwoHoursStayUnderAMegabyte) {
  temp_dir dir;
  for (const string& path :
       {SAMPLE, dir.write("long.evt", run_process(EVTGEN_BINARY, {"--seconds", "7200"}).out)}) {
    for (vector<string> args : vector<vector<string>>{{}, {"-p40"}, {"-p90", "-i30"}}) {
      args.push_back(path);
      const vector<string> expected = marks(run_cutspot(args).out, "\n([AD][-0-9:.]+)(?=\n)");
      args.insert(args.begin(), "-svg");
      const string svg = run_cutspot(args).out;
      EXPECT_FALSE(expected.empty()) << path;
      EXPECT_EQ(marks(svg, "data-kind=\"([AD])\" data-ns=\"(-?[0-9]+)\""), expected)
          << args[1] << ' ' << path;
      EXPECT_LT(svg.size(), 1000000u) << path;
    }
  }
}

// Made in the source directory, which gives the file name as examples/sample.evt; remake it
// there with: cutspot -svg examples/sample.evt > examples/sample.svg
TEST(SvgProgram, SampleMatchesItsExample) {
  const string sh = "cd \"$0\" && \"$1\" -svg examples/sample.evt";  // $0, $1: the arguments.
  const string made = run_process("/bin/sh", {"-c", sh, CUTSPOT_SOURCE_DIR, CUTSPOT_BINARY}).out;
  EXPECT_EQ(made, read_file(CUTSPOT_SOURCE_DIR "/examples/sample.svg"));
}

}  // namespace
}  // namespace cutspot::testing
