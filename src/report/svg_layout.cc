#include "report/svg_layout.h"

#include <algorithm>

namespace cutspot {

std::int64_t time_x(const level_envelope& levels, std::int64_t ns) {
  const std::uint64_t key = std::clamp(time_key(ns), levels.first_key(), levels.last_key());
  const std::uint64_t offset = key - levels.first_key();
  const unsigned shift = levels.shift();
  constexpr std::uint64_t SCALE = PLOT_WIDTH * SUBPIXELS;
  // The part within a bin, scaled; low bits that would overflow the product are dropped,
  // far below a tenth of a pixel.
  const std::uint64_t fraction = offset & ((std::uint64_t{1} << shift) - 1);
  const unsigned drop = shift > 49 ? shift - 49 : 0;
  const std::uint64_t position =
      (offset >> shift) * SCALE + (((fraction >> drop) * SCALE) >> (shift - drop));
  return PLOT_LEFT * SUBPIXELS + static_cast<std::int64_t>(position / levels.bin_count());
}

int video_y(std::uint32_t level) {
  return VIDEO_TOP + static_cast<int>((SVG_VIDEO_TOP - std::min(level, SVG_VIDEO_TOP)) *
                                      (VIDEO_HEIGHT - 1) / SVG_VIDEO_TOP);
}

int audio_y(std::uint32_t level) {
  return AUDIO_TOP + static_cast<int>((SVG_AUDIO_TOP - std::min(level, SVG_AUDIO_TOP)) *
                                      (AUDIO_HEIGHT - 1) / SVG_AUDIO_TOP);
}

}  // namespace cutspot
