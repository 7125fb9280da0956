// Hostile inputs against the built binary: damaged and absurd event files, things that
// are not files, unwritable output and outsized command lines. Every case checks the
// exact stdout, stderr and exit status, or for large matrices the invariants that any run
// must keep: a documented status, and a cut list that a consumer can parse.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "event_file_writer.h"
#include "eventfile/event_record.h"
#include "process.h"

namespace cutspot {
namespace {

using namespace testing;

const std::string USAGE_TEXT = "Usage: cutspot [-p<sec>] [-i<sec>] [-graph] <evt-file>\n";
const std::string GRAPH_HEAD = "Timestamp : T Video Lvl | Audio Lvl\n";
const std::string SEPARATOR = "----------:\n";
constexpr std::int64_t T_MIN = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t T_MAX = std::numeric_limits<std::int64_t>::max();

std::string cut_list(const std::string& mpeg_name, const std::string& marks) {
  return "F" + mpeg_name + "\n" + marks + "E\n";
}

// A graph line from its parts: time, kind, and the widths of the two bars.
std::string graph_line(const std::string& time, char kind, std::size_t video_cols,
                       std::size_t audio_cols) {
  return time + ": " + kind + " " + std::string(video_cols, '#') +
         std::string(9 - video_cols, ' ') + " | " + std::string(audio_cols, '=') +
         std::string(49 - audio_cols, ' ') + "\n";
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// "MMM:SS.mmm", optionally negative, exactly.
bool is_time(std::string_view t) {
  if (t.starts_with('-')) t.remove_prefix(1);
  std::size_t colon = t.find(':');
  if (colon == std::string_view::npos || colon < 3 || t.size() != colon + 7) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    if (!is_digit(t[i])) return false;
  }
  return is_digit(t[colon + 1]) && t[colon + 1] <= '5' && is_digit(t[colon + 2]) &&
         t[colon + 3] == '.' && is_digit(t[colon + 4]) && is_digit(t[colon + 5]) &&
         is_digit(t[colon + 6]);
}

std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    if (end == std::string_view::npos) end = text.size() - 1;  // Shows as a bad line.
    lines.push_back(text.substr(0, end + 1));
    text.remove_prefix(end + 1);
  }
  return lines;
}

// A complete cut list for mpeg_name, after an optional graph of `records` record lines.
::testing::AssertionResult well_formed(const std::string& out, const std::string& mpeg_name,
                                       bool graph, std::size_t records) {
  std::vector<std::string_view> lines = lines_of(out);
  std::size_t i = 0;
  if (graph) {
    if (lines.empty() || lines[0] != GRAPH_HEAD) return ::testing::AssertionFailure() << "head";
    std::size_t record_lines = 0;
    for (i = 1; i < lines.size() && lines[i] != "\n"; ++i) {
      std::string_view l = lines[i];
      if (l == SEPARATOR) continue;
      std::size_t colon = l.find(": ");
      if (colon == std::string_view::npos || !is_time(l.substr(0, colon)) ||
          l.size() != colon + 2 + 2 + 9 + 3 + 49 + 1 ||
          (l[colon + 2] != 'A' && l[colon + 2] != 'V')) {
        return ::testing::AssertionFailure() << "graph line " << i << ": " << l;
      }
      ++record_lines;
    }
    if (record_lines != records) {
      return ::testing::AssertionFailure() << record_lines << " graph lines for " << records;
    }
    ++i;  // The empty line.
  }
  if (i >= lines.size() || lines[i] != "F" + mpeg_name + "\n") {
    return ::testing::AssertionFailure() << "no file line at " << i;
  }
  for (++i; i + 1 < lines.size(); ++i) {
    std::string_view l = lines[i];
    if (l.size() < 2 || (l[0] != 'A' && l[0] != 'D') || !is_time(l.substr(1, l.size() - 2))) {
      return ::testing::AssertionFailure() << "mark line " << i << ": " << l;
    }
  }
  if (i != lines.size() - 1 || lines[i] != "E\n") return ::testing::AssertionFailure() << "end";
  return ::testing::AssertionSuccess();
}

// Bright and loud, then dark and quiet from 70.02 s to 70.06 s, loud again at 71.5 s.
// Raw audio 10 to 4000: scale 2, silence below 818, level mode.
std::vector<test_record> one_break() {
  return {audio(1000 * MS, 4000),  video(1020 * MS, 180),  audio(70000 * MS, 10),
          video(70020 * MS, 5),    audio(70040 * MS, 10),  video(70060 * MS, 5),
          audio(71500 * MS, 4000), video(71520 * MS, 180), audio(72000 * MS, 10)};
}

struct file_case {
  temp_dir dir;
  std::string path;
  std::string mpeg;
  explicit file_case(const std::string& bytes)
      : path(dir.write("x.evt", bytes)), mpeg(dir.path() + "/x.mpg") {}
};

TEST(HostileFiles, FilesWithoutAWholeHeaderHaveNoRecords) {
  for (std::size_t n = 0; n <= 8; ++n) {
    file_case f(std::string(n, '\xA5'));
    process_result plain = run_cutspot({f.path});
    EXPECT_EQ(plain.status, 0) << n;
    EXPECT_EQ(plain.out, cut_list(f.mpeg, "")) << n;
    EXPECT_EQ(plain.err, "") << n;
    process_result graph = run_cutspot({"-graph", f.path});
    EXPECT_EQ(graph.status, 0) << n;
    EXPECT_EQ(graph.out, GRAPH_HEAD + "\n" + cut_list(f.mpeg, "")) << n;
    EXPECT_EQ(graph.err, "") << n;
  }
}

TEST(HostileFiles, EveryTruncationIsTheWholeRecordsBeforeIt) {
  const std::vector<test_record> records = one_break();
  // The marks of the first k whole records; the interval grows as its records arrive.
  const std::string marks[] = {"",
                               "",
                               "",
                               "",
                               "D001:10.020\n",
                               "D001:10.030\n",
                               "D001:10.040\n",
                               "D001:10.040\n",
                               "D001:10.040\n"};
  for (std::size_t k = 0; k < std::size(marks); ++k) {
    const std::string whole = event_file({records.begin(), records.begin() + k});
    const std::string next = encode_record(records[k]);
    for (std::size_t r = 0; r < EVENT_RECORD_SIZE; ++r) {
      file_case f(whole + next.substr(0, r));
      const std::string at = "k=" + std::to_string(k) + " r=" + std::to_string(r);
      process_result plain = run_cutspot({f.path});
      EXPECT_EQ(plain.status, 0) << at;
      EXPECT_EQ(plain.out, cut_list(f.mpeg, marks[k])) << at;
      EXPECT_EQ(plain.err, "") << at;
      process_result graph = run_cutspot({f.path, "-graph"});
      EXPECT_EQ(graph.status, 0) << at;
      EXPECT_TRUE(well_formed(graph.out, f.mpeg, true, k)) << at;
      EXPECT_TRUE(graph.out.ends_with("\n\n" + plain.out)) << at;
    }
  }
}

TEST(HostileFiles, ThingsThatAreNotRegularFiles) {
  temp_dir dir;
  const std::string directory = dir.path() + "/x.evt";
  ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
  // Nobody ever writes to the FIFO: opening it must not wait for a writer.
  const std::string fifo = dir.path() + "/f.evt";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const std::string missing = dir.path() + "/missing.evt";
  run_case cases[] = {
      {{directory}, 1, "", "cutspot: cannot read " + directory + ": is a directory\n"},
      {{"-graph", directory}, 1, "", "cutspot: cannot read " + directory + ": is a directory\n"},
      {{fifo}, 1, "", "cutspot: cannot read " + fifo + ": not a regular file\n"},
      {{fifo, "-graph"}, 1, "", "cutspot: cannot read " + fifo + ": not a regular file\n"},
      {{missing},
       2,
       USAGE_TEXT,
       "cutspot: cannot open " + missing + ": No such file or directory\n"},
      {{"-p60", missing, "-graph"},
       2,
       USAGE_TEXT,
       "cutspot: cannot open " + missing + ": No such file or directory\n"},
  };
  for (const auto& c : cases) {
    process_result r = run_cutspot(c.args);
    const std::string at = ::testing::PrintToString(c.args);
    EXPECT_EQ(r.status, c.status) << at;
    EXPECT_EQ(r.out, c.out) << at;
    EXPECT_EQ(r.err, c.err) << at;
  }
}

TEST(HostileFiles, NamesWithoutTheSuffixAreUsageErrors) {
  // Each exists and is a good event file; the name alone refuses it.
  for (const char* name : {"x.EVT", "x.Evt", "x.ev", "x.mpg", "evt", "x.ev t", "x.evT"}) {
    temp_dir dir;
    const std::string path = dir.write(name, event_file(one_break()));
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{path}, {"-graph", path}, {path, "-graph"}}) {
      process_result r = run_cutspot(args);
      EXPECT_EQ(r.status, 2) << name;
      EXPECT_EQ(r.out, USAGE_TEXT) << name;
      EXPECT_EQ(r.err, "") << name;
    }
  }
}

TEST(HostileOutput, FullAndClosedStandardOutput) {
  // Long enough that the graph leaves the buffer several times before the end.
  const std::string big = run_process(EVTGEN_BINARY, {"--seconds", "120"}).out;
  ASSERT_GT(big.size(), 100000u);
  file_case f(big);
  const std::string full = "cutspot: error writing standard output: No space left on device\n";
  const std::string closed = "cutspot: error writing standard output: Bad file descriptor\n";
  const std::string missing = f.dir.path() + "/missing.evt";
  const std::string cannot_open =
      "cutspot: cannot open " + missing + ": No such file or directory\n";
  const stdout_target dev_full{stdout_target::file, "/dev/full"};
  const stdout_target shut{stdout_target::closed, ""};
  struct {
    std::vector<std::string> args;
    stdout_target target;
    int status;
    std::string err;
  } cases[] = {
      {{f.path}, dev_full, 1, full},
      {{"-graph", f.path}, dev_full, 1, full},
      {{"-p60", "-i5", f.path, "-graph"}, dev_full, 1, full},
      {{"--help"}, dev_full, 1, full},
      {{"--version"}, dev_full, 1, full},
      // The usage status stands; the write error is reported after the reason.
      {{}, dev_full, 2, full},
      {{missing}, dev_full, 2, cannot_open + full},
      {{f.path}, shut, 1, closed},
      {{"-graph", f.path}, shut, 1, closed},
      {{"--version"}, shut, 1, closed},
      {{}, shut, 2, closed},
  };
  const std::string before = read_file(f.path);
  for (const auto& c : cases) {
    process_result r = run_cutspot(c.args, c.target);
    const std::string at = ::testing::PrintToString(c.args) + " to " +
                           (c.target.how == stdout_target::closed ? "closed" : c.target.path);
    EXPECT_EQ(r.status, c.status) << at;
    EXPECT_EQ(r.err, c.err) << at;
  }
  // With stdout closed, the event file could have taken its place; it must not be hurt.
  EXPECT_EQ(read_file(f.path), before);
}

TEST(HostileRecords, AllBitsSet) {
  // Records of time -1 and an unknown type; no audio, so the neutral levels show.
  const std::string ones = std::string(8 + 3 * 24 + 5, '\xFF');
  const std::string line = graph_line("000:00.000", 'V', 9, 49);
  for (const std::string& bytes : {ones, "HEADER!!" + ones.substr(8)}) {
    file_case f(bytes);
    process_result plain = run_cutspot({f.path});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out, cut_list(f.mpeg, ""));
    EXPECT_EQ(plain.err, "");
    process_result graph = run_cutspot({"-graph", f.path});
    EXPECT_EQ(graph.status, 0);
    EXPECT_EQ(graph.out, GRAPH_HEAD + line + line + line + "\n" + cut_list(f.mpeg, ""));
    EXPECT_EQ(graph.err, "");
  }
}

TEST(HostileRecords, ExtremeTimestamps) {
  struct time_case {
    std::int64_t ns;
    const char* text;
  };
  const time_case times[] = {{T_MIN, "-153722867:16.854"},
                             {-1, "000:00.000"},
                             {0, "000:00.000"},
                             {T_MAX, "153722867:16.854"}};
  for (const time_case& t : times) {
    // One record of each kind alone in a file. Without audio the file is in gap mode, and
    // INT64_MAX is more than a second after the start: a separator. A lone dark picture
    // is a quiet-dark interval of its own, but only at a time that can be one (not <= 0).
    const bool late = t.ns == T_MAX;
    struct {
      test_record record;
      std::string graph;
      std::string marks;
    } cases[] = {
        {audio(t.ns, 100), graph_line(t.text, 'A', 9, 49), ""},
        {video(t.ns, 5), (late ? SEPARATOR : "") + graph_line(t.text, 'V', 1, 49),
         late ? "D153722867:16.854\n" : ""},
        {video(t.ns, 220), (late ? SEPARATOR : "") + graph_line(t.text, 'V', 9, 49), ""},
        {other(t.ns, 3), (late ? SEPARATOR : "") + graph_line(t.text, 'V', 9, 49), ""},
    };
    for (const auto& c : cases) {
      file_case f(event_file({c.record}));
      const std::string at = std::string(t.text) + " type " + std::to_string(c.record.type);
      process_result r = run_cutspot({"-graph", f.path});
      EXPECT_EQ(r.status, 0) << at;
      EXPECT_EQ(r.out, GRAPH_HEAD + c.graph + "\n" + cut_list(f.mpeg, c.marks)) << at;
      EXPECT_EQ(r.err, "") << at;
    }
  }
  // The two ends of time next to each other, either way round: their difference does not
  // fit in 64 bits. The earlier record after the later one cannot touch the interval.
  for (const auto& records : {std::vector<test_record>{video(T_MIN, 5), video(T_MAX, 5)},
                              std::vector<test_record>{video(T_MAX, 5), video(T_MIN, 5)}}) {
    file_case f(event_file(records));
    process_result r = run_cutspot({f.path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, cut_list(f.mpeg, "D153722867:16.854\n"));
    EXPECT_EQ(r.err, "");
  }
}

TEST(HostileRecords, EveryClassOfType) {
  // Inside a dark, quiet interval from 70.02 s comes one record whose type is under test,
  // with a loud value and bright samples: as audio it makes the sound loud, as video the
  // picture bright, and as anything else it changes no level but still takes part.
  auto file_with = [](std::uint32_t type) {
    test_record probe{70060 * MS, type, 4000, {220, 220, 220, 220}, 0};
    return event_file({audio(69500 * MS, 4000), video(69520 * MS, 180), audio(70000 * MS, 10),
                       video(70020 * MS, 5), audio(70040 * MS, 10), probe, video(70080 * MS, 5),
                       audio(70100 * MS, 10), audio(71500 * MS, 4000), video(71520 * MS, 180)});
  };
  const struct {
    std::uint32_t type;
    const char* marks;
  } cases[] = {
      {0, "D001:10.060\n"},
      {1, "D001:10.100\n"},  // Loud sound ends the interval, quiet restarts it at 70.1 s.
      {2, "D001:10.090\n"},  // A bright picture ends it, darkness restarts it at 70.08 s.
      {3, "D001:10.060\n"},
      {0x01000000, "D001:10.060\n"},  // Audio with its bytes the wrong way round.
      {0x02000000, "D001:10.060\n"},
      {0xFFFFFFFF, "D001:10.060\n"},
  };
  for (const auto& c : cases) {
    file_case f(file_with(c.type));
    process_result r = run_cutspot({f.path});
    EXPECT_EQ(r.status, 0) << c.type;
    EXPECT_EQ(r.out, cut_list(f.mpeg, c.marks)) << c.type;
    EXPECT_EQ(r.err, "") << c.type;
  }
}

TEST(HostileRecords, AudioValuesAroundTheScaleSteps) {
  // Loud audio of the value under test around two dark, quiet moments (70.02 s and
  // 71.22 s) that a pause of 1.14 s without records separates. The loudest value picks the
  // scale: up to 5000 the file is in level mode, where the second moment restarts the
  // same interval, and loud sound at 71.52 s reopens its end, so that it lasts to the last
  // record; above 5000 it is in gap mode, where the pause makes them two, and the graph
  // starts with a separator (the first record is more than a second after 0). A loudest
  // value of 0 or 1 puts the silence threshold at 0, so nothing is quiet.
  auto file_with = [](std::uint32_t loud) {
    return event_file({audio(69500 * MS, loud), video(69520 * MS, 180), audio(70000 * MS, 0),
                       video(70020 * MS, 5), audio(70040 * MS, 0), video(70060 * MS, 5),
                       audio(71200 * MS, 0), video(71220 * MS, 5), audio(71240 * MS, 0),
                       video(71260 * MS, 5), audio(71500 * MS, loud), video(71520 * MS, 180)});
  };
  const std::string two = "D001:10.040\nA001:11.360\n";
  const struct {
    std::uint32_t loud;
    std::string marks;
    bool gap_mode;
    std::size_t loud_columns;  // The audio bar of the first record.
  } cases[] = {
      {0, "", true, 0},
      {1, "", false, 49},  // Scaled by 10000.
      {5000, "D001:11.370\n", false, 49},
      {5001, two, true, 26},
      {10000, two, true, 49},
      {10001, two, true, 49},
      {0xFFFFFFFF, two, true, 49},
  };
  for (const auto& c : cases) {
    file_case f(file_with(c.loud));
    process_result r = run_cutspot({f.path});
    EXPECT_EQ(r.status, 0) << c.loud;
    EXPECT_EQ(r.out, cut_list(f.mpeg, c.marks)) << c.loud;
    EXPECT_EQ(r.err, "") << c.loud;
    process_result g = run_cutspot({"-graph", f.path});
    EXPECT_EQ(g.status, 0) << c.loud;
    EXPECT_TRUE(g.out.starts_with(GRAPH_HEAD + (c.gap_mode ? SEPARATOR : "") +
                                  graph_line("001:09.500", 'A', 9, c.loud_columns)))
        << c.loud;
    EXPECT_TRUE(well_formed(g.out, f.mpeg, true, 12)) << c.loud;
    EXPECT_TRUE(g.out.ends_with("\n\n" + r.out)) << c.loud;
  }
}

TEST(HostileRecords, EveryCombinationKeepsTheCutListWellFormed) {
  // Each time, type and value with dark and bright samples, in file order and reversed,
  // under settings that reach every branch of the mark rules.
  const std::int64_t times[] = {T_MIN, -1, 0, 1, 60 * SEC, T_MAX};
  const std::uint32_t types[] = {0, 1, 2, 3, 0x01000000, 0xFFFFFFFF};
  const std::uint32_t values[] = {0, 1, 5000, 5001, 10000, 10001, 0xFFFFFFFF};
  std::vector<test_record> records;
  for (std::int64_t t : times) {
    for (std::uint32_t type : types) {
      for (std::uint32_t v : values) {
        const std::uint8_t s = static_cast<std::uint8_t>(v % 3 == 0 ? 5 : 220);
        records.push_back({t, type, v, {s, s, 0, s}, v});
      }
    }
  }
  std::vector<test_record> reversed(records.rbegin(), records.rend());
  const std::vector<std::vector<std::string>> settings = {
      {}, {"-p"}, {"-p60", "-i5"}, {"-i-1"}, {"-p-1", "-i-1"}, {"-p1", "-i1"}};
  for (const auto& file : {records, reversed}) {
    file_case f(event_file(file, 11));
    for (const auto& options : settings) {
      for (bool graph : {false, true}) {
        std::vector<std::string> args = options;
        if (graph) args.push_back("-graph");
        args.push_back(f.path);
        process_result r = run_cutspot(args);
        const std::string at = ::testing::PrintToString(args);
        EXPECT_EQ(r.status, 0) << at;
        EXPECT_EQ(r.err, "") << at;
        EXPECT_TRUE(well_formed(r.out, f.mpeg, graph, file.size())) << at;
      }
    }
  }
}

TEST(HostileCommandLines, ArgumentsOf100KiB) {
  file_case f(event_file(one_break()));
  const std::string expected = cut_list(f.mpeg, "D001:10.040\n");
  const std::string huge(100 * 1024, '9');
  const std::string long_name = f.dir.path() + "/" + std::string(100 * 1024, 'a') + ".evt";
  run_case cases[] = {
      {{long_name}, 2, USAGE_TEXT, "cutspot: cannot open " + long_name + ": File name too long\n"},
      // Numbers saturate at the largest period and ignore span.
      {{"-p" + huge, f.path}, 0, expected, ""},
      {{"-i" + huge, "-p" + huge, f.path}, 0, expected, ""},
      {{"-i-" + huge, f.path}, 0, expected, ""},
      {{f.path, huge}, 0, expected, ""},
      {{"-x" + huge, f.path}, 2, USAGE_TEXT, ""},
  };
  for (const auto& c : cases) {
    process_result r = run_cutspot(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0].substr(0, 10);
    EXPECT_EQ(r.out, c.out) << c.args[0].substr(0, 10);
    EXPECT_EQ(r.err, c.err) << c.args[0].substr(0, 10);
  }
}

TEST(HostileCommandLines, TenThousandArguments) {
  file_case f(event_file(one_break()));
  const std::string plain = run_cutspot({f.path}).out;
  const std::string graph = run_cutspot({"-graph", f.path}).out;
  ASSERT_EQ(plain, cut_list(f.mpeg, "D001:10.040\n"));
  auto many = [](const std::string& arg) { return std::vector<std::string>(9999, arg); };
  struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {{many("-graph"), graph}, {many("-p60"), plain}, {many("-i5"), plain}, {{}, plain}};
  cases[0].args.push_back(f.path);
  cases[1].args.push_back(f.path);
  cases[2].args.push_back(f.path);
  cases[3].args = many("ignored");
  cases[3].args.insert(cases[3].args.begin(), f.path);
  for (const auto& c : cases) {
    ASSERT_EQ(c.args.size(), 10000u);
    process_result r = run_cutspot(c.args);
    EXPECT_EQ(r.status, 0) << c.args[0];
    EXPECT_EQ(r.out, c.out) << c.args[0];
    EXPECT_EQ(r.err, "") << c.args[0];
  }
  // Ten thousand arguments without a file name among them.
  process_result r = run_cutspot(many("-graph"));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, USAGE_TEXT);
}

TEST(HostileFiles, EventFileIsOnlyRead) {
  file_case f(run_process(EVTGEN_BINARY, {"--seconds", "90", "--break-every", "20"}).out);
  ASSERT_EQ(chmod(f.path.c_str(), 0444), 0);
  // A modification time in the past, to the nanosecond, so that any write would show.
  const timespec old[2] = {{1000000000, 123456789}, {1000000000, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, f.path.c_str(), old, 0), 0);
  const std::string before = read_file(f.path);
  const std::vector<std::vector<std::string>> runs = {
      {f.path},          {"-graph", f.path}, {f.path, "-graph"},    {"-p60", "-i5", f.path},
      {"-json", f.path}, {"-edl", f.path},   {"-chapters", f.path}, {"-svg", f.path}};
  for (const auto& args : runs) {
    for (const stdout_target& target : {stdout_target{}, stdout_target{stdout_target::closed, ""},
                                        stdout_target{stdout_target::file, "/dev/full"}}) {
      process_result r = run_cutspot(args, target);
      const std::string at = ::testing::PrintToString(args) + " output " +
                             std::to_string(static_cast<int>(target.how));
      EXPECT_EQ(r.status, target.how == stdout_target::capture ? 0 : 1) << at << r.err;
      struct stat st;
      ASSERT_EQ(stat(f.path.c_str(), &st), 0);
      EXPECT_EQ(st.st_mtim.tv_sec, old[1].tv_sec) << at;
      EXPECT_EQ(st.st_mtim.tv_nsec, old[1].tv_nsec) << at;
      EXPECT_EQ(st.st_mode & 07777, 0444u) << at;
      EXPECT_EQ(read_file(f.path), before) << at;
    }
  }
}

}  // namespace
}  // namespace cutspot
