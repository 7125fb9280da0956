// Whole cut lists of hand-built event files, worked out from the rules by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "event_file_writer.h"
#include "process.h"

namespace cutspot {
namespace {

using namespace testing;

// A short break in level mode, as around advertising: quiet audio at t, a dark picture
// from t + 10 ms, a bright one at t + 500 ms, and loud audio two seconds on, which
// finishes the interval [t + 10 ms, t + 500 ms] for good. Its mark is t + 255 ms.
void add_break(std::vector<test_record>* r, std::int64_t t) {
  r->insert(r->end(), {audio(t, 100), video(t + 10 * MS, 5), audio(t + 30 * MS, 100),
                       video(t + 500 * MS, 250), audio(t + 2 * SEC, 4000)});
}

std::string long_recording() {
  std::vector<test_record> r = {audio(MS, 5000)};  // Fixes the scale: level mode.
  for (std::int64_t s : {30, 50, 180, 300, 630, 633, 960, 962}) add_break(&r, s * SEC);
  return event_file(r);
}

TEST(CutList, ClassifiesMarksOverALongRecording) {
  temp_dir dir;
  const std::string path = dir.write("film.evt", long_recording());
  struct {
    std::vector<std::string> options;
    std::string marks;
  } cases[] = {{{},
                "A000:30.255\nA000:50.255\nD003:00.255\nA005:00.255\nD010:30.255\nA010:33.255\n"
                "D016:00.255\nA016:02.255\n"},
               {{"-p100", "-i5"},
                "A000:30.255\nA000:50.255\nD003:00.255\nD005:00.255\nD010:30.255\nD016:00.255\n"},
               {{"-p-5"},
                "A000:30.255\nA000:50.255\nD003:00.255\nA005:00.255\nA010:30.255\nA010:33.255\n"
                "A016:00.255\nA016:02.255\n"},
               {{"-p", "-i3"},
                "A000:30.255\nA000:50.255\nD003:00.255\nA005:00.255\nD010:30.255\nA010:33.255\n"
                "D016:00.255\n"},
               {{"-i500"},  // Longer than the period: falls back to 0.
                "A000:30.255\nA000:50.255\nD003:00.255\nA005:00.255\nD010:30.255\nA010:33.255\n"
                "D016:00.255\nA016:02.255\n"}};
  for (auto& c : cases) {
    std::vector<std::string> args = c.options;
    args.push_back(path);
    process_result r = run_cutspot(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "F" + dir.path() + "/film.mpg\n" + c.marks + "E\n")
        << ::testing::PrintToString(c.options);
  }
}

TEST(CutList, SmallFiles) {
  struct {
    const char* name;
    std::string bytes;
    std::string marks;
  } cases[] = {
      // No audio: gap mode, every level is quiet, the picture alone decides.
      {"picture only",
       event_file({video(70 * SEC, 0), video(70 * SEC + 40 * MS, 250), video(75 * SEC, 20),
                   video(75 * SEC + 40 * MS, 20), video(75 * SEC + 80 * MS, 201)}),
       "D001:10.020\nA001:15.040\n"},
      // Gap mode with audio: a pause of over a second closes the open interval at the
      // last record before the pause.
      {"gap closes",
       event_file({audio(MS, 8000), audio(100 * SEC, 10), video(100 * SEC + 10 * MS, 3),
                   video(200 * SEC, 250)}),
       "D001:40.010\n"},
      // The trailing partial record never reaches a pass: without it the interval
      // stays open and ends at the last whole record.
      {"trailing bytes",
       event_file({audio(MS, 5000), audio(100 * SEC, 100), video(100 * SEC + 10 * MS, 5),
                   video(100 * SEC + 30 * MS, 5)},
                  23),
       "D001:40.020\n"},
      // Times going backwards are skipped.
      {"backward",
       event_file({audio(MS, 5000), audio(100 * SEC, 100), video(100 * SEC + 10 * MS, 5),
                   video(50 * SEC, 250), video(100 * SEC + 50 * MS, 250)}),
       "D001:40.030\n"},
      // Negative times never start an interval.
      {"negative",
       event_file({video(-5 * SEC, 0), video(-5 * SEC + 40 * MS, 0), video(-4 * SEC, 255)}), ""},
      // The far end of time: no wrap in the mark or its text.
      {"far future",
       event_file({video(4294972296000000, 0), video(4294972296000000 + 2 * MS, 250)}),
       "D71582:52.297\n"}};
  temp_dir dir;
  for (auto& c : cases) {
    const std::string path = dir.write("case.evt", c.bytes);
    process_result r = run_cutspot({path});
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(r.err, "") << c.name;
    EXPECT_EQ(r.out, "F" + dir.path() + "/case.mpg\n" + c.marks + "E\n") << c.name;
  }
}

// The shipped sample is what our generator makes, and its cut list is known.
TEST(CutList, Sample) {
  const std::string sample = CUTSPOT_SOURCE_DIR "/examples/sample.evt";
  process_result gen = run_process(EVTGEN_BINARY, {"--seconds", "300", "--break-every", "40"});
  ASSERT_EQ(gen.status, 0);
  EXPECT_TRUE(gen.out == read_file(sample)) << "examples/sample.evt is out of date";
  process_result r = run_cutspot({sample});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "F" CUTSPOT_SOURCE_DIR
                   "/examples/sample.mpg\nA000:26.508\nA000:59.083\nD001:45.021\n"
                   "A002:27.286\nA003:10.355\nA004:11.403\nA004:55.206\nE\n");
}

}  // namespace
}  // namespace cutspot
