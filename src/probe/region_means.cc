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

// Adds the samples x0..x1-1 of a row to the column sums. The common 8-bit planar case
// goes without the per-sample format questions: it runs over every decoded pixel, and
// the compiler turns it into vector additions.
void add_row(const luma_plane& p, const unsigned char* row, int x0, int x1, std::uint32_t* cols) {
  if (p.step == 1 && p.depth == 8 && p.shift == 0) {
    const unsigned char* s = row + p.offset + x0;
    for (int i = 0; i < x1 - x0; ++i) cols[i] += s[i];
    return;
  }
  for (int x = x0; x < x1; ++x) cols[x - x0] += sample_at(p, row, x);
}

// A cell's mean on the 8-bit TV scale; integers for the common 8-bit TV-range planes.
unsigned char cell_level(const luma_plane& p, std::uint64_t sum, std::uint64_t count) {
  if (p.depth == 8 && !p.full_range) {
    std::uint64_t v = (2 * sum + count) / (2 * count);
    return static_cast<unsigned char>(std::clamp<std::uint64_t>(v, 1, 255));
  }
  return tv_scale_sample(static_cast<double>(sum) / static_cast<double>(count), p.depth,
                         p.full_range);
}

using histogram = std::array<std::uint32_t, 256>;

// The level that all but BRIGHTER_CELLS_PER_MILLE of the cells stay at or below.
unsigned char percentile(const histogram& h, std::uint64_t cells) {
  std::uint64_t rank = cells - cells * BRIGHTER_CELLS_PER_MILLE / 1000;
  std::uint64_t seen = 0;
  for (int v = 0; v < 256; ++v) {
    seen += h[v];
    if (seen >= rank) return static_cast<unsigned char>(std::max(v, 1));
  }
  return 1;  // No cells at all.
}

}  // namespace

int cell_size(int height) {
  return std::max(1, height / CELLS_PER_HEIGHT);
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

std::array<unsigned char, 4> region_levels(const luma_plane& p) {
  span xs = central_span(p.width);
  span ys = central_span(p.height);
  int cell = cell_size(p.height);
  std::vector<std::uint32_t> cols(static_cast<std::size_t>(std::max(xs.end - xs.begin, 0)));
  std::array<histogram, 4> hist{};
  std::array<std::uint64_t, 4> cells{};
  for (int band = 0; band < 2; ++band) {
    int y_end = band == 0 ? ys.middle : ys.end;
    for (int y = band == 0 ? ys.begin : ys.middle; y < y_end; y += cell) {
      int rows = std::min(cell, y_end - y);
      std::fill(cols.begin(), cols.end(), 0);
      for (int r = y; r < y + rows; ++r) {
        add_row(p, p.data + static_cast<std::ptrdiff_t>(r) * p.linesize, xs.begin, xs.end,
                cols.data());
      }
      for (int half = 0; half < 2; ++half) {
        int q = 2 * band + half;
        int x_end = half == 0 ? xs.middle : xs.end;
        for (int x = half == 0 ? xs.begin : xs.middle; x < x_end; x += cell) {
          int n = std::min(cell, x_end - x);
          std::uint64_t sum = 0;
          for (int i = x; i < x + n; ++i) sum += cols[static_cast<std::size_t>(i - xs.begin)];
          ++hist[q][cell_level(p, sum, static_cast<std::uint64_t>(rows) * n)];
          ++cells[q];
        }
      }
    }
  }
  std::array<unsigned char, 4> out{};
  for (int q = 0; q < 4; ++q) {
    if (cells[q] != 0) {
      out[q] = percentile(hist[q], cells[q]);
      continue;
    }
    // A picture one pixel wide or high has empty quadrants; they take all the cells.
    histogram all{};
    for (int v = 0; v < 256; ++v) all[v] = hist[0][v] + hist[1][v] + hist[2][v] + hist[3][v];
    out[q] = percentile(all, cells[0] + cells[1] + cells[2] + cells[3]);
  }
  return out;
}

}  // namespace cutspot::probe
