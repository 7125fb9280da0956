// Whole graphs of hand-built files: every line's bytes, the separators of both modes,
// and the cut list that follows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "event_file_writer.h"
#include "process.h"

namespace cutspot {
namespace {

using namespace testing;

const std::string HEADER = "Timestamp : T Video Lvl | Audio Lvl\n";
const std::string SEP = "----------:\n";

// A record line: the time, the letter and both bars, from the numbers of columns.
std::string line(const std::string& time, char kind, int video_cols, int audio_cols) {
  return time + ": " + kind + " " + std::string(video_cols, '#') +
         std::string(9 - video_cols, ' ') + " | " + std::string(audio_cols, '=') +
         std::string(49 - audio_cols, ' ') + "\n";
}

std::string graph_of(const std::string& bytes, std::vector<std::string> options = {}) {
  temp_dir dir;
  std::vector<std::string> args = {"-graph"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(dir.write("g.evt", bytes));
  process_result r = run_cutspot(args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  // Only the graph: drop the cut list after the empty line.
  std::size_t end = r.out.find("\n\nF");
  EXPECT_NE(end, std::string::npos) << r.out;
  return r.out.substr(0, end + 1);
}

TEST(Graph, EmptyFileGivesTheHeaderThenTheCutList) {
  temp_dir dir;
  const std::string path = dir.write("e.evt", "");
  for (auto args : std::vector<std::vector<std::string>>{{"-graph", path}, {path, "-graph"}}) {
    process_result r = run_cutspot(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, HEADER + "\nF" + dir.path() + "/e.mpg\nE\n");
  }
}

TEST(Graph, GapMode) {
  // Audio above 5000: gap mode, threshold 20000.
  const std::string bytes =
      event_file({audio(500 * MS, 20000), video(600 * MS, 100, 0, 0, 0), video(2 * SEC, 40),
                  audio(2 * SEC + 20 * MS, 399), audio(3 * SEC + 20 * MS, 400), other(3 * SEC, 3),
                  audio(5 * SEC, 401)});
  EXPECT_EQ(graph_of(bytes),
            HEADER +                              //
                line("000:00.500", 'A', 9, 49) +  // 20000: a full bar
                line("000:00.600", 'V', 9, 49) +  // 100 is 13 columns, clipped to 9
                SEP +                             // 1.4 s after the last record
                line("000:02.000", 'V', 5, 49) +  // levels reset, audio stale anyway
                line("000:02.020", 'A', 5, 2) +   // 399 → 2 columns
                line("000:03.020", 'A', 9, 2) +   // exactly 1 s: no gap; stale picture
                line("000:03.000", 'V', 9, 2) +   // type 3 prints as V, time unchanged
                SEP +                             // 2 s after the 3.000 record
                line("000:05.000", 'A', 9, 3));   // 401 → 3 columns
}

TEST(Graph, LevelModeSeparatesQuietSpans) {
  // Loudest 5000: level mode, scale 2, threshold 2 × (100 + 490) = 1180.
  const std::string bytes =
      event_file({audio(MS, 5000), audio(10 * SEC, 100), audio(10500 * MS, 4000),
                  audio(10600 * MS, 100), audio(11 * SEC + 10 * MS, 4000), audio(11200 * MS, 4000),
                  audio(12 * SEC, 589), audio(12100 * MS, 590), audio(14 * SEC, 590)});
  EXPECT_EQ(graph_of(bytes),
            HEADER +                              // all pictures stale: full video bars
                line("000:00.001", 'A', 9, 49) +  //
                SEP +                             // quiet from 10.0 s
                line("000:10.000", 'A', 9, 1) +   //
                line("000:10.500", 'A', 9, 40) +  // loud within the second: still open
                line("000:10.600", 'A', 9, 1) +   //
                SEP +                             // loud, 1.01 s after the span began
                line("000:11.010", 'A', 9, 40) +  //
                line("000:11.200", 'A', 9, 40) +  //
                SEP +                             // 1178 is quiet
                line("000:12.000", 'A', 9, 6) +   //
                line("000:12.100", 'A', 9, 6) +   // 1180 is loud, but within the second
                SEP +                             // loud again, 2 s after the start
                line("000:14.000", 'A', 9, 6));
}

// Records at the same time print in file order; a time that goes back prints as it is,
// and a picture from "the future" is not stale for it.
TEST(Graph, SameTimesAndBackwardTimes) {
  const std::string bytes = event_file(
      {video(2 * SEC, 16), audio(2 * SEC, 30000), video(SEC, 24), audio(-1500 * MS, 30000)});
  EXPECT_EQ(graph_of(bytes), HEADER + SEP + line("000:02.000", 'V', 2, 49) +
                                 line("000:02.000", 'A', 2, 49) + line("000:01.000", 'V', 3, 49) +
                                 line("-000:01.500", 'A', 3, 49));
}

TEST(Graph, LinesHaveFixedWidths) {
  process_result r = run_cutspot({"-graph", CUTSPOT_SOURCE_DIR "/examples/sample.evt"});
  ASSERT_EQ(r.status, 0);
  std::size_t pos = HEADER.size(), lines = 0;
  for (std::size_t end; (end = r.out.find('\n', pos)) != std::string::npos; pos = end + 1) {
    std::string l = r.out.substr(pos, end - pos);
    if (l.empty()) break;
    if (l == "----------:") continue;
    ASSERT_EQ(l.size(), 10 + 2 + 2 + 9 + 3 + 49) << l;
    ASSERT_EQ(l.substr(10, 2), ": ");
    ASSERT_TRUE(l[12] == 'A' || l[12] == 'V');
    ASSERT_EQ(l.substr(23, 3), " | ");
    ++lines;
  }
  EXPECT_EQ(lines, (540056u - 8) / 24);
  // The graph never changes the cut list.
  process_result plain = run_cutspot({CUTSPOT_SOURCE_DIR "/examples/sample.evt"});
  EXPECT_EQ(r.out.substr(pos + 1), plain.out);
}

}  // namespace
}  // namespace cutspot
