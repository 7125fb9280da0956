// Hostile inputs against the built binary: damaged and absurd event files and outsized
// command lines. Small cases check the exact stdout, stderr and exit status; the large
// matrix checks what any run must keep: status 0, nothing on stderr and a cut list that a
// consumer can parse. Every run also leaves its read-only event file as it was. Refused
// names, non-files and unwritable output are in cli_test.cc.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "event_file_writer.h"
#include "process.h"

namespace cutspot::testing {
namespace {

const std::string USAGE_TEXT = "Usage: cutspot [-p<sec>] [-i<sec>] [-graph] <evt-file>\n";
const std::string HEAD = "Timestamp : T Video Lvl | Audio Lvl\n";

// Bright and loud, then dark and quiet from 70.02 s to 70.06 s, loud again at 71.5 s.
// Raw audio 10 to 4000: scale 2, silence below 818, level mode. One mark: D001:10.040.
const std::string ONE_BREAK =
    event_file({audio(1000 * MS, 4000), video(1020 * MS, 180), audio(70000 * MS, 10),
                video(70020 * MS, 5), audio(70040 * MS, 10), video(70060 * MS, 5),
                audio(71500 * MS, 4000), video(71520 * MS, 180), audio(72000 * MS, 10)});

// Writes `bytes` to a read-only x.evt in a fresh directory, runs cutspot there with the
// space-separated `args`, and returns its stdout, exit status and stderr as one string,
// with a complaint at the end if the event file changed.
std::string run_on(const std::string& bytes, const std::string& args) {
  temp_dir dir;
  const std::string path = dir.write("x.evt", bytes);
  chmod(path.c_str(), 0444);
  std::vector<std::string> full = {"-c", "cd \"$0\" && exec \"$@\"", dir.path(), CUTSPOT_BINARY};
  std::istringstream words(args);
  for (std::string word; words >> word;) full.push_back(word);
  const process_result r = run_process("/bin/sh", full);
  return r.out + "status " + std::to_string(r.status) + "\n" + r.err +
         (read_file(path) == bytes ? "" : "EVENT FILE CHANGED\n");
}

// What run_on() gives for a complete run that prints the cut list of `marks`.
std::string done(const std::string& marks) {
  return "Fx.mpg\n" + marks + "E\nstatus 0\n";
}

// A graph line from its parts: time, kind and the width of the video bar, at full sound.
std::string graph_line(const std::string& time, char kind, std::size_t video) {
  return time + ": " + kind + " " + std::string(video, '#') + std::string(9 - video, ' ') + " | " +
         std::string(49, '=') + "\n";
}

TEST(HostileFiles, EveryTruncationIsTheWholeRecordsBeforeIt) {
  // The marks of the first k whole records: the interval grows as its records arrive.
  const std::string marks[] = {"", "", "", "", "D001:10.020\n", "D001:10.030\n", "D001:10.040\n"};
  // The graph of the whole records alone, which a partial record after them must not change.
  std::string graph = HEAD + "\n" + done("");
  for (std::size_t n = 0; n <= ONE_BREAK.size(); ++n) {  // From the empty file up.
    const std::size_t k = n < 8 ? 0 : (n - 8) / 24;
    const std::string plain = done(marks[k < 6 ? k : 6]);
    EXPECT_EQ(run_on(ONE_BREAK.substr(0, n), "x.evt"), plain) << n << " bytes";
    const std::string g = run_on(ONE_BREAK.substr(0, n), "-graph x.evt");
    if (k > 0 && (n - 8) % 24 == 0) graph = g;
    EXPECT_TRUE(g == graph && g.ends_with("\n\n" + plain)) << n << " bytes: " << g;
  }
}

TEST(HostileRecords, ExtremeTimestampsAndAllBitsSet) {
  auto graph_of = [](const std::string& bytes) { return run_on(bytes, "-graph x.evt"); };
  // All bits set: records of time -1 and an unknown type; no audio, so neutral levels.
  const std::string line = graph_line("000:00.000", 'V', 9);
  EXPECT_EQ(graph_of(std::string(8 + 3 * 24 + 5, '\xFF')),
            HEAD + line + line + line + "\n" + done(""));
  // One record alone in a file. Without audio the file is in gap mode, and INT64_MAX is
  // more than a second after the start: a separator. A lone dark picture is a quiet-dark
  // interval of its own, but only at a time that can be one (not <= 0).
  const std::string max = "153722867:16.854";
  for (const auto& [ns, time] : std::vector<std::pair<std::int64_t, std::string>>{
           {INT64_MIN, "-" + max}, {-1, "000:00.000"}, {0, "000:00.000"}, {INT64_MAX, max}}) {
    const bool late = ns == INT64_MAX;  // Then a separator, and a dark picture is a break.
    const std::string sep = late ? "----------:\n" : "", dark = late ? "D" + max + "\n" : "";
    EXPECT_EQ(graph_of(event_file({audio(ns, 100)})),
              HEAD + graph_line(time, 'A', 9) + "\n" + done(""));
    EXPECT_EQ(graph_of(event_file({video(ns, 5)})),
              HEAD + sep + graph_line(time, 'V', 1) + "\n" + done(dark));
  }
  // The two ends of time next to each other, either way round: their difference does not
  // fit in 64 bits. The earlier record after the later one cannot touch the interval.
  for (const auto& pair : {std::vector{video(INT64_MIN, 5), video(INT64_MAX, 5)},
                           std::vector{video(INT64_MAX, 5), video(INT64_MIN, 5)}})
    EXPECT_EQ(run_on(event_file(pair), "x.evt"), done("D" + max + "\n"));
}

TEST(HostileRecords, EveryClassOfTypeAndAudioValue) {
  // Inside a dark, quiet interval from 70.02 s comes one record whose type is under test,
  // with a loud value and bright samples: as audio (1) it makes the sound loud and quiet
  // restarts the interval at 70.1 s; as video (2) the picture bright, and darkness restarts
  // it at 70.08 s. Anything else, audio with its bytes the wrong way round (0x01000000)
  // too, changes no level but still takes part.
  const std::pair<std::uint32_t, std::string> types[] = {
      {0, "D001:10.060\n"}, {1, "D001:10.100\n"},          {2, "D001:10.090\n"},
      {3, "D001:10.060\n"}, {0x01000000, "D001:10.060\n"}, {0xFFFFFFFF, "D001:10.060\n"}};
  std::vector<test_record> records = {
      audio(69500 * MS, 4000), video(69520 * MS, 180), audio(70000 * MS, 10), video(70020 * MS, 5),
      audio(70040 * MS, 10),   other(70060 * MS, 0),   video(70080 * MS, 5),  audio(70100 * MS, 10),
      audio(71500 * MS, 4000), video(71520 * MS, 180)};
  for (const auto& [type, marks] : types) {
    records[5] = {70060 * MS, type, 4000, {220, 220, 220, 220}, 0};  // The record under test.
    EXPECT_EQ(run_on(event_file(records), "x.evt"), done(marks)) << "type " << type;
  }
  // Loud audio of the value under test around two dark, quiet moments (70.02 s and
  // 71.22 s) that a pause of 1.14 s without records separates. The loudest value picks the
  // scale: up to 5000 the file is in level mode, where the second moment restarts the
  // same interval, and loud sound at 71.52 s reopens its end, so that it lasts to the last
  // record; above 5000 it is in gap mode, where the pause makes them two. A loudest value
  // of 0 or 1 puts the silence threshold at 0, so nothing is quiet.
  const std::string two = "D001:10.040\nA001:11.360\n";
  const std::pair<std::uint32_t, std::string> values[] = {
      {0, ""},      {1, ""},      {5000, "D001:11.370\n"}, {5001, two},
      {10000, two}, {10001, two}, {0xFFFFFFFF, two}};
  records = {audio(69500 * MS, 0), video(69520 * MS, 180), audio(70000 * MS, 0),
             video(70020 * MS, 5), audio(70040 * MS, 0),   video(70060 * MS, 5),
             audio(71200 * MS, 0), video(71220 * MS, 5),   audio(71240 * MS, 0),
             video(71260 * MS, 5), audio(71500 * MS, 0),   video(71520 * MS, 180)};
  for (const auto& [loud, marks] : values) {
    records[0].value = records[10].value = loud;  // The two loud moments.
    EXPECT_EQ(run_on(event_file(records), "x.evt"), done(marks)) << "loudest " << loud;
  }
}

TEST(HostileRecords, EveryCombinationGivesACompleteRun) {
  // Each time, type and value with dark and bright samples, in file order and reversed,
  // under settings that reach every branch of the mark rules, with and without the graph.
  std::vector<test_record> records;
  const std::int64_t times[] = {INT64_MIN, -1, 0, 1, 60 * SEC, INT64_MAX};
  for (std::int64_t t : times)
    for (std::uint32_t type : {0u, 1u, 2u, 3u, 0x01000000u, 0xFFFFFFFFu})
      for (std::uint32_t v : {0u, 1u, 5000u, 5001u, 10000u, 10001u, 0xFFFFFFFFu}) {
        const std::uint8_t s = v % 3 == 0 ? 5 : 220;
        records.push_back({t, type, v, {s, s, 0, s}, v});
      }
  const std::regex complete("Fx\\.mpg\n([AD]-?\\d{3,}:[0-5]\\d\\.\\d{3}\n)*E\nstatus 0\n");
  for (const std::string& file :
       {event_file(records, 11), event_file({records.rbegin(), records.rend()}, 11)}) {
    for (std::string options : {"", "-p", "-p60 -i5", "-i-1", "-p-1 -i-1", "-p1 -i1"})
      EXPECT_TRUE(std::regex_match(run_on(file, options + " x.evt"), complete)) << options;
    // Each document instead of the cut list: a complete run that leaves the file alone.
    for (std::string document : {"-svg", "-json", "-edl", "-chapters"})
      EXPECT_TRUE(run_on(file, document + " x.evt").ends_with("status 0\n")) << document;
    // The graph, which the settings do not change, then the same cut list.
    const std::string g = run_on(file, "-graph x.evt");
    EXPECT_TRUE(g.starts_with(HEAD) && g.ends_with("\n\n" + run_on(file, "x.evt"))) << g;
  }
}

TEST(HostileCommandLines, HugeAndManyArguments) {
  // Arguments of 100 KiB: numbers saturate at the largest period and ignore span.
  const std::string huge(100 * 1024, '9'), name = std::string(100 * 1024, 'a') + ".evt";
  EXPECT_EQ(run_on(ONE_BREAK, name),
            USAGE_TEXT + "status 2\ncutspot: cannot open " + name + ": File name too long\n");
  // Ten thousand arguments repeat an option, add names after the file, or give no file.
  auto many = [](const std::string& word) {  // 9999 times the word.
    return std::regex_replace(std::string(9999, '#'), std::regex("#"), word + " ");
  };
  const std::string cut = done("D001:10.040\n"), usage = USAGE_TEXT + "status 2\n";
  const std::string graph = run_on(ONE_BREAK, "-graph x.evt");
  const std::pair<std::string, std::string> cases[] = {
      {"-p" + huge + " x.evt", cut},     {"-i" + huge + " -p" + huge + " x.evt", cut},
      {"-i-" + huge + " x.evt", cut},    {"x.evt " + huge, cut},
      {"-x" + huge + " x.evt", usage},   {many("-graph") + "x.evt", graph},
      {many("-p60") + "x.evt", cut},     {many("-i5") + "x.evt", cut},
      {"x.evt " + many("ignored"), cut}, {many("-graph") + "-graph", usage}};
  for (const auto& [in, out] : cases) EXPECT_EQ(run_on(ONE_BREAK, in), out) << in.substr(0, 20);
}

}  // namespace
}  // namespace cutspot::testing
