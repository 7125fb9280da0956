#include "report/text_builders.h"

#include <gtest/gtest.h>

#include <string>

namespace cutspot {
namespace {

TEST(FormatTime, WholeRange) {
  struct {
    std::int64_t ns;
    const char* text;
  } cases[] = {{0, "000:00.000"},
               {999999, "000:00.000"},
               {1000000, "000:00.001"},
               {83456000000, "001:23.456"},
               {59999999999, "000:59.999"},
               {3600000000000, "060:00.000"},
               {59999999999999, "999:59.999"},
               {60000000000000, "1000:00.000"},
               {4294967295000000, "71582:47.295"},  // 2^32 − 1 ms
               {4294967296000000, "71582:47.296"},  // 2^32 ms: no wrap to zero
               {4294972296000000, "71582:52.296"},
               {INT64_MAX, "153722867:16.854"},
               {-999999, "000:00.000"},
               {-1000000, "-000:00.001"},
               {-1500000000, "-000:01.500"},
               {-3600000000000, "-060:00.000"},
               {INT64_MIN, "-153722867:16.854"}};
  for (auto c : cases) {
    time_text t = format_time(c.ns);
    EXPECT_EQ(t.view(), c.text) << c.ns;
    EXPECT_LE(t.length, TIME_TEXT_MAX);
  }
}

TEST(Bars, VideoColumns) {
  struct {
    std::uint32_t level;
    int marks;
  } cases[] = {{0, 0},  {1, 1},  {8, 1},   {9, 2},   {16, 2},        {17, 3},
               {64, 8}, {65, 9}, {255, 9}, {256, 9}, {0xFFFFFFFF, 9}};
  for (auto c : cases) {
    EXPECT_EQ(video_bar(c.level), std::string(c.marks, '#') + std::string(9 - c.marks, ' '))
        << c.level;
  }
}

TEST(Bars, AudioColumns) {
  struct {
    std::uint32_t level;
    int marks;
  } cases[] = {{0, 0},     {1, 1},      {200, 1},    {201, 2},         {9600, 48},
               {9601, 49}, {10000, 49}, {10001, 49}, {0xFFFFFF38, 49}, {0xFFFFFFFF, 49}};
  for (auto c : cases) {
    EXPECT_EQ(audio_bar(c.level), std::string(c.marks, '=') + std::string(49 - c.marks, ' '))
        << c.level;
  }
}

}  // namespace
}  // namespace cutspot
