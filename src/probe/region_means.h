// The darkness of a picture as four samples, one per quadrant of the central 80% of the
// picture. The border is left out because it holds overscan junk and most channel logos,
// which stay bright while the programme goes black.
//
// A quadrant's sample is the level that nearly all of it stays at or below: the quadrant
// is cut into square cells of 1/24 of the picture's height (120 to 170 of them), and the
// sample is the 99th percentile of the cells' mean luma. The mean of the whole quadrant
// let a dark scene with a lit window or face pass for black; the percentile does not,
// once the lit part fills two cells. Averaging over a cell first keeps an analog
// recording's noise from lifting a black picture's percentile, as the peaks of single
// pixels would. A cell's mean is taken over 4x4 of its pixels at most, evenly spaced:
// enough to average the noise, and with fewer cells it costs less per picture than the
// mean over every pixel did (bench/probe-run measures both).
#ifndef CUTSPOT_PROBE_REGION_MEANS_H_
#define CUTSPOT_PROBE_REGION_MEANS_H_

#include <array>

namespace cutspot::probe {

// Cells per picture height, pixels sampled along each side of a cell, and the share of a
// quadrant's cells (per mille) allowed to be brighter than its sample.
inline constexpr int CELLS_PER_HEIGHT = 24;
inline constexpr int SAMPLES_PER_CELL_SIDE = 4;
inline constexpr int BRIGHTER_CELLS_PER_MILLE = 10;

// One luma plane as a decoder leaves it. Samples of more than 8 bits are 16-bit words.
struct luma_plane {
  const unsigned char* data = nullptr;
  int linesize = 0;  // Bytes from one row to the next (may be negative).
  int width = 0;
  int height = 0;
  int step = 1;    // Bytes from one luma sample to the next in a row.
  int offset = 0;  // Bytes from a pixel's start to its luma sample.
  int depth = 8;   // Significant bits per sample.
  int shift = 0;   // Bits the value is shifted up within its word.
  bool big_endian = false;
  bool full_range = false;  // 0..2^depth-1 rather than the TV range (black 16, white 235).
};

struct picture_levels {
  // In event file order: top left, top right, bottom left, bottom right. Each is on the
  // 8-bit TV scale (black about 16) and 1..255, since 0 means "no sample".
  std::array<unsigned char, 4> samples{};
  unsigned char darkest = 1;  // The level that 1% of all the picture's cells stay at or below.
};

picture_levels region_levels(const luma_plane& plane);

// An analog recording's black is often lifted, to 32 in the development set, where
// cutspot's dark ends at 31. The lowest level of a flat dark picture (all four samples
// within FLAT_SPREAD of its darkest cells, and at most BLACK_LEVEL + LIFT_MAX +
// FLAT_SPREAD) is taken for the recording's black, and the samples of every picture from
// that one on are lowered by its lift above BLACK_LEVEL, at most LIFT_MAX. Digital
// recordings, whose first flat dark picture is a black separator or fade at 16, keep
// their samples as they are.
inline constexpr int BLACK_LEVEL = 16;
inline constexpr int LIFT_MAX = 16;
inline constexpr int FLAT_SPREAD = 3;

struct black_level {
  int lowest = -1;  // The lowest flat dark picture's level so far; -1 before the first.
};

// Notes the picture and returns its samples with the recording's lift taken off.
std::array<unsigned char, 4> without_lift(black_level& black, const picture_levels& picture);

// The side of a cell in pixels of a picture this high: at least 1. Its mean is taken over
// the pixels whose row and column from the cell's top left are multiples of cell_stride.
int cell_size(int height);
int cell_stride(int cell);

// Maps a mean in the plane's own units to the 8-bit TV scale, rounded and clamped to 1..255.
unsigned char tv_scale_sample(double mean, int depth, bool full_range);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_REGION_MEANS_H_
