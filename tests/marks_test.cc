#include "analysis/marks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "event_file_writer.h"
#include "report/cut_list.h"

namespace cutspot {
namespace {

using namespace testing;

// The mark lines and end line that emit_marks prints for the given intervals.
std::string marks_for(const std::vector<std::pair<std::int64_t, std::int64_t>>& spans,
                      mark_settings settings = {}) {
  interval_list list;
  list.emplace_back();  // The head, empty as it is when no record started it.
  for (auto [start, end] : spans) list.push_back({start, end, 0, 0, 0});
  string_sink sink;
  {
    auto out = std::make_unique<output_buffer>(sink);
    emit_marks(&list, settings, out.get());
    out->flush();
  }
  EXPECT_TRUE(list.empty());
  return sink.text;
}

TEST(Marks, WorkedExamples) {
  EXPECT_EQ(marks_for({{100 * SEC, 102 * SEC}, {130 * SEC, 131 * SEC}, {500 * SEC, 501 * SEC}}),
            "D001:41.000\nA002:10.500\nD008:20.500\nE\n");
  // Marks in the lead-in minute are A and never become the reference.
  EXPECT_EQ(marks_for({{10 * SEC, 12 * SEC}, {40 * SEC, 41 * SEC}, {70 * SEC, 71 * SEC}}),
            "A000:11.000\nA000:40.500\nD001:10.500\nE\n");
  EXPECT_EQ(marks_for({{200000, 400000}}), "A000:00.000\nE\n");
  EXPECT_EQ(marks_for({}), "E\n");
}

TEST(Marks, LeadInEndsAfter59999999999ns) {
  EXPECT_EQ(marks_for({{59999999999, 59999999999}, {60 * SEC, 60 * SEC}}),
            "A000:59.999\nD001:00.000\nE\n");
}

TEST(Marks, CloseMarksCollapseIntoTheFirst) {
  // Each dropped mark becomes the reference, so the chain never reaches 5 s.
  EXPECT_EQ(marks_for({{101 * SEC, 101 * SEC},
                       {104 * SEC, 104 * SEC},
                       {107 * SEC, 107 * SEC},
                       {300 * SEC, 300 * SEC}},
                      {300, 5}),
            "D001:41.000\nA005:00.000\nE\n");
  // Exactly ignore_seconds apart is not too close.
  EXPECT_EQ(marks_for({{101 * SEC, 101 * SEC}, {106 * SEC, 106 * SEC}}, {300, 5}),
            "D001:41.000\nA001:46.000\nE\n");
  // A mark before the reference is too close even with ignore_seconds 0.
  EXPECT_EQ(marks_for({{101 * SEC, 101 * SEC}, {90 * SEC, 90 * SEC}, {95 * SEC, 95 * SEC}}),
            "D001:41.000\nA001:35.000\nE\n");
}

TEST(Marks, PeriodBoundaries) {
  EXPECT_EQ(marks_for({{100 * SEC, 100 * SEC}, {400 * SEC, 400 * SEC}}),
            "D001:40.000\nD006:40.000\nE\n");
  EXPECT_EQ(marks_for({{100 * SEC, 100 * SEC}, {400 * SEC - 1, 400 * SEC - 1}}),
            "D001:40.000\nA006:39.999\nE\n");
  // -p-5 gives a period of 4294967291 s: everything after the first reference is A.
  EXPECT_EQ(marks_for({{100 * SEC, 100 * SEC}, {4000000 * SEC, 4000000 * SEC}}, {4294967291u, 0}),
            "D001:40.000\nA66666:40.000\nE\n");
  // The largest settings still compare exactly.
  EXPECT_EQ(marks_for({{100 * SEC, 100 * SEC}, {INT64_MAX, INT64_MAX}}, {0xFFFFFFFFu, 0xFFFFFFFFu}),
            "D001:40.000\nD153722867:16.854\nE\n");
}

TEST(Marks, MidpointIsExactForAnyTimes) {
  EXPECT_EQ(midpoint_ns(1, 2), 1);
  EXPECT_EQ(midpoint_ns(3, 3), 3);
  EXPECT_EQ(midpoint_ns(INT64_MAX, INT64_MAX), INT64_MAX);
  EXPECT_EQ(midpoint_ns(INT64_MAX - 1, INT64_MAX), INT64_MAX - 1);
  EXPECT_EQ(midpoint_ns(1, INT64_MAX), INT64_MAX / 2 + 1);
}

}  // namespace
}  // namespace cutspot
