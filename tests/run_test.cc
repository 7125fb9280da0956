// Whole runs in memory: the arguments and the event file in, the exit status and both
// output streams out, byte for byte.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "event_file_writer.h"
#include "in_memory_run.h"
#include "process.h"
#include "report/output_buffer.h"
#include "run_rows.h"

namespace cutspot {
namespace {

using namespace testing;

const std::string TRY = "Try 'cutspot --help'.\n";
const std::string USAGE_TEXT(USAGE);

// Two breaks in level mode after the lead-in minute: dark and quiet around 100 s and
// around 130 s; loud and bright elsewhere.
std::string two_breaks() {
  std::vector<event_record> r;
  auto stretch = [&](std::int64_t from, std::int64_t to, unsigned char level, std::uint32_t value) {
    for (std::int64_t t = from; t < to; t += 40 * MS) {
      r.push_back(audio(t, value));
      r.push_back(video(t + 20 * MS, level));
    }
  };
  stretch(99 * SEC, 100 * SEC, 200, 4000);
  stretch(100 * SEC, 102 * SEC, 10, 100);
  stretch(102 * SEC, 130 * SEC, 220, 4000);
  stretch(130 * SEC, 131 * SEC, 10, 100);
  stretch(131 * SEC, 133 * SEC, 220, 4000);
  return event_file(r);
}

const std::string CUT = "Fshow.mpg\nD001:41.000\nA002:10.520\nE\n";
// With a period of 29 s the second mark, 29.52 s after the first, is a D too.
const std::string CUT_29 = "Fshow.mpg\nD001:41.000\nD002:10.520\nE\n";

run_case refused(std::vector<std::string> args, const std::string& reason) {
  return {std::move(args), 2, USAGE_TEXT, "cutspot: " + reason + "\n" + TRY};
}

std::string control(const std::string& quoted) {
  return quoted + ": a file name with a control character would corrupt the cut list";
}

run_case missing(const std::string& name, const std::string& quoted) {
  return {
      {name}, 2, USAGE_TEXT, "cutspot: cannot open " + quoted + ": No such file or directory\n"};
}

std::string ignoring(const std::string& arg) {
  return "cutspot: warning: ignoring " + arg +
         " after the event file name (options go before it)\n";
}

TEST(Run, RefusalsSayWhy) {
  const std::string not_evt = " is not an event file name: it must contain '.evt'";
  expect_runs(
      {
          refused({}, "no event file named"),
          refused({"-x", "show.evt"}, "unknown option '-x'"),
          refused({"-p5", "--"}, "no event file named"),
          // After -- a name is a name, even --help.
          refused({"--", "--help"}, "'--help'" + not_evt),
          // Help acts only where an option may stand.
          refused({"-x", "--help"}, "unknown option '-x'"),
          refused({"show"}, "'show'" + not_evt),
          // The number apart from its option, escaped as any name is.
          refused({"-p", "5\x1b[2J\nD1", "show.evt"},
                  "the number goes in the same argument as its option: -p5\\x1b[2J\\x0aD1, "
                  "not -p 5\\x1b[2J\\x0aD1"),
          refused({"-i", "60", "show.evt"},
                  "the number goes in the same argument as its option: -i60, not -i 60"),
          refused({"-m", "30", "show.evt"},
                  "the number goes in the same argument as its option: -m30, not -m 30"),
          refused({"-graph"}, "no event file named: '-graph' is an option"),
          refused({"-json"}, "no event file named: '-json' is an option"),
          refused({"-breaks"}, "no event file named: '-breaks' is an option"),
          // A carriage return would forge lines of the cut list.
          refused({"a\rD001:41.000\r.evt"}, control("'a\\x0dD001:41.000\\x0d.evt'")),
          refused({"-graph", "-json", "show.evt"}, "-graph cannot be combined with -json"),
          refused({"-svg", "show.evt", "-graph"}, "-graph cannot be combined with -svg"),
          refused({"-graph", "-ffconcat", "show.evt"}, "-graph cannot be combined with -ffconcat"),
          // The edges of the control characters: C0 and DEL are refused, C1 only quoted, and
          // an overlong form of U+0000 quoted byte by byte.
          refused({"a\x1f.evt"}, control("'a\\x1f.evt'")),
          missing("a .evt", "'a .evt'"),
          missing("a~.evt", "'a~.evt'"),
          refused({"a\x7f.evt"}, control("'a\\x7f.evt'")),
          missing("n\xc2\x9f.evt", "'n\\xc2\\x9f.evt'"),
          missing("n\xc2\xa0.evt", "'n\xc2\xa0.evt'"),
          missing("o\xe0\x80\x80.evt", "'o\\xe0\\x80\\x80.evt'"),
          missing("o\xe0\x9f\xbf.evt", "'o\\xe0\\x9f\\xbf.evt'"),
          missing("o\xe0\xa0\x80.evt", "'o\xe0\xa0\x80.evt'"),
          missing("gone.evt", "'gone.evt'"),
      },
      {{"show.evt", two_breaks()}});
}

TEST(Run, WholeRuns) {
  const std::string warning = "cutspot: warning: ignoring ";
  const auto unknown = [](int n) {
    std::vector<event_record> r = {other(SEC, 7), other(2 * SEC, 0), other(3 * SEC, 9)};
    for (int i = 0; i < n; ++i) r.push_back(other((4 + i) * SEC, 3));
    r.push_back(audio(20 * SEC, 5));
    return event_file(r);
  };
  const std::map<std::string, std::string> files = {
      {"show.evt", two_breaks()},
      {"dir.evt/show.evt", two_breaks()},
      {"show.evt.bak", two_breaks()},
      {"-graph.evt", two_breaks()},
      // Marks at 70 s, 100 s and 160 s.
      {"m.evt", marked(SEC, 170 * SEC, {70 * SEC, 100 * SEC, 160 * SEC})},
      {"it's.evt", ""},
      {"types.evt", unknown(7)},
      {"mostly.evt", unknown(6)},
      // A new stretch resets both levels, also when the stream begins at time 0.
      {"zero.evt", event_file({video(0, 10), audio(20 * MS, 10), video(40 * MS, 10),
                               video(SEC, 250), audio(2 * SEC, 8000)})},
  };
  expect_runs(
      {
          {{"show.evt"}, 0, CUT, ""},
          {{"dir.evt/show.evt"}, 0, "Fdir.evt/show.mpg\nD001:41.000\nA002:10.520\nE\n", ""},
          {{"show.evt.bak"}, 0, CUT, ""},  // Whatever follows .evt is dropped.
          {{"-p29", "show.evt"}, 0, CUT_29, ""},
          {{"-p0", "show.evt"}, 0, CUT, ""},  // 210, not 0.
          {{"-i30", "show.evt"}, 0, "Fshow.mpg\nD001:41.000\nE\n", ""},
          {{"-i30", "-i0", "show.evt"}, 0, CUT, ""},  // The last one counts.
          // An ignore span up to the period is kept: the second mark is dropped, and the
          // third is a period after it. Beyond the period, nothing is ignored.
          {{"-p50", "-i49", "m.evt"}, 0, "Fm.mpg\nD001:10.000\nD002:40.000\nE\n", ""},
          {{"-p50", "-i50", "m.evt"}, 0, "Fm.mpg\nD001:10.000\nD002:40.000\nE\n", ""},
          {{"-p50", "-i51", "m.evt"}, 0, "Fm.mpg\nD001:10.000\nA001:40.000\nD002:40.000\nE\n", ""},
          {{"show.evt", "-edl", "x"}, 0, CUT, ignoring("'-edl'") + ignoring("'x'")},
          {{"-p29", "--", "show.evt"}, 0, CUT_29, ""},
          {{"--", "-graph.evt"}, 0, "F-graph.mpg\nD001:41.000\nA002:10.520\nE\n", ""},
          {{"--", "show.evt", "--"}, 0, CUT, ignoring("'--'")},
          {{"it's.evt"},
           0,
           "Fit's.mpg\nE\n",
           "cutspot: warning: 'it\\'s.evt' holds no whole record\n"},
          // Nearly all records of unknown types is a warning; nine in ten is not.
          {{"types.evt"},
           0,
           "Ftypes.mpg\nE\n",
           "cutspot: warning: 'types.evt': 10 of 11 records are neither audio nor video; is it "
           "an event file?\n"},
          {{"mostly.evt"}, 0, "Fmostly.mpg\nE\n", ""},
          {{"zero.evt"}, 0, "Fzero.mpg\nA000:00.520\nE\n", ""},
          // The number rule stays (digits up to the first other character, none give 0),
          // but what it does not read is named: each in order, before those after the name.
          {{"-p29x", "show.evt"}, 0, CUT_29, warning + "'x' after the number in '-p29x'\n"},
          {{"-pabc", "show.evt"},
           0,
           CUT,
           warning + "'abc' in '-pabc': no digits, so the number is 0\n"},
          {{"-i+", "show.evt"}, 0, CUT, warning + "'+' in '-i+': no digits, so the number is 0\n"},
          {{"-p60\x1b[2J", "show.evt"},
           0,
           CUT,
           warning + "'\\x1b[2J' after the number in '-p60\\x1b[2J'\n"},
          {{"-p1x", "-p60y", "show.evt", "-edl"},
           0,
           CUT,
           warning + "'x' after the number in '-p1x'\n" + warning +
               "'y' after the number in '-p60y'\n" + ignoring("'-edl'")},
          {{"-p", "show.evt"}, 0, CUT, ""},
          {{"-p \t+60", "-i-0", "show.evt"}, 0, CUT, ""},
      },
      files);
}

// -h, --help and --version act wherever an option may stand, the last argument included;
// after the name they are ignored like any option.
TEST(Run, HelpAndVersion) {
  const std::string help = run_in_memory({"--help"}, {}).out;
  expect_golden("help.txt", help);
  const std::string version =
      "cutspot " CUTSPOT_VERSION "\nLicence: MIT; free software, without warranty.\n";
  expect_runs(
      {
          {{"--help"}, 0, help, ""},
          {{"--version"}, 0, version, ""},
          {{"-h", "show.evt"}, 0, help, ""},
          {{"-graph", "-h"}, 0, help, ""},
          {{"-i5", "--version", "--help"}, 0, version, ""},  // The first of them wins.
          {{"--help", "-x", "-graph", "-json"}, 0, help, ""},
          {{"show.evt", "--help"}, 0, CUT, ignoring("'--help'")},
      },
      {{"show.evt", two_breaks()}});
}

// On a terminal both streams go to one place: the usage line must come first there too.
TEST(Run, UsageLineBeforeTheReason) {
  for (const run_case& row :
       {refused({"-x", "show.evt"}, "unknown option '-x'"), missing("gone.evt", "'gone.evt'")})
    EXPECT_EQ(run_in_memory(row.args, {}, 3, true).out, row.out + row.err);
}

TEST(Run, FailedPassesPrintNoEndLine) {
  const std::string bytes = two_breaks();
  // Each option, and the passes of its run over the file.
  const std::pair<std::string, int> runs[] = {
      {"-p300", 2}, {"-graph", 3}, {"-svg", 3}, {"-json", 2}, {"-chapters", 2}};
  for (const auto& [option, passes] : runs) {
    for (int whole = 0; whole < passes; ++whole) {
      for (auto how : {faulty_source::read_error, faulty_source::shrinks}) {
        const run_result r = run_with_opener({option, "show.evt"}, opening([&] {
                                               return std::make_unique<faulty_source>(
                                                   bytes, bytes.size() / 2, how, whole);
                                             }));
        const std::string what = option + " pass " + std::to_string(whole + 1);
        EXPECT_EQ(r.status, 1) << what;
        EXPECT_EQ(r.err, how == faulty_source::shrinks
                             ? "cutspot: 'show.evt' changed while it was read\n"
                             : "cutspot: error reading 'show.evt': Input/output error\n")
            << what;
        EXPECT_FALSE(r.out.ends_with("E\n") || r.out.ends_with("</svg>\n") ||
                     r.out.ends_with("}\n"))
            << what;
      }
    }
  }
}

// Fails every write, noting how many bytes of the file had been read at the first.
struct failing_sink final : byte_sink {
  bool write(const char*, std::size_t) override {
    if (calls++ == 0) read_at_failure = delivered;
    return false;
  }
  std::string error() const override { return "No space left on device"; }
  std::size_t delivered = 0, read_at_failure = 0;
  int calls = 0;
};

TEST(Run, StopsAtTheFirstWriteError) {
  std::vector<event_record> records;
  for (std::int64_t t = 1; t < 200 * SEC; t += 20 * MS) records.push_back(audio(t, 20000));
  // A graph of 760 KB; documents of 5000 marks (gap mode, a dark picture every 2 s).
  for (std::int64_t t = 200 * SEC; t < 10200 * SEC; t += 2 * SEC) records.push_back(video(t, 0));
  const std::string bytes = event_file(records);
  for (const char* option : {"-graph", "-svg", "-json", "-edl", "-chapters", "-p5"}) {
    const char* argv[] = {"cutspot", option, "big.evt"};
    failing_sink out;
    string_sink err;
    const source_opener open = opening([&] {
      auto source = std::make_unique<faulty_source>(bytes, 0, faulty_source::read_error, 99);
      source->delivered = &out.delivered;
      return source;
    });
    EXPECT_EQ(run_cutspot(3, argv, open, out, err, run_options{16}), 1) << option;
    EXPECT_EQ(out.calls, 1) << option;
    // The pass stops within the block it was in.
    EXPECT_LE(out.delivered - out.read_at_failure, 16u * 24) << option;
    EXPECT_EQ(err.text, "cutspot: error writing standard output: No space left on device\n")
        << option;
  }
}

}  // namespace
}  // namespace cutspot
