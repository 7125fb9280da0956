// The envelope folded into the picture's pixel columns: what each column draws of the
// video and audio levels, and where the pauses of the stream begin and end.
#ifndef CUTSPOT_REPORT_SVG_COLUMNS_H_
#define CUTSPOT_REPORT_SVG_COLUMNS_H_

#include <array>
#include <cstdint>

#include "report/svg_envelope.h"
#include "report/svg_layout.h"

namespace cutspot {

struct plot_column {
  bool drawn = false;
  std::uint16_t video_low = 0;
  std::uint16_t video_high = 0;
  std::uint16_t audio_low = 0;
  std::uint16_t audio_high = 0;
  // A pause ends in this column, having begun in column gap_from (the same one when
  // inner_gap says that it also ended there).
  bool gap_before = false;
  bool inner_gap = false;
  int gap_from = 0;
};

using plot_columns = std::array<plot_column, PLOT_WIDTH>;

// Folds the bins into pixel columns. Between records the levels hold, so a column
// without records shows the level carried in from the left, and so does a column's own
// range, unless the stream paused in between.
void trace_columns(const level_envelope& levels, plot_columns* columns);

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_SVG_COLUMNS_H_
