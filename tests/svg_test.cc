// The SVG picture: its text escaping, tick steps and adaptive bins at their edges, and
// whole documents that must parse, stay small, and carry exactly the cut list's marks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/run.h"
#include "event_file_writer.h"
#include "eventfile/byte_source.h"
#include "process.h"
#include "report/output_buffer.h"
#include "report/svg_envelope.h"
#include "report/svg_picture.h"
#include "report/text_builders.h"

namespace cutspot::testing {
namespace {

using std::string;
using std::vector;

constexpr std::int64_t BIN0 = std::int64_t{1} << SVG_MIN_SHIFT;  // The narrowest bin.
constexpr std::int64_t MIN64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t MAX64 = std::numeric_limits<std::int64_t>::max();
const string FFFD = "\xEF\xBF\xBD";
const string TICK = "<text x=\"[0-9.]+\" y=\"395\">([^<]*)</text>";

// Serves its bytes, but fails every read after the rewind numbered fail_pass.
class failing_source final : public byte_source {
 public:
  failing_source(const string& bytes, int fail_pass) : bytes_(bytes), fail_pass_(fail_pass) {}
  bool rewind() override {
    pos_ = 0;
    ++passes_;
    return true;
  }
  std::size_t read(unsigned char* buf, std::size_t n) override {
    const std::size_t k = passes_ >= fail_pass_ ? 0 : std::min(n, bytes_.size() - pos_);
    std::copy_n(bytes_.data() + pos_, k, buf);
    pos_ += k;
    return k;
  }
  std::string error() const override { return passes_ >= fail_pass_ ? "disk on fire" : ""; }

 private:
  string bytes_;
  int fail_pass_;
  int passes_ = 0;
  std::size_t pos_ = 0;
};

// Runs the program in memory on bytes named t.evt: status, standard output, standard error.
std::tuple<int, string, string> run_in_memory(const string& bytes, vector<string> args,
                                              int fail_pass = 1000) {
  args.insert(args.begin(), "cutspot");
  args.push_back("t.evt");
  vector<const char*> argv;
  for (const string& a : args) argv.push_back(a.c_str());
  string_sink out;
  string_sink err;
  auto open = [&](const string&, string*, bool*) -> std::unique_ptr<byte_source> {
    return std::make_unique<failing_source>(bytes, fail_pass);
  };
  const int status =
      cutspot::run_cutspot(static_cast<int>(argv.size()), argv.data(), open, out, err);
  return {status, out.text, err.text};
}

string svg_of(const string& bytes, vector<string> options = {}) {
  options.push_back("-svg");
  auto [status, out, err] = run_in_memory(bytes, options);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(err, "");
  return out;
}

// xmllint parses the whole document and prints nothing when it is well-formed.
void expect_well_formed(const string& document) {
  const string xmllint = "/usr/bin/xmllint";
  ASSERT_TRUE(std::filesystem::exists(xmllint)) << "xmllint is missing: install libxml2-utils";
  temp_dir dir;
  process_result r = run_process(xmllint, {"--noout", dir.write("p.svg", document)});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

// The groups of every match of pattern, in order.
vector<vector<string>> matches(const string& text, const string& pattern) {
  vector<vector<string>> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
       ++it) {
    found.emplace_back(it->begin() + 1, it->end());
  }
  return found;
}

vector<string> firsts(const string& text, const string& pattern) {
  vector<string> found;
  for (const vector<string>& m : matches(text, pattern)) found.push_back(m[0]);
  return found;
}

// The marks of a picture, as cut list lines.
vector<string> marks_of_svg(const string& svg) {
  vector<string> lines;
  for (const vector<string>& m : matches(svg, "data-kind=\"([AD])\" data-ns=\"(-?[0-9]+)\"")) {
    lines.push_back(m[0] + string(format_time(std::stoll(m[1])).view()));
  }
  return lines;
}

// The mark lines of a cut list.
vector<string> marks_of_cut_list(const string& cut_list) {
  vector<string> lines;
  std::istringstream in(cut_list);
  for (string line; std::getline(in, line);) {
    if (line[0] == 'A' || line[0] == 'D') lines.push_back(line);
  }
  return lines;
}

// The x of the columns that a level's path draws (the legend has one such path before).
vector<int> envelope_columns(const string& svg, const string& level) {
  const std::size_t start = svg.rfind("<path class=\"" + level + "\" d=\"");
  const string path = svg.substr(start, svg.find("/>", start) - start);
  vector<int> columns;
  for (const string& x : firsts(path, "M([0-9]+)\\.5 ")) columns.push_back(std::stoi(x));
  return columns;
}

// The full-height rectangles of one group, as left and right x.
vector<std::pair<double, double>> bands_of(const string& svg, const string& group) {
  const std::size_t start = svg.find("<g class=\"" + group + "\">");
  const string part = svg.substr(start, svg.find("</g>", start) - start);
  vector<std::pair<double, double>> bands;
  for (const vector<string>& m :
       matches(part, "<rect x=\"([0-9.]+)\" y=\"60\" width=\"([0-9.]+)\" height=\"316\"/>")) {
    bands.emplace_back(std::stod(m[0]), std::stod(m[0]) + std::stod(m[1]));
  }
  return bands;
}

// Bright loud programme over [from, to), a record every 10 ms, dark and quiet in [s, e).
vector<test_record> programme(std::int64_t from, std::int64_t to, std::int64_t s = -1,
                              std::int64_t e = -1) {
  vector<test_record> records;
  for (std::int64_t t = from; t < to; t += 20 * MS) {
    const bool dark = t >= s && t < e;
    records.push_back(video(t, dark ? 5 : 200));
    records.push_back(audio(t + 10 * MS, dark ? 10 : 5000));
  }
  return records;
}

// ---------------------------------------------------------------------------------------
// Text and ticks.

TEST(SvgText, EscapesMarkupAndReplacesWhatXmlCannotHold) {
  const struct {
    string in;
    string out;
  } cases[] = {
      {"show.evt", "show.evt"},
      {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&#39;f"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xA5", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xA5"},
      {"\xFF", FFFD},
      {"x\xC0\xAFy", "x" + FFFD + FFFD + "y"},          // overlong '/'
      {"\xED\xA0\x80", FFFD + FFFD + FFFD},             // a surrogate
      {"\xF4\x90\x80\x80", FFFD + FFFD + FFFD + FFFD},  // past U+10FFFF
      {"ab\xE2\x82", "ab" + FFFD},                      // cut short at the end
      {"\xE2\x82x", FFFD + "x"},                        // cut short inside
      {"\t\n\r\x01\x1F\x7F", FFFD + FFFD + FFFD + FFFD + FFFD + FFFD},
      {"\xC2\x80\xC2\x9F\xC2\xA0", FFFD + FFFD + "\xC2\xA0"},        // C1 controls; no-break space
      {"\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF\xBD", FFFD + FFFD + FFFD},  // U+FFFE, U+FFFF, U+FFFD
      {"", ""},
  };
  for (const auto& c : cases) {
    string_sink sink;
    auto out = std::make_unique<output_buffer>(sink);
    append_xml_text(c.in, out.get());
    out->flush();
    EXPECT_EQ(sink.text, c.out) << c.in;
  }
}

TEST(SvgTicks, ShortestRoundStepWithinTwelveSteps) {
  constexpr std::uint64_t S = 1000000000;
  const std::uint64_t cases[][2] = {
      {0, S},
      {12 * S, S},
      {12 * S + 1, 2 * S},
      {360 * S, 30 * S},
      {360 * S + 1, 60 * S},
      {7200 * S, 600 * S},
      {7200 * S + 1, 900 * S},
      {12 * 43200 * S + 1, 86400 * S},
      {std::numeric_limits<std::uint64_t>::max(), 20000 * 86400 * S},
  };
  for (const auto& c : cases) EXPECT_EQ(svg_tick_step(c[0]), c[1]) << c[0];
}

// ---------------------------------------------------------------------------------------
// The bins.

TEST(SvgEnvelope, FirstSecondThenDoublingPastTheLastBin) {
  auto e = std::make_unique<level_envelope>();
  EXPECT_EQ(key_time(e->first_key()), 0);
  EXPECT_EQ(key_time(e->last_key()), 954 * BIN0 - 1);  // 999999999 ns lies in bin 953.
  EXPECT_EQ(e->bin(953).flags, 0);

  e->add(0, 10, 9000);
  e->add(BIN0, 200, 100);
  e->add(SVG_BINS * BIN0 - 1, VIDEO_LEVEL_NONE, std::numeric_limits<std::uint32_t>::max());
  EXPECT_EQ(e->shift(), SVG_MIN_SHIFT);
  EXPECT_EQ(e->bin_count(), SVG_BINS);
  EXPECT_EQ(e->bin(SVG_BINS - 1).video_max, 255);  // Clamped to the axes.
  EXPECT_EQ(e->bin(SVG_BINS - 1).audio_max, 10000);

  e->add(SVG_BINS * BIN0, 7, 7);
  EXPECT_EQ(e->shift(), SVG_MIN_SHIFT + 1);
  EXPECT_EQ(e->bin_count(), SVG_BINS / 2 + 1);
  const level_bin& merged = e->bin(0);
  EXPECT_EQ(merged.flags, BIN_DATA);
  EXPECT_EQ(merged.video_min, 10);
  EXPECT_EQ(merged.video_max, 200);
  EXPECT_EQ(merged.video_last, 200);
  EXPECT_EQ(merged.audio_min, 100);
  EXPECT_EQ(merged.audio_max, 9000);
  EXPECT_EQ(merged.audio_last, 100);
  EXPECT_EQ(e->bin(SVG_BINS / 2).video_max, 7);
}

TEST(SvgEnvelope, EarlierTimesSlideThenDouble) {
  auto e = std::make_unique<level_envelope>();
  e->add(0, 1, 1);
  e->add(-1, 2, 2);  // The bin just before time 0.
  EXPECT_EQ(key_time(e->first_key()), -BIN0);
  EXPECT_EQ(e->bin_count(), 955u);
  EXPECT_EQ(e->bin(0).video_max, 2);
  EXPECT_EQ(e->bin(1).video_max, 1);

  const std::int64_t early = -static_cast<std::int64_t>(SVG_BINS - 954) * BIN0;
  e->add(early, 3, 3);  // Fills the window exactly.
  EXPECT_EQ(e->shift(), SVG_MIN_SHIFT);
  EXPECT_EQ(key_time(e->first_key()), early);
  EXPECT_EQ(e->bin(0).video_max, 3);
  EXPECT_EQ(e->bin(SVG_BINS - 954).video_max, 1);

  e->add(early - 1, 4, 4);  // One bin too many.
  EXPECT_EQ(e->shift(), SVG_MIN_SHIFT + 1);
  EXPECT_EQ(key_time(e->first_key()), early - 2 * BIN0);
  EXPECT_EQ(e->bin(0).video_max, 4);
}

TEST(SvgEnvelope, ExtremeTimesFitWithoutOverflow) {
  auto e = std::make_unique<level_envelope>();
  e->add(MAX64, 1, 1);
  e->add(MIN64, 2, 2, true, MAX64);
  e->add(0, 3, 3, true, MIN64);
  EXPECT_EQ(e->first_key(), 0u);
  EXPECT_EQ(e->last_key(), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(e->bin(0).video_max, 2);
  EXPECT_EQ(e->bin(e->bin_count() - 1).video_max, 1);
}

TEST(SvgEnvelope, PausesMarkTheirBinsAndMergeInward) {
  auto e = std::make_unique<level_envelope>();
  e->add(0, 1, 1);
  e->add(BIN0, 2, 2, true, 0);  // From bin 0 into bin 1.
  e->add(3 * BIN0 - 1, 3, 3);
  e->add(3 * BIN0, 4, 4, true, 3 * BIN0 - 1);  // From bin 2 into bin 3...
  e->add(3 * BIN0 + 2, 5, 5, true, 3 * BIN0);  // ...and within bin 3.
  e->add(1, 6, 6);                             // Back into bin 0: it ends in no pause now.
  EXPECT_EQ(e->bin(0).flags, BIN_DATA);
  EXPECT_EQ(e->bin(1).flags, BIN_DATA | BIN_STARTS_AFTER_GAP);
  EXPECT_EQ(e->bin(2).flags, BIN_DATA | BIN_ENDS_IN_GAP);
  EXPECT_EQ(e->bin(3).flags, BIN_DATA | BIN_STARTS_AFTER_GAP | BIN_INNER_GAP);

  // Doubling puts bins 2 and 3 together: that pause now lies inside.
  e->add(SVG_BINS * BIN0, 7, 7);
  ASSERT_EQ(e->shift(), SVG_MIN_SHIFT + 1);
  EXPECT_EQ(e->bin(0).flags, BIN_DATA | BIN_INNER_GAP);
  EXPECT_EQ(e->bin(1).flags, BIN_DATA | BIN_INNER_GAP);
}

// ---------------------------------------------------------------------------------------
// Whole documents, in memory.

TEST(SvgDocument, HeadingAndThresholdClampedToTheAudioPanel) {
  const string svg = svg_of(event_file(programme(0, 10 * SEC)));
  EXPECT_EQ(svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", 0), 0u);
  EXPECT_NE(svg.find("<title>cutspot: t.evt</title>"), string::npos);
  EXPECT_NE(svg.find("<text class=\"title\" x=\"16\" y=\"24\">t.evt</text>"), string::npos);
  // Loudest and quietest 5000: scale 2, threshold 10000, on the top row.
  EXPECT_NE(svg.find(">level mode, audio scale 2, silence threshold 10000, 1000 records<"),
            string::npos);
  EXPECT_NE(svg.find("<path class=\"threshold\" d=\"M64 196.5H1564\"/>"), string::npos);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");

  // Only pictures: gap mode, threshold all bits set, at the top too.
  const string top = svg_of(event_file({video(SEC, 200)}));
  EXPECT_NE(top.find(">gap mode, audio scale 1, silence threshold 4294967295, 1 records<"),
            string::npos);
  EXPECT_NE(top.find("<path class=\"threshold\" d=\"M64 196.5H1564\"/>"), string::npos);
  // Audio 0 and 5: scale 2000, threshold 0, on the bottom row.
  const string bottom = svg_of(event_file({audio(SEC, 0), audio(2 * SEC, 5)}));
  EXPECT_NE(bottom.find("<path class=\"threshold\" d=\"M64 375.5H1564\"/>"), string::npos);
}

TEST(SvgDocument, EmptyAndExtremeFilesStayWellFormed) {
  for (const string& bytes : {string(), string("HEAD"), event_file({}), event_file({}, 23)}) {
    const string svg = svg_of(bytes);
    EXPECT_NE(svg.find(", 0 records<"), string::npos);
    EXPECT_NE(svg.find("<path class=\"video\" d=\"\"/>"), string::npos);
    EXPECT_NE(svg.find("<path class=\"audio\" d=\"\"/>"), string::npos);
    EXPECT_EQ(svg.find("data-kind"), string::npos);
    EXPECT_EQ(firsts(svg, TICK), (vector<string>{"000:00", "000:01"}));  // The first second.
    expect_well_formed(svg);
  }
  const string extreme = svg_of(event_file(
      {video(MAX64, 5), audio(-SEC, 1), video(MIN64, 5), audio(SEC, 9999), video(2 * SEC, 5)}));
  const vector<string> ticks = firsts(extreme, TICK);
  EXPECT_GE(ticks.size(), 2u);
  EXPECT_LE(ticks.size(), 13u);
  expect_well_formed(extreme);
}

TEST(SvgDocument, QuietDarkIntervalIsShadedAroundItsMark) {
  // 4 s to 6 s of a 10-second axis, 1500 px wide from x = 64.
  const string svg = svg_of(event_file(programme(0, 10 * SEC, 4 * SEC, 6 * SEC)));
  const auto quiet = bands_of(svg, "quiet");
  ASSERT_EQ(quiet.size(), 1u);
  EXPECT_NEAR(quiet[0].first, 64 + 600, 2);
  EXPECT_NEAR(quiet[0].second, 64 + 900, 2);
  const vector<string> marks = firsts(svg, "<line x1=\"([0-9.]+)\" y1=\"54\"");
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_NEAR(std::stod(marks[0]), 64 + 750, 2);
  EXPECT_TRUE(bands_of(svg, "gap").empty());
}

TEST(SvgDocument, PausesOverOneSecondBreakTheLevels) {
  // Records up to 2 s, then from 7 s on.
  vector<test_record> records = programme(0, 2 * SEC);
  for (const test_record& r : programme(7 * SEC, 10 * SEC)) records.push_back(r);
  const string svg = svg_of(event_file(records));
  const auto gaps = bands_of(svg, "gap");
  ASSERT_EQ(gaps.size(), 1u);
  EXPECT_NEAR(gaps[0].first, 64 + 300, 2);
  EXPECT_NEAR(gaps[0].second, 64 + 1050, 2);
  for (const string level : {"video", "audio"}) {
    const vector<int> columns = envelope_columns(svg, level);
    EXPECT_GT(columns.size(), 700u) << level;  // 5 of 10 seconds.
    for (int x : columns) EXPECT_TRUE(x <= 64 + 301 || x >= 64 + 1049) << level << ' ' << x;
  }

  // Exactly a second is no pause; a nanosecond more is, however short on the axis.
  vector<test_record> steady;
  for (std::int64_t t = 0; t < 2 * SEC; t += 40 * MS) steady.push_back(video(t, 100));
  const std::int64_t last = steady.back().ns;
  steady.push_back(video(last + SEC, 100));
  EXPECT_TRUE(bands_of(svg_of(event_file(steady)), "gap").empty());
  steady.push_back(video(last + 2 * SEC + 1, 100));
  EXPECT_EQ(bands_of(svg_of(event_file(steady)), "gap").size(), 1u);
}

TEST(SvgDocument, LevelsHoldBetweenRecords) {
  // Records 300 ms apart, far wider than a column: every column up to the last is drawn.
  vector<test_record> records;
  for (std::int64_t t = 0; t <= 900 * MS; t += 300 * MS) records.push_back(video(t, 100));
  const vector<int> columns = envelope_columns(svg_of(event_file(records)), "video");
  ASSERT_FALSE(columns.empty());
  EXPECT_EQ(columns.front(), 64);
  EXPECT_EQ(columns.size(), static_cast<std::size_t>(columns.back() - 64 + 1));
  EXPECT_GT(columns.back(), 64 + 1300);
}

TEST(SvgDocument, ReadFailureInAnyPassPrintsNothing) {
  // Pass 1 scans the audio range, pass 2 is the picture's own, pass 3 finds intervals.
  for (int fail_pass : {1, 2, 3}) {
    auto [status, out, err] = run_in_memory(event_file(programme(0, SEC)), {"-svg"}, fail_pass);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "cutspot: error reading t.evt: disk on fire\n");
  }
}

TEST(SvgDocument, MarksAreTheCutListsAndLieInTheirShading) {
  // A break every 20 s for five minutes: both letters under most settings.
  vector<test_record> records;
  for (std::int64_t t = 0; t < 300 * SEC; t += 20 * SEC) {
    for (const test_record& r : programme(t, t + 20 * SEC, t + 15 * SEC, t + 16 * SEC)) {
      records.push_back(r);
    }
  }
  const string bytes = event_file(records);
  bool both = false;
  for (const vector<string>& options :
       vector<vector<string>>{{}, {"-p30"}, {"-p50", "-i25"}, {"-i30"}, {"-p"}}) {
    const string cut_list = std::get<1>(run_in_memory(bytes, options));
    const string svg = svg_of(bytes, options);
    EXPECT_EQ(marks_of_svg(svg), marks_of_cut_list(cut_list));
    both = both || (cut_list.find("\nA") != string::npos && cut_list.find("\nD") != string::npos);

    const auto quiet = bands_of(svg, "quiet");
    EXPECT_EQ(quiet.size(), 15u);
    for (const string& x : firsts(svg, "<line x1=\"([0-9.]+)\" y1=\"54\"")) {
      EXPECT_TRUE(std::any_of(quiet.begin(), quiet.end(), [&](const auto& band) {
        return band.first <= std::stod(x) && std::stod(x) <= band.second;
      })) << x;
    }
  }
  EXPECT_TRUE(both);
}

// ---------------------------------------------------------------------------------------
// Whole documents from the program.

TEST(SvgProgram, TwoHoursStayWellUnderAMegabyteWithTheCutListsMarks) {
  temp_dir dir;
  process_result generated = run_process(EVTGEN_BINARY, {"--seconds", "7200"});
  ASSERT_EQ(generated.status, 0);
  const string path = dir.write("long.evt", generated.out);
  for (vector<string> args : vector<vector<string>>{{}, {"-p40"}, {"-p90", "-i30"}, {"-i50"}}) {
    args.push_back(path);
    const process_result plain = run_cutspot(args);
    args.insert(args.begin(), "-svg");
    const process_result picture = run_cutspot(args);
    ASSERT_EQ(picture.status, 0);
    EXPECT_EQ(picture.err, "");
    EXPECT_LT(picture.out.size(), 1000000u);
    const vector<string> expected = marks_of_cut_list(plain.out);
    EXPECT_GT(expected.size(), 80u);
    EXPECT_EQ(marks_of_svg(picture.out), expected);
    EXPECT_LE(envelope_columns(picture.out, "audio").size(), 1500u);
    // The axis ends a bin past two hours, so ten minutes would take 13 steps.
    EXPECT_EQ(firsts(picture.out, TICK),
              (vector<string>{"000:00", "015:00", "030:00", "045:00", "060:00", "075:00", "090:00",
                              "105:00", "120:00"}));
    if (args.size() == 2) expect_well_formed(picture.out);
  }
}

TEST(SvgProgram, HostileFileNamesStayWellFormed) {
  temp_dir dir;
  const string path =
      dir.write("a\"b&c<d>e'f\xFF\x01.evt", event_file(programme(0, 3 * SEC, SEC, 2 * SEC)));
  const process_result r = run_cutspot({"-svg", path});
  ASSERT_EQ(r.status, 0) << r.err;
  const string shown = dir.path() + "/a&quot;b&amp;c&lt;d&gt;e&#39;f" + FFFD + FFFD + ".evt";
  EXPECT_NE(r.out.find("<title>cutspot: " + shown + "</title>"), string::npos);
  EXPECT_NE(r.out.find(">" + shown + "</text>"), string::npos);
  expect_well_formed(r.out);
}

TEST(SvgProgram, WriteFailureAsForAnyRun) {
  temp_dir dir;
  const string path = dir.write("f.evt", event_file(programme(0, SEC)));
  const process_result full = run_cutspot({"-svg", path}, {stdout_target::file, "/dev/full"});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err.rfind("cutspot: error writing standard output: ", 0), 0u) << full.err;
}

TEST(SvgProgram, SampleMatchesItsExample) {
  const string sample = string(CUTSPOT_SOURCE_DIR) + "/examples/sample.evt";
  const process_result r = run_cutspot({"-svg", sample});
  ASSERT_EQ(r.status, 0);
  // The example was made with the name relative to the source directory.
  string out = r.out;
  for (std::size_t at; (at = out.find(sample)) != string::npos;) {
    out.replace(at, sample.size(), "examples/sample.evt");
  }
  EXPECT_EQ(out, read_file(string(CUTSPOT_SOURCE_DIR) + "/examples/sample.svg"))
      << "remake it with: cutspot -svg examples/sample.evt > examples/sample.svg";
}

}  // namespace
}  // namespace cutspot::testing
