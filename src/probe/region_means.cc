#include "probe/region_means.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace cutspot::probe {
namespace {

struct span {
  int begin;
  int middle;
  int end;
};

// The central 80% of a length split in two halves; a length too small for a border
// keeps all of it.
span central_span(int length) {
  int border = length / 10;
  int begin = border;
  int end = length - border;
  return {begin, begin + (end - begin) / 2, end};
}

unsigned sample_at(const luma_plane& p, const unsigned char* row, int x) {
  const unsigned char* s = row + static_cast<std::ptrdiff_t>(x) * p.step + p.offset;
  unsigned v;
  if (p.depth + p.shift <= 8) {
    v = s[0];
  } else {
    v = p.big_endian ? (unsigned{s[0]} << 8) | s[1] : (unsigned{s[1]} << 8) | s[0];
  }
  return (v >> p.shift) & ((1u << p.depth) - 1u);
}

bool plain_bytes(const luma_plane& p) {
  return p.step == 1 && p.depth == 8 && p.shift == 0;
}

// Adds every stride-th sample from x0 on, before x1, of a row to the column sums. Plain
// bytes are all added, without the per-sample format questions: the compiler turns that
// into vector additions, cheaper than skipping the columns in between.
void add_row(const luma_plane& p, const unsigned char* row, int x0, int x1, int stride,
             std::uint32_t* cols) {
  if (plain_bytes(p)) {
    const unsigned char* s = row + p.offset + x0;
    for (int i = 0; i < x1 - x0; ++i) cols[i] += s[i];
    return;
  }
  for (int x = x0; x < x1; x += stride) cols[x - x0] += sample_at(p, row, x);
}

// (2^19 / (2 * count)) rounded up, for the counts of a cell's samples (1 to 16). For any
// x below 2^13, (x * it) >> 19 is x / (2 * count) exactly: the rounding error stays below
// 1 / (2 * count). A division per cell cost more than all the rest of a small picture.
constexpr std::array<std::uint32_t, 17> HALF_RECIPROCALS = [] {
  std::array<std::uint32_t, 17> r{};
  for (std::uint32_t c = 1; c <= 16; ++c) r[c] = ((1u << 19) + 2 * c - 1) / (2 * c);
  return r;
}();

// A cell's mean on the 8-bit TV scale, rounded: 8-bit TV-range sums by the table.
unsigned char cell_level(const luma_plane& p, std::uint32_t sum, std::uint32_t count) {
  if (p.depth == 8 && !p.full_range) {
    std::uint32_t v = ((2 * sum + count) * HALF_RECIPROCALS[count]) >> 19;
    return static_cast<unsigned char>(std::max(v, 1u));
  }
  return tv_scale_sample(static_cast<double>(sum) / count, p.depth, p.full_range);
}

using histogram = std::array<std::uint32_t, 256>;

// The level that all but BRIGHTER_CELLS_PER_MILLE of the cells stay at or below, or
// with `darkest`, the level that that many stay at or below (at least one).
unsigned char percentile(const histogram& h, std::uint64_t cells, bool darkest = false) {
  std::uint64_t share = cells * BRIGHTER_CELLS_PER_MILLE / 1000;
  std::uint64_t rank = darkest ? std::max<std::uint64_t>(share, 1) : cells - share;
  std::uint64_t seen = 0;
  for (int v = 0; v < 256; ++v) {
    seen += h[v];
    if (seen >= rank) return static_cast<unsigned char>(std::max(v, 1));
  }
  return 1;  // No cells at all.
}

// The cells of one quadrant's share of a band of rows, whose column sums are in cols
// (from the central span's start), into two histograms by turns: cells of a dark
// picture all land in one bin, and counting them one after the other into the same
// place makes each wait for the last.
void count_cells(const luma_plane& p, const std::vector<std::uint32_t>& cols, int x0, int x1,
                 int cell, int stride, std::uint32_t rows, histogram* hist) {
  int turn = 0;
  for (int x = x0; x < x1; x += cell, turn ^= 1) {
    std::uint32_t sum = 0, n = 0;
    for (int c = x; c < std::min(x + cell, x1); c += stride, ++n) {
      sum += cols[static_cast<std::size_t>(c)];
    }
    ++hist[turn][cell_level(p, sum, rows * n)];
  }
}

}  // namespace

int cell_size(int height) {
  return std::max(1, height / CELLS_PER_HEIGHT);
}

int cell_stride(int cell) {
  return (cell + SAMPLES_PER_CELL_SIDE - 1) / SAMPLES_PER_CELL_SIDE;
}

unsigned char tv_scale_sample(double mean, int depth, bool full_range) {
  double v;
  if (full_range) {
    v = 16.0 + mean * 219.0 / (std::ldexp(1.0, depth) - 1.0);
  } else {
    v = std::ldexp(mean, 8 - depth);
  }
  v = std::round(v);
  if (!(v >= 1.0)) return 1;  // Also catches NaN.
  if (v > 255.0) return 255;
  return static_cast<unsigned char>(v);
}

picture_levels region_levels(const luma_plane& p) {
  span xs = central_span(p.width);
  span ys = central_span(p.height);
  int cell = cell_size(p.height);
  int stride = cell_stride(cell);
  int width = std::max(xs.end - xs.begin, 0);
  std::vector<std::uint32_t> cols(static_cast<std::size_t>(width));
  std::array<histogram, 8> hist{};  // Two per quadrant.
  std::array<std::uint64_t, 4> cells{};
  for (int band = 0; band < 2; ++band) {
    int y_end = band == 0 ? ys.middle : ys.end;
    for (int y = band == 0 ? ys.begin : ys.middle; y < y_end; y += cell) {
      std::fill(cols.begin(), cols.end(), 0);
      std::uint32_t rows = 0;
      for (int r = y; r < std::min(y + cell, y_end); r += stride, ++rows) {
        add_row(p, p.data + static_cast<std::ptrdiff_t>(r) * p.linesize, xs.begin, xs.end, stride,
                cols.data());
      }
      int mid = xs.middle - xs.begin;
      count_cells(p, cols, 0, mid, cell, stride, rows, &hist[4 * band]);
      count_cells(p, cols, mid, width, cell, stride, rows, &hist[4 * band + 2]);
      cells[2 * band] += static_cast<std::uint64_t>((mid + cell - 1) / cell);
      cells[2 * band + 1] += static_cast<std::uint64_t>((width - mid + cell - 1) / cell);
    }
  }
  std::array<histogram, 5> merged{};  // Each quadrant's, and all of them.
  for (int q = 0; q < 4; ++q) {
    for (int v = 0; v < 256; ++v) {
      merged[q][v] = hist[2 * q][v] + hist[2 * q + 1][v];
      merged[4][v] += merged[q][v];
    }
  }
  picture_levels out;
  std::uint64_t all = cells[0] + cells[1] + cells[2] + cells[3];
  for (int q = 0; q < 4; ++q) {
    // A picture one pixel wide or high has empty quadrants; they take all the cells.
    out.samples[q] = cells[q] != 0 ? percentile(merged[q], cells[q]) : percentile(merged[4], all);
  }
  out.darkest = percentile(merged[4], all, true);
  return out;
}

std::array<unsigned char, 4> without_lift(black_level& black, const picture_levels& picture) {
  int top = *std::max_element(picture.samples.begin(), picture.samples.end());
  if (top <= BLACK_LEVEL + LIFT_MAX + FLAT_SPREAD && top - picture.darkest <= FLAT_SPREAD &&
      (black.lowest < 0 || picture.darkest < black.lowest)) {
    black.lowest = picture.darkest;
  }
  int lift = black.lowest < 0 ? 0 : std::clamp(black.lowest - BLACK_LEVEL, 0, LIFT_MAX);
  std::array<unsigned char, 4> out{};
  for (int q = 0; q < 4; ++q) {
    out[q] = static_cast<unsigned char>(std::max(picture.samples[q] - lift, 1));
  }
  return out;
}

}  // namespace cutspot::probe
