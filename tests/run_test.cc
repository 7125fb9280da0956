// Whole runs in memory: the arguments and the event file in, the exit status and both
// output streams out, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "analysis/audio_range.h"
#include "app/command_line.h"
#include "event_file_writer.h"
#include "eventfile/byte_source.h"
#include "eventfile/record_reader.h"
#include "in_memory_run.h"
#include "report/level_graph.h"
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
          refused({"-graph"}, "no event file named: '-graph' is an option"),
          refused({"-json"}, "no event file named: '-json' is an option"),
          // A carriage return would forge lines of the cut list.
          refused({"a\rD001:41.000\r.evt"}, control("'a\\x0dD001:41.000\\x0d.evt'")),
          refused({"-graph", "-json", "show.evt"}, "-graph cannot be combined with -json"),
          refused({"-svg", "show.evt", "-graph"}, "-graph cannot be combined with -svg"),
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
      },
      files);
}

// -h, --help and --version act wherever an option may stand, the last argument included;
// after the name they are ignored like any option.
TEST(Run, HelpAndVersion) {
  const std::string help = run_in_memory({"--help"}, {}).out;
  EXPECT_TRUE(help.starts_with(USAGE_TEXT)) << help;
  for (const char* option : {"-p<sec>", "-i<sec>", "-graph", "-svg", "-json", "-edl", "-chapters",
                             "Exit status", "cutspot(1)", "-h, --help", "--          end of"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
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

// The number rule stays (digits up to the first other character, none give 0), but what
// it does not read is named.
TEST(Run, NumbersWarnAboutWhatIsIgnored) {
  const auto warned = [](std::vector<std::string> args, const std::string& out,
                         const std::string& err) {
    return run_case{std::move(args), 0, out, err};
  };
  const std::string warning = "cutspot: warning: ignoring ";
  expect_runs(
      {
          warned({"-p29x", "show.evt"}, CUT_29, warning + "'x' after the number in '-p29x'\n"),
          warned({"-pabc", "show.evt"}, CUT,
                 warning + "'abc' in '-pabc': no digits, so the number is 0\n"),
          warned({"-i+", "show.evt"}, CUT,
                 warning + "'+' in '-i+': no digits, so the number is 0\n"),
          warned({"-p60\x1b[2J", "show.evt"}, CUT,
                 warning + "'\\x1b[2J' after the number in '-p60\\x1b[2J'\n"),
          // Each one, in order, before those after the name.
          warned({"-p1x", "-p60y", "show.evt", "-edl"}, CUT,
                 warning + "'x' after the number in '-p1x'\n" + warning +
                     "'y' after the number in '-p60y'\n" + ignoring("'-edl'")),
          warned({"-p", "show.evt"}, CUT, ""),
          warned({"-p \t+60", "-i-0", "show.evt"}, CUT, ""),
      },
      {{"show.evt", two_breaks()}});
}

// On a terminal both streams go to one place: the usage line must come first there too.
TEST(Run, UsageLineBeforeTheReason) {
  auto together = [](std::vector<const char*> args) {
    args.insert(args.begin(), "cutspot");
    string_sink both;
    const source_opener none = [](const std::string&) {
      open_result r;
      r.reason = "No such file or directory";
      return r;
    };
    run_cutspot(static_cast<int>(args.size()), args.data(), none, both, both);
    return both.text;
  };
  EXPECT_EQ(together({"-x", "show.evt"}), USAGE_TEXT + "cutspot: unknown option '-x'\n" + TRY);
  EXPECT_EQ(together({"gone.evt"}),
            USAGE_TEXT + "cutspot: cannot open 'gone.evt': No such file or directory\n");
}

TEST(Run, FailedPassesPrintNoEndLine) {
  const std::string bytes = two_breaks();
  const struct {
    std::vector<std::string> args;
    int passes;
  } runs[] = {{{"show.evt"}, 2},
              {{"-graph", "show.evt"}, 3},
              {{"-svg", "show.evt"}, 3},
              {{"-json", "show.evt"}, 2},
              {{"-chapters", "show.evt"}, 2}};
  for (const auto& run : runs) {
    for (int whole = 0; whole < run.passes; ++whole) {
      for (auto how : {faulty_source::read_error, faulty_source::shrinks}) {
        const run_result r = run_with_opener(run.args, opening([&] {
                                               return std::make_unique<faulty_source>(
                                                   bytes, bytes.size() / 2, how, whole);
                                             }));
        const std::string what = run.args[0] + " pass " + std::to_string(whole + 1);
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

// Fails every write; counts the writes and the bytes of the file read by the first.
class failing_sink final : public byte_sink {
 public:
  explicit failing_sink(const std::size_t* delivered) : delivered_(delivered) {}
  bool write(const char*, std::size_t) override {
    if (calls++ == 0) read_at_failure = *delivered_;
    return false;
  }
  std::string error() const override { return "No space left on device"; }
  std::size_t read_after_failure() const { return *delivered_ - read_at_failure; }
  int calls = 0;

 private:
  const std::size_t* delivered_;
  std::size_t read_at_failure = 0;
};

// Delivers the bytes and counts them.
class counting_source final : public byte_source {
 public:
  counting_source(std::string_view bytes, std::size_t* delivered)
      : inner_(bytes), delivered_(delivered) {}
  std::uint64_t length() const override { return inner_.length(); }
  bool rewind() override { return inner_.rewind(); }
  std::size_t read(unsigned char* buf, std::size_t n) override {
    n = inner_.read(buf, n);
    *delivered_ += n;
    return n;
  }
  std::string error() const override { return {}; }

 private:
  memory_source inner_;
  std::size_t* delivered_;
};

TEST(Run, StopsAtTheFirstWriteError) {
  std::vector<event_record> records;
  for (std::int64_t t = 1; t < 200 * SEC; t += 20 * MS) records.push_back(audio(t, 20000));
  // A graph of 760 KB; documents of 5000 marks (gap mode, a dark picture every 2 s).
  for (std::int64_t t = 200 * SEC; t < 10200 * SEC; t += 2 * SEC) records.push_back(video(t, 0));
  const std::string bytes = event_file(records);
  for (const char* option : {"-graph", "-svg", "-json", "-edl", "-chapters", "-p5"}) {
    const char* argv[] = {"cutspot", option, "big.evt"};
    std::size_t delivered = 0;
    failing_sink out(&delivered);
    string_sink err;
    const source_opener open =
        opening([&] { return std::make_unique<counting_source>(bytes, &delivered); });
    EXPECT_EQ(run_cutspot(3, argv, open, out, err, run_options{16}), 1) << option;
    EXPECT_EQ(out.calls, 1) << option;
    // The pass stops within the block it was in.
    EXPECT_LE(out.read_after_failure(), 16u * 24) << option;
    EXPECT_EQ(err.text, "cutspot: error writing standard output: No space left on device\n")
        << option;
  }
}

}  // namespace
}  // namespace cutspot
