// cutspot-probe's measures: the darkness samples of a picture and the audio scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "probe/audio_scale.h"
#include "probe/region_means.h"

namespace cutspot::probe {
namespace {

using samples = std::array<unsigned char, 4>;

luma_plane plane_of(const unsigned char* data, int width, int height, int linesize, int step = 1,
                    int depth = 8, int shift = 0, bool big_endian = false,
                    bool full_range = false) {
  return {data, linesize, width, height, step, 0, depth, shift, big_endian, full_range};
}

// The samples by their definition, the slow way: for each quadrant of the central 80%,
// the mean of each cell over the pixels at multiples of the stride from its corner
// (rounded), sorted, and the one that all but 1% stay at or below.
samples reference_levels(const luma_plane& p) {
  int bx = p.width / 10, by = p.height / 10;
  int x0 = bx, x2 = p.width - bx, x1 = x0 + (x2 - x0) / 2;
  int y0 = by, y2 = p.height - by, y1 = y0 + (y2 - y0) / 2;
  int cell = cell_size(p.height), stride = cell_stride(cell);
  samples out{};
  for (int q = 0; q < 4; ++q) {
    int xa = q % 2 ? x1 : x0, xb = q % 2 ? x2 : x1, ya = q / 2 ? y1 : y0, yb = q / 2 ? y2 : y1;
    std::vector<int> cells;
    for (int y = ya; y < yb; y += cell) {
      for (int x = xa; x < xb; x += cell) {
        long sum = 0, n = 0;
        for (int j = y; j < std::min(y + cell, yb); j += stride) {
          for (int i = x; i < std::min(x + cell, xb); i += stride, ++n) {
            sum += p.data[j * p.linesize + i];
          }
        }
        cells.push_back(std::clamp(static_cast<int>((2 * sum + n) / (2 * n)), 1, 255));
      }
    }
    std::sort(cells.begin(), cells.end());
    std::size_t allowed = cells.size() * BRIGHTER_CELLS_PER_MILLE / 1000;
    out[q] = static_cast<unsigned char>(cells[cells.size() - 1 - allowed]);
  }
  return out;
}

TEST(ProbeDarkness, CellSize) {
  struct {
    int height, cell, stride;
  } cases[] = {{0, 1, 1},   {1, 1, 1},   {47, 1, 1},   {48, 2, 1},    {119, 4, 1},
               {120, 5, 2}, {144, 6, 2}, {576, 24, 6}, {1080, 45, 12}};
  for (const auto& c : cases) {
    EXPECT_EQ(cell_size(c.height), c.cell) << c.height;
    EXPECT_EQ(cell_stride(c.cell), c.stride) << c.cell;
  }
}

// A 20x10 picture in lines of 32 bytes: a border of 255 around quadrants of 10, 20, 30, 40.
std::vector<unsigned char> quadrants() {
  std::vector<unsigned char> pic(32 * 10, 7);
  for (int i = 0; i < 32 * 10; ++i) {
    const int x = i % 32, y = i / 32;
    if (x < 20)
      pic[i] = x < 2 || x >= 18 || y < 1 || y >= 9 ? 255 : 10 * (1 + (x >= 10) + 2 * (y >= 5));
  }
  return pic;
}

samples all(unsigned char level) {
  return {level, level, level, level};
}

// n 16-bit words of v, little- or big-endian.
std::vector<unsigned char> words(int n, unsigned v, bool big_endian) {
  const auto low = static_cast<unsigned char>(v & 0xff), high = static_cast<unsigned char>(v >> 8);
  std::vector<unsigned char> out;
  for (int i = 0; i < n; ++i)
    out.insert(out.end(), {big_endian ? high : low, big_endian ? low : high});
  return out;
}

std::vector<int> flat(int level) {
  return {level, level, level, level, level};
}

// 200x40 pixels at one level (cells of one pixel; quadrants of 80x16 = 1280 cells, of
// which 12 may be brighter; 51 are 1% of all 5120), n in the top left quadrant at another.
std::vector<unsigned char> dotted(unsigned char level, unsigned char other, int n) {
  std::vector<unsigned char> pic(200 * 40, level);
  for (int i = 0; i < n; ++i) pic[(4 + i / 80) * 200 + 20 + i % 80] = other;
  return pic;
}

TEST(ProbeDarkness, LayoutsRangesAndShares) {
  // The four samples and the darkest cells' level. The quadrants of the centre, in full
  // range (10 * 219 / 255 + 16 = 24.6) and bottom up (a negative line size); 10-bit words
  // little-endian, and big-endian shifted up by 6 (as P010); a row of two pixels,
  // where the top quadrants are empty and take the rest's cells, and 0 is raised to 1 since
  // a sample of 0 would mean none; packed YUYV, luma at every second byte; all 255, the
  // largest sums; and how many cells may be brighter, or must be as dark.
  const luma_plane dots = plane_of(nullptr, 200, 40, 200);
  struct {
    std::vector<int> want;
    std::vector<unsigned char> pic;
    luma_plane p;  // Its data: the picture from first_byte on.
    int first_byte = 0;
  } cases[] = {
      {{10, 20, 30, 40, 10}, quadrants(), plane_of(nullptr, 20, 10, 32)},
      {{25, 33, 42, 50, 25}, quadrants(), plane_of(nullptr, 20, 10, 32, 1, 8, 0, false, true)},
      {{30, 40, 10, 20, 10}, quadrants(), plane_of(nullptr, 20, 10, -32), 9 * 32},
      {flat(235), words(16, 940, false), plane_of(nullptr, 4, 4, 8, 2, 10)},
      {flat(16), words(16, 64 << 6, true), plane_of(nullptr, 4, 4, 8, 2, 10, 6, true)},
      {{50, 50, 1, 50, 1}, {0, 50}, plane_of(nullptr, 2, 1, 2)},
      {flat(200), {200, 99, 200, 99, 200, 99, 200, 99}, plane_of(nullptr, 2, 2, 4, 2)},
      {flat(255), std::vector<unsigned char>(1920 * 1080, 255),
       plane_of(nullptr, 1920, 1080, 1920)},
      {flat(16), dotted(16, 200, 12), dots},
      {{200, 16, 16, 16, 16}, dotted(16, 200, 13), dots},
      {{200, 16, 16, 16, 16}, dotted(16, 200, 1280), dots},
      {{60, 60, 60, 60, 5}, dotted(60, 5, 51), dots},
      {flat(60), dotted(60, 5, 50), dots},
  };
  for (auto& c : cases) {
    c.p.data = c.pic.data() + c.first_byte;
    const picture_levels got = region_levels(c.p);
    EXPECT_EQ((std::vector<int>{got.samples[0], got.samples[1], got.samples[2], got.samples[3],
                                got.darkest}),
              c.want)
        << c.p.width << "x" << c.p.height;
  }
}

TEST(ProbeDarkness, AnySizeAndAlignment) {
  // Random pictures, quadrants starting at odd offsets and cells cut short at their
  // right and bottom edges, against the definition.
  unsigned state = 1;
  struct {
    int width, height;
  } sizes[] = {{4001, 21}, {333, 150}, {719, 577}, {97, 301}, {1283, 719}, {111, 105}, {413, 107}};
  for (const auto& s : sizes) {
    for (int start = 0; start < 3; ++start) {
      std::vector<unsigned char> pic(static_cast<std::size_t>(s.width + 3) * s.height);
      for (unsigned char& b : pic) {
        state = state * 1103515245u + 12345u;
        b = static_cast<unsigned char>(state >> 23);
      }
      luma_plane p = plane_of(pic.data(), s.width - start, s.height, s.width + 3);
      p.data += start;
      EXPECT_EQ(region_levels(p).samples, reference_levels(p)) << s.width << "x" << s.height;
    }
  }
}

// Pictures one after the other (four samples and the darkest cells' level) and the samples
// written for each.
TEST(ProbeDarkness, LiftedBlack) {
  struct step {
    samples in;
    unsigned char darkest;
    samples want;
  };
  struct {
    const char* name;
    std::vector<step> steps;
  } cases[] = {
      {"digital: black at 16, nothing lifted",
       {{all(200), 40, all(200)}, {all(16), 16, all(16)}, {all(33), 32, all(33)}}},
      {"analog: black at 32, lifted by 16 from its first picture on",
       {{all(40), 30, all(40)},
        {{33, 33, 34, 33}, 32, {17, 17, 18, 17}},
        {{200, 43, 12, 1}, 10, {184, 27, 1, 1}}}},
      {"flat means all four samples within 3 of the darkest cells",
       {{{20, 19, 19, 19}, 16, {20, 19, 19, 19}},
        {{28, 27, 27, 27}, 25, {19, 18, 18, 18}},
        {all(24), 20, all(15)}}},
      {"dark means 35 at most; the lift is 16 at most",
       {{all(36), 34, all(36)}, {all(35), 34, all(19)}, {all(33), 33, all(17)}}},
      {"a lower black later lowers the lift",
       {{all(30), 28, all(18)}, {all(17), 16, all(17)}, {all(30), 28, all(30)}}},
  };
  for (const auto& c : cases) {
    black_level black;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      picture_levels p{c.steps[i].in, c.steps[i].darkest};
      EXPECT_EQ(without_lift(black, p), c.steps[i].want) << c.name << ", picture " << i;
    }
  }
}

TEST(ProbeAudioScale, FloorAndCeiling) {
  struct {
    double db;
    std::uint32_t want;
  } cases[] = {
      {-200, 0},  {-80.01, 0}, {-80, 0},        {-79.996, 0},    {-79.994, 1},
      {-75, 500}, {-55, 2500}, {-30.006, 4999}, {-30.004, 5000}, {-30, 5000},
      {-3, 5000}, {0, 5000},   {6, 5000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(audio_value(std::pow(10.0, c.db / 10)), c.want) << c.db << " dB";
  }
  for (double nothing : {0.0, -1.0, double{NAN}}) EXPECT_EQ(audio_value(nothing), 0u) << nothing;
  EXPECT_EQ(audio_value(INFINITY), AUDIO_VALUE_MAX);
}

}  // namespace
}  // namespace cutspot::probe
