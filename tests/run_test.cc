// Whole runs in memory: the arguments and the event file in, the exit status and both
// output streams out, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "analysis/audio_range.h"
#include "app/command_line.h"
#include "event_file_writer.h"
#include "eventfile/byte_source.h"
#include "eventfile/record_reader.h"
#include "in_memory_run.h"
#include "report/level_graph.h"

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

struct run_row {
  const char* what;
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;
};

void expect_rows(const std::vector<run_row>& rows,
                 const std::map<std::string, std::string>& files) {
  for (const run_row& row : rows) {
    const run_result r = run_in_memory(row.args, files);
    EXPECT_EQ(r.status, row.status) << row.what;
    EXPECT_EQ(r.out, row.out) << row.what;
    EXPECT_EQ(r.err, row.err) << row.what;
  }
}

const std::string CUT = "Fshow.mpg\nD001:41.000\nA002:10.520\nE\n";

TEST(Run, RefusalsSayWhy) {
  const std::map<std::string, std::string> files = {{"show.evt", two_breaks()}};
  auto refused = [](const char* what, std::vector<std::string> args, std::string reason) {
    return run_row{what, std::move(args), 2, USAGE_TEXT, "cutspot: " + reason + "\n" + TRY};
  };
  expect_rows(
      {
          refused("nothing", {}, "no event file named"),
          refused("an unknown option is taken as the name", {"-x", "show.evt"},
                  "unknown option '-x'"),
          refused("a long one", {"--bogus"}, "unknown option '--bogus'"),
          refused("options are case-sensitive", {"-P600", "show.evt"}, "unknown option '-P600'"),
          refused("-- and no name", {"--"}, "no event file named"),
          refused("-- as the last argument", {"-p5", "--"}, "no event file named"),
          refused("after -- a name is a name", {"--", "-x"},
                  "'-x' is not an event file name: it must contain '.evt'"),
          refused("help after -- is a name too", {"--", "--help"},
                  "'--help' is not an event file name: it must contain '.evt'"),
          refused("help only where an option may stand", {"-x", "--help"}, "unknown option '-x'"),
          refused("no .evt", {"show"}, "'show' is not an event file name: it must contain '.evt'"),
          refused("the .evt test is case-sensitive", {"SHOW.EVT"},
                  "'SHOW.EVT' is not an event file name: it must contain '.evt'"),
          refused("the number apart from -p", {"-p", "600", "show.evt"},
                  "the number goes in the same argument as its option: -p600, not -p 600"),
          refused("the number is escaped", {"-p", "5\x1b[2J\nD1", "show.evt"},
                  "the number goes in the same argument as its option: -p5\\x1b[2J\\x0aD1, "
                  "not -p 5\\x1b[2J\\x0aD1"),
          refused("the number apart from -i", {"-i", "60", "show.evt"},
                  "the number goes in the same argument as its option: -i60, not -i 60"),
          refused("-graph alone is the name", {"-graph"},
                  "no event file named: '-graph' is an option"),
          refused("a document option alone", {"-json"},
                  "no event file named: '-json' is an option"),
          refused("a carriage return would forge lines", {"a\rD001:41.000\r.evt"},
                  "'a\\x0dD001:41.000\\x0d.evt': a file name with a control character would "
                  "corrupt the cut list"),
          refused("so would DEL", {"a\x7f.evt"},
                  "'a\\x7f.evt': a file name with a control character would corrupt the cut list"),
          refused("and a tab", {"late\tshow.evt"},
                  "'late\\x09show.evt': a file name with a control character would corrupt the "
                  "cut list"),
          refused("the graph is not a document", {"-graph", "-json", "show.evt"},
                  "-graph cannot be combined with -json"),
          refused("nor after the name", {"-svg", "show.evt", "-graph"},
                  "-graph cannot be combined with -svg"),
          {"a file that cannot be opened",
           {"gone.evt"},
           2,
           USAGE_TEXT,
           "cutspot: cannot open 'gone.evt': No such file or directory\n"},
      },
      files);
}

TEST(Run, ControlBytesNeverReachTheTerminal) {
  // The refusal names the file, escaped.
  const run_result r = run_in_memory({"gone\x1b[2J.evt"}, {});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "cutspot: 'gone\\x1b[2J.evt': a file name with a control character would corrupt "
            "the cut list\n" +
                TRY);
  // A name that opens but holds nothing is quoted in the warning.
  const run_result w = run_in_memory({"caf\xc3\xa9 'it'.evt"}, {{"caf\xc3\xa9 'it'.evt", ""}});
  EXPECT_EQ(w.err, "cutspot: warning: 'caf\xc3\xa9 \\'it\\'.evt' holds no whole record\n");
}

TEST(Run, WholeRuns) {
  const std::map<std::string, std::string> files = {
      {"show.evt", two_breaks()},
      {"dir.evt/show.evt", two_breaks()},
      {"show.evt.bak", two_breaks()},
      {"empty.evt", ""},
      {"short.evt", event_file({}, 23)},
      {"types.evt",
       event_file({other(SEC, 7), other(2 * SEC, 0), other(3 * SEC, 9), other(4 * SEC, 5),
                   other(5 * SEC, 3), other(6 * SEC, 4), other(7 * SEC, 3), other(8 * SEC, 3),
                   other(9 * SEC, 3), other(10 * SEC, 3), audio(11 * SEC, 5)})},
      {"mostly.evt",
       event_file({other(SEC, 7), other(2 * SEC, 0), other(3 * SEC, 9), other(4 * SEC, 5),
                   other(5 * SEC, 3), other(6 * SEC, 4), other(7 * SEC, 3), other(8 * SEC, 3),
                   other(9 * SEC, 3), audio(10 * SEC, 5)})},
      // A new stretch resets both levels, also when the stream begins at time 0.
      {"zero.evt", event_file({video(0, 10), audio(20 * MS, 10), video(40 * MS, 10),
                               video(SEC, 250), audio(2 * SEC, 8000)})},
  };
  const std::string warning =
      "cutspot: warning: ignoring '-edl' after the event file name "
      "(options go before it)\n";
  expect_rows(
      {
          {"the cut list", {"show.evt"}, 0, CUT, ""},
          {"a directory named .evt",
           {"dir.evt/show.evt"},
           0,
           "Fdir.evt/show.mpg\nD001:41.000\nA002:10.520\nE\n",
           ""},
          {"whatever follows .evt is dropped", {"show.evt.bak"}, 0, CUT, ""},
          {"-p sets the period",
           {"-p29", "show.evt"},
           0,
           "Fshow.mpg\nD001:41.000\nD002:10.520\nE\n",
           ""},
          {"29.52 s after the reference is within a period of 30",
           {"-p30", "show.evt"},
           0,
           "Fshow.mpg\nD001:41.000\nA002:10.520\nE\n",
           ""},
          {"-p0 is 210, not 0", {"-p0", "show.evt"}, 0, CUT, ""},
          {"-p-5 is a period of 136 years", {"-p-5", "show.evt"}, 0, CUT, ""},
          {"-i drops a close mark", {"-i30", "show.evt"}, 0, "Fshow.mpg\nD001:41.000\nE\n", ""},
          {"-i exactly the distance keeps it", {"-i29", "show.evt"}, 0, CUT, ""},
          {"-i beyond the period falls back to 0",
           {"-p20", "-i30", "show.evt"},
           0,
           "Fshow.mpg\nD001:41.000\nD002:10.520\nE\n",
           ""},
          {"repeated options overwrite", {"-i30", "-i0", "show.evt"}, 0, CUT, ""},
          {"an ignored argument is named", {"show.evt", "-edl"}, 0, CUT, warning},
          {"each of them",
           {"show.evt", "-edl", "x"},
           0,
           CUT,
           warning + "cutspot: warning: ignoring 'x' after the event file name (options go "
                     "before it)\n"},
          {"no whole record",
           {"empty.evt"},
           0,
           "Fempty.mpg\nE\n",
           "cutspot: warning: 'empty.evt' holds no whole record\n"},
          {"a partial record is not one",
           {"short.evt"},
           0,
           "Fshort.mpg\nE\n",
           "cutspot: warning: 'short.evt' holds no whole record\n"},
          {"nearly all of unknown types",
           {"types.evt"},
           0,
           "Ftypes.mpg\nE\n",
           "cutspot: warning: 'types.evt': 10 of 11 records are neither audio nor video; is "
           "it an event file?\n"},
          {"nine in ten is not nearly all", {"mostly.evt"}, 0, "Fmostly.mpg\nE\n", ""},
          {"levels reset at time 0", {"zero.evt"}, 0, "Fzero.mpg\nA000:00.520\nE\n", ""},
      },
      files);
}

TEST(Run, HelpAndVersion) {
  const run_result help = run_in_memory({"--help"}, {});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with(USAGE_TEXT)) << help.out;
  for (const char* option : {"-p<sec>", "-i<sec>", "-graph", "-svg", "-json", "-edl", "-chapters",
                             "Exit status", "cutspot(1)"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(run_in_memory({"-h", "show.evt"}, {}).out, help.out);
  for (const char* option : {"-h, --help", "--          end of the options"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  const run_result version = run_in_memory({"--version"}, {});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out,
            "cutspot " CUTSPOT_VERSION "\nLicence: MIT; free software, without warranty.\n");
}

// -h, --help and --version act wherever an option may stand, the last argument included;
// after the name they are ignored like any option.
TEST(Run, HelpAndVersionWhereverAnOptionMayStand) {
  const std::string help = run_in_memory({"--help"}, {}).out;
  const std::string version = run_in_memory({"--version"}, {}).out;
  const std::map<std::string, std::string> files = {{"show.evt", two_breaks()}};
  expect_rows(
      {
          {"help last", {"-p60", "--help"}, 0, help, ""},
          {"-h last", {"-graph", "-h"}, 0, help, ""},
          {"help before the name", {"-json", "-h", "show.evt"}, 0, help, ""},
          {"the first of them wins", {"-i5", "--version", "--help"}, 0, version, ""},
          {"version last", {"-p5", "--version"}, 0, version, ""},
          {"what follows is not examined", {"--help", "-x", "-graph", "-json"}, 0, help, ""},
          {"after the name, ignored",
           {"show.evt", "--help"},
           0,
           CUT,
           "cutspot: warning: ignoring '--help' after the event file name (options go before "
           "it)\n"},
      },
      files);
}

TEST(Run, EndOfOptions) {
  const std::map<std::string, std::string> files = {{"show.evt", two_breaks()},
                                                    {"-graph.evt", two_breaks()}};
  expect_rows(
      {
          {"-- then the name", {"--", "show.evt"}, 0, CUT, ""},
          {"options before --", {"-p60", "-i5", "--", "show.evt"}, 0, CUT, ""},
          {"a name that looks like an option",
           {"--", "-graph.evt"},
           0,
           "F-graph.mpg\nD001:41.000\nA002:10.520\nE\n",
           ""},
          {"a second -- is ignored after the name",
           {"--", "show.evt", "--"},
           0,
           CUT,
           "cutspot: warning: ignoring '--' after the event file name (options go before it)\n"},
      },
      files);
}

// The number rule stays (digits up to the first other character, none give 0), but what
// it does not read is named.
TEST(Run, NumbersWarnAboutWhatIsIgnored) {
  const std::map<std::string, std::string> files = {{"show.evt", two_breaks()}};
  auto warned = [](const char* what, std::vector<std::string> args, std::string err) {
    return run_row{what, std::move(args), 0, CUT, std::move(err)};
  };
  expect_rows(
      {
          warned("trailing letters", {"-p60x", "show.evt"},
                 "cutspot: warning: ignoring 'x' after the number in '-p60x'\n"),
          warned("no digits", {"-pabc", "show.evt"},
                 "cutspot: warning: ignoring 'abc' in '-pabc': no digits, so the number is 0\n"),
          warned("-i too", {"-i10s", "show.evt"},
                 "cutspot: warning: ignoring 's' after the number in '-i10s'\n"),
          warned("a sign alone", {"-i+", "show.evt"},
                 "cutspot: warning: ignoring '+' in '-i+': no digits, so the number is 0\n"),
          warned("white space after", {"-p60 ", "show.evt"},
                 "cutspot: warning: ignoring ' ' after the number in '-p60 '\n"),
          warned("escaped", {"-p60\x1b[2J", "show.evt"},
                 "cutspot: warning: ignoring '\\x1b[2J' after the number in '-p60\\x1b[2J'\n"),
          warned("each one, in order, before those after the name",
                 {"-p1x", "-p60y", "show.evt", "-edl"},
                 "cutspot: warning: ignoring 'x' after the number in '-p1x'\n"
                 "cutspot: warning: ignoring 'y' after the number in '-p60y'\n"
                 "cutspot: warning: ignoring '-edl' after the event file name (options go "
                 "before it)\n"),
          warned("-p alone is no warning", {"-p", "show.evt"}, ""),
          warned("nor leading space and a sign", {"-p \t+60", "-i-0", "show.evt"}, ""),
      },
      files);
  // The values themselves are as before: 60 and 0 (so 210).
  EXPECT_EQ(run_in_memory({"-json", "-p60x", "show.evt"}, files).out,
            run_in_memory({"-json", "-p60", "show.evt"}, files).out);
  EXPECT_EQ(run_in_memory({"-json", "-pabc", "-i7q", "show.evt"}, files).out,
            run_in_memory({"-json", "-p0", "-i7", "show.evt"}, files).out);
}

// On a terminal both streams go to one place: the usage line must come first there too.
TEST(Run, UsageLineBeforeTheReason) {
  auto together = [](std::vector<const char*> args) {
    args.insert(args.begin(), "cutspot");
    string_sink both;
    run_cutspot(
        static_cast<int>(args.size()), args.data(),
        [](const std::string&) {
          open_result r;
          r.reason = "No such file or directory";
          return r;
        },
        both, both);
    return both.text;
  };
  EXPECT_EQ(together({"-x", "show.evt"}), USAGE_TEXT + "cutspot: unknown option '-x'\n" + TRY);
  EXPECT_EQ(together({"gone.evt"}),
            USAGE_TEXT + "cutspot: cannot open 'gone.evt': No such file or directory\n");
}

// Without a single audio record there is no silence threshold to tell.
TEST(Run, JsonWithoutAudio) {
  const std::map<std::string, std::string> files = {
      {"empty.evt", ""},
      {"video.evt", event_file({video(SEC, 10), video(2 * SEC, 220)})},
      {"silent.evt", event_file({audio(SEC, 0), video(2 * SEC, 220)})}};
  auto json = [&](const char* name) { return run_in_memory({"-json", name}, files).out; };
  EXPECT_EQ(json("empty.evt"),
            "{\"file\": \"empty.mpg\", \"event_file\": \"empty.evt\", \"mode\": \"gap\", "
            "\"audio_scale\": 1, \"silence_threshold\": null, \"period_seconds\": 300, "
            "\"ignore_seconds\": 0, \"records\": 0, \"marks\": []}\n");
  EXPECT_NE(json("video.evt").find("\"silence_threshold\": null, "), std::string::npos);
  // Audio that is all silence still has its threshold, 0.
  EXPECT_NE(json("silent.evt").find("\"silence_threshold\": 0, "), std::string::npos);
}

std::string bars(char video, std::size_t audio) {
  return std::string(video == '#' ? "#########" : "         ") + " | " + std::string(audio, '=') +
         std::string(49 - audio, ' ') + "\n";
}

TEST(Run, GraphSeparators) {
  const std::string header = "Timestamp : T Video Lvl | Audio Lvl\n";
  const std::string sep = "----------:\n";
  // Level mode (scale 2, threshold 2800): a quiet span closes only when loud audio comes
  // more than a second after it began.
  const std::string level =
      event_file({audio(5 * SEC, 5000), audio(10 * SEC, 1000), audio(10500 * MS, 5000),
                  audio(11 * SEC, 5000), audio(11 * SEC + 1, 5000)});
  // Gap mode (scale 1): a pause resets the levels before the next record, whatever its type.
  const std::string gap = event_file({audio(100 * MS, 20000), video(120 * MS, 0), other(5 * SEC, 3),
                                      audio(5 * SEC + 10 * MS, 0), audio(6 * SEC + 10 * MS, 0),
                                      audio(7 * SEC + 10 * MS + 1, 0)});
  const run_result l = run_in_memory({"-graph", "l.evt"}, {{"l.evt", level}});
  EXPECT_EQ(l.out, header + "000:05.000: A " + bars('#', 49) + sep + "000:10.000: A " +
                       bars('#', 10) + "000:10.500: A " + bars('#', 49) + "000:11.000: A " +
                       bars('#', 49) + sep + "000:11.000: A " + bars('#', 49) + "\nFl.mpg\nE\n");
  const run_result g = run_in_memory({"g.evt", "-graph"}, {{"g.evt", gap}});
  EXPECT_EQ(g.out, header + "000:00.100: A " + bars('#', 49) + "000:00.120: V " + bars(' ', 49) +
                       sep + "000:05.000: V " + bars('#', 49) + "000:05.010: A " + bars('#', 0) +
                       "000:06.010: A " + bars('#', 0) + sep + "000:07.010: A " + bars('#', 0) +
                       "\nFg.mpg\nE\n");
  EXPECT_EQ(g.status, 0);
  EXPECT_EQ(g.err, "");
  EXPECT_EQ(run_in_memory({"-graph", "e.evt"}, {{"e.evt", ""}}).out, header + "\nFe.mpg\nE\n");
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
        const run_result r = run_with_opener(run.args, [&](const std::string&) {
          open_result opened;
          opened.status = open_status::opened;
          opened.source = std::make_unique<faulty_source>(bytes, bytes.size() / 2, how, whole);
          return opened;
        });
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

// Counts the bytes it delivers.
class counting_source final : public byte_source {
 public:
  counting_source(std::string_view bytes, std::size_t* delivered)
      : bytes_(bytes), delivered_(delivered) {}
  std::uint64_t length() const override { return bytes_.size(); }
  bool rewind() override {
    pos_ = 0;
    return true;
  }
  std::size_t read(unsigned char* buf, std::size_t n) override {
    n = std::min(n, bytes_.size() - pos_);
    std::memcpy(buf, bytes_.data() + pos_, n);
    pos_ += n;
    *delivered_ += n;
    return n;
  }
  std::string error() const override { return {}; }

 private:
  std::string_view bytes_;
  std::size_t* delivered_;
  std::size_t pos_ = 0;
};

// Fails its first write, then counts what it is still given, and how much more of the
// file was read after it failed.
class failing_sink final : public byte_sink {
 public:
  explicit failing_sink(const std::size_t* delivered) : delivered_(delivered) {}
  bool write(const char*, std::size_t n) override {
    if (calls++ > 0) later += n;
    if (calls == 1) read_at_failure = *delivered_;
    return false;
  }
  std::string error() const override { return "No space left on device"; }
  std::size_t read_after_failure() const { return *delivered_ - read_at_failure; }
  int calls = 0;
  std::size_t later = 0;

 private:
  const std::size_t* delivered_;
  std::size_t read_at_failure = 0;
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
    const int status = run_cutspot(
        3, argv,
        [&](const std::string&) {
          open_result opened;
          opened.status = open_status::opened;
          opened.source = std::make_unique<counting_source>(bytes, &delivered);
          return opened;
        },
        out, err, run_options{16});
    EXPECT_EQ(status, 1) << option;
    EXPECT_EQ(out.later, 0u) << option;
    // The pass stops within the block it was in.
    EXPECT_LE(out.read_after_failure(), 16u * 24) << option;
    EXPECT_EQ(err.text, "cutspot: error writing standard output: No space left on device\n")
        << option;
  }
}

}  // namespace
}  // namespace cutspot
