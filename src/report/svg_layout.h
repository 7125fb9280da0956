// The geometry of the "-svg" picture, in pixels, and the mapping of times and levels onto
// it. The plot has one column per pixel; x coordinates are computed in tenths of a pixel.
#ifndef CUTSPOT_REPORT_SVG_LAYOUT_H_
#define CUTSPOT_REPORT_SVG_LAYOUT_H_

#include <cstdint>

#include "report/svg_envelope.h"
#include "report/text_writer.h"

namespace cutspot {

inline constexpr int SVG_WIDTH = 1600;
inline constexpr int SVG_HEIGHT = 500;
inline constexpr int PLOT_LEFT = 64;
inline constexpr int PLOT_WIDTH = 1500;
inline constexpr int PLOT_RIGHT = PLOT_LEFT + PLOT_WIDTH;
inline constexpr int VIDEO_TOP = 60;
inline constexpr int VIDEO_HEIGHT = 120;
inline constexpr int AUDIO_TOP = 196;
inline constexpr int AUDIO_HEIGHT = 180;
inline constexpr int PLOT_TOP = VIDEO_TOP;
inline constexpr int PLOT_BOTTOM = AUDIO_TOP + AUDIO_HEIGHT;
inline constexpr std::int64_t SUBPIXELS = 10;

// A coordinate in tenths of a pixel, written as pixels with one decimal where needed.
struct tenths {
  std::int64_t value;
};

inline text_writer& operator<<(text_writer& w, tenths t) {
  // Coordinates are never negative.
  w << t.value / SUBPIXELS;
  if (t.value % SUBPIXELS != 0) w << '.' << t.value % SUBPIXELS;
  return w;
}

// Where a time lies on the plot, in tenths of a pixel, clamped to the axis.
std::int64_t time_x(const level_envelope& levels, std::int64_t ns);

// The pixel row of a level in its panel: the top row for the highest level shown.
int video_y(std::uint32_t level);
int audio_y(std::uint32_t level);

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_SVG_LAYOUT_H_
