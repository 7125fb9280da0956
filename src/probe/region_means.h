// The brightness of a picture as four samples: the mean luma of the quadrants of the
// central 80% of the picture. The border is left out because it holds overscan junk and
// most channel logos, which stay bright while the programme goes black.
#ifndef CUTSPOT_PROBE_REGION_MEANS_H_
#define CUTSPOT_PROBE_REGION_MEANS_H_

#include <array>

namespace cutspot::probe {

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

// Samples in event file order: top left, top right, bottom left, bottom right. Each is on
// the 8-bit TV scale (black about 16) and 1..255, since 0 means "no sample".
std::array<unsigned char, 4> region_means(const luma_plane& plane);

// Maps a mean in the plane's own units to the 8-bit TV scale, rounded and clamped to 1..255.
unsigned char tv_scale_sample(double mean, int depth, bool full_range);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_REGION_MEANS_H_
