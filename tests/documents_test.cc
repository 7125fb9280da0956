// Whole runs as exact bytes, against the files in tests/golden/: the shipped sample's
// documents, and small files that reach the odd corners of each document and of the graph.
// After a deliberate change, run the tests with CUTSPOT_UPDATE_GOLDEN=1 to rewrite them,
// and review the difference before committing it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "broadcast_segments.h"
#include "event_file_writer.h"
#include "in_memory_run.h"
#include "process.h"

namespace cutspot {
namespace {

using namespace testing;

const std::string SOURCE = CUTSPOT_SOURCE_DIR;

void expect_golden(const std::string& name, const run_result& r, const std::string& err = "") {
  EXPECT_EQ(r.status, 0) << name;
  EXPECT_EQ(r.err, err) << name;
  testing::expect_golden(name, r.out);
}

// Gap mode with pauses, a record back in time and less than 1.5 s in all.
std::string gap_mode_file() {
  return event_file({audio(10 * MS, 20000), video(20 * MS, 220), audio(50 * MS, 0),
                     video(60 * MS, 0), video(100 * MS, 0), audio(80 * MS, 0),  // Back in time.
                     video(300 * MS, 250),
                     // A pause of 1.1 s, then a stretch still dark at the end.
                     audio(1400 * MS, 0), video(1410 * MS, 5), video(1450 * MS, 5)});
}

// Times at the far ends of the 64-bit range.
std::string extreme_times_file() {
  return event_file({audio(1, 100), video(2, 0), audio(INT64_MAX - 1, 5000), video(INT64_MAX, 250),
                     audio(INT64_MIN, 100), video(-1, 0)});
}

TEST(Documents, SmallFilesInEveryFormat) {
  const std::map<std::string, std::string> files = {{"gap.evt", gap_mode_file()},
                                                    {"extreme.evt", extreme_times_file()}};
  const std::map<std::string, std::string> formats = {{"-svg", "svg"},
                                                      {"-json", "json"},
                                                      {"-edl", "edl"},
                                                      {"-chapters", "ffmeta"},
                                                      {"-p300", "cut"}};
  for (const char* name : {"gap", "extreme"}) {
    for (const auto& [option, extension] : formats)
      expect_golden(std::string(name) + "." + extension,
                    run_in_memory({option, std::string(name) + ".evt"}, files));
  }
}

TEST(Documents, TheSampleAsShipped) {
  const std::map<std::string, std::string> files = {
      {"examples/sample.evt", read_file(SOURCE + "/examples/sample.evt")}};
  // The picture that the README shows.
  EXPECT_EQ(run_in_memory({"-svg", "examples/sample.evt"}, files, 8192).out,
            read_file(SOURCE + "/examples/sample.svg"));
  // The cut lists that the README shows.
  expect_golden("sample.cut", run_in_memory({"examples/sample.evt"}, files));
  expect_golden("sample-i60.cut", run_in_memory({"-i60", "examples/sample.evt"}, files));
  for (const auto& [option, extension] : std::map<std::string, std::string>{
           {"-json", "json"}, {"-edl", "edl"}, {"-chapters", "ffmeta"}})
    expect_golden("sample." + extension, run_in_memory({option, "examples/sample.evt"}, files));
}

// Level mode, records every 40 ms from 1 s to 2.9 s (picture 100, sound 8000 scaled),
// a pause, `after` at 5.5 s, then records every 40 ms from `resume` to about 7 s (picture
// 200, sound 10000).
std::string paused(const event_record& after, std::int64_t resume) {
  std::vector<event_record> r;
  for (std::int64_t t = SEC; t <= 2900 * MS; t += 40 * MS)
    r.insert(r.end(), {audio(t, 4000), video(t + 20 * MS, 100)});
  r.push_back(after);
  for (std::int64_t t = resume; t <= 7 * SEC; t += 40 * MS)
    r.insert(r.end(), {audio(t, 5000), video(t + 20 * MS, 200)});
  return event_file(r);
}

// A record back in the column before a pause, after the pause's first record.
std::string back_before_a_pause() {
  std::vector<event_record> r;
  for (std::int64_t t = SEC; t < 2890 * MS; t += 40 * MS)
    r.insert(r.end(), {audio(t, 4000), video(t + 20 * MS, 100)});
  r.insert(r.end(), {video(2890 * MS, 100), video(5500 * MS, 200), video(2905 * MS, 50)});
  return event_file(r);
}

// 4096 bins of 2^20 ns reach 4096 << 20 ns less one; a record at that time itself needs
// bins twice as wide.
std::string up_to(std::int64_t last) {
  return event_file({audio(1 * MS, 5000), video(2 * MS, 100), audio(last, 5000)});
}

TEST(Documents, CornersOfEachDocument) {
  const std::int64_t bins_edge = std::int64_t{4096} << 20;
  const std::string one_mark = marked(SEC, 75 * SEC, {70 * SEC});
  const std::string one_block =
      broadcast(join({programme(100), block({30, 20, 15}), programme(60)}));
  const std::string empty_warning = "cutspot: warning: 'rec/show.evt' holds no whole record\n";
  const struct {
    const char* golden;
    std::string file;
    std::vector<std::string> options;
    std::string name = "rec/show.evt";
    std::string err = "";
  } rows[] = {
      {"bins-below-edge.svg", up_to(bins_edge - 1), {"-svg"}},
      {"bins-at-edge.svg", up_to(bins_edge), {"-svg"}},
      // The band of a pause, and the columns either side of it.
      {"pause.svg", paused(video(5500 * MS, 200), 5520 * MS), {"-svg"}},
      {"pause-back.svg", back_before_a_pause(), {"-svg"}},
      // A record of another type first after the pause: it carries the levels on.
      {"pause-other.svg", paused(other(5500 * MS, 3), 6500 * MS), {"-svg"}},
      // Labels 13 px apart have room, 12.9 px not.
      {"labels.svg",
       marked(500 * MS, 251600 * MS, {4000LL << 24, 4130LL << 24, 4259LL << 24}),
       {"-svg"}},
      // An A and a D in one pixel column: one group, a D.
      {"group.svg", marked(2 * SEC, 4026 * SEC, {59500 * MS, 60600 * MS}), {"-svg"}},
      // The last chapter ends at the last record, or where it starts when that went back.
      {"last-chapter.ffmeta", one_mark, {"-chapters"}},
      {"last-chapter-back.ffmeta",
       one_mark + event_file({audio(10 * SEC, 5000)}).substr(8),
       {"-chapters"}},
      // Level mode: a quiet span closes only when loud sound comes more than a second after
      // it began, quiet sound however late.
      {"level.graph",
       event_file({audio(5 * SEC, 5000), audio(10 * SEC, 1000), audio(10500 * MS, 5000),
                   audio(11 * SEC, 5000), audio(11 * SEC + 1, 5000)}),
       {"-graph"}},
      {"quiet.graph",
       event_file({audio(5 * SEC, 5000), audio(10 * SEC, 1000), audio(11500 * MS, 1000),
                   audio(12 * SEC, 5000)}),
       {"-graph"}},
      // Gap mode: a pause resets the levels before the next record, whatever its type.
      {"gap.graph",
       event_file({audio(100 * MS, 20000), video(120 * MS, 0), other(5 * SEC, 3),
                   audio(5 * SEC + 10 * MS, 0), audio(6 * SEC + 10 * MS, 0),
                   audio(7 * SEC + 10 * MS + 1, 0)}),
       {"-graph"}},
      {"empty.graph", "", {"-graph"}, "rec/show.evt", empty_warning},
      // A name with U+00A0, kept, and an overlong form, each byte of it replaced.
      {"odd-name.json", marked(SEC, 80 * SEC, {70 * SEC}), {"-json"}, "n\xc2\xa0\xe0\x80\x80.evt"},
      {"odd-name.svg", marked(SEC, 80 * SEC, {70 * SEC}), {"-svg"}, "n\xc2\xa0\xe0\x80\x80.evt"},
      // Without a single audio record there is no silence threshold to tell; audio that
      // is all silence still has its threshold, 0.
      {"no-audio.json", event_file({video(SEC, 10), video(2 * SEC, 220)}), {"-json"}},
      {"silent.json", event_file({audio(SEC, 0), video(2 * SEC, 220)}), {"-json"}},
      {"empty.json", "", {"-json"}, "rec/show.evt", empty_warning},
      // A block of three spots between two programme parts, in each document of breaks.
      {"breaks.json", one_block, {"-breaks", "-json"}},
      {"breaks.edl", one_block, {"-breaks", "-edl"}},
      {"breaks.ffmeta", one_block, {"-breaks", "-chapters"}},
      {"breaks.ffconcat", one_block, {"-ffconcat"}},  // A cutting script implies -breaks.
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = row.options;
    args.push_back(row.name);
    expect_golden(row.golden, run_in_memory(args, {{row.name, row.file}, {"rec/show.ts", ""}}),
                  row.err);
  }
}

}  // namespace
}  // namespace cutspot
