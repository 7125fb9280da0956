#include "report/svg_columns.h"

#include <algorithm>
#include <optional>

namespace cutspot {

void trace_columns(const level_envelope& levels, plot_columns* columns) {
  std::array<level_bin, PLOT_WIDTH> folded{};
  const std::size_t bins = levels.bin_count();
  int last_data = -1;
  for (std::size_t c = 0; c < folded.size(); ++c) {
    const std::size_t first = c * bins / PLOT_WIDTH;
    // With fewer bins than columns, a bin spreads over several columns.
    const std::size_t end = std::max((c + 1) * bins / PLOT_WIDTH, first + 1);
    for (std::size_t b = first; b < end; ++b) merge_bins(&folded[c], levels.bin(b));
    if ((folded[c].flags & BIN_DATA) != 0) last_data = static_cast<int>(c);
  }

  bool carry = false;
  std::uint16_t carried_video = 0;
  std::uint16_t carried_audio = 0;
  std::optional<int> gap_from;
  for (int c = 0; c <= last_data; ++c) {
    const level_bin& bin = folded[static_cast<std::size_t>(c)];
    plot_column& column = (*columns)[static_cast<std::size_t>(c)];
    if ((bin.flags & BIN_DATA) == 0) {
      if (carry) {
        column.drawn = true;
        column.video_low = column.video_high = carried_video;
        column.audio_low = column.audio_high = carried_audio;
      }
      continue;
    }
    column.drawn = true;
    column.video_low = bin.video_min;
    column.video_high = bin.video_max;
    column.audio_low = bin.audio_min;
    column.audio_high = bin.audio_max;
    if (carry && (bin.flags & BIN_STARTS_AFTER_GAP) == 0) {
      column.video_low = std::min(column.video_low, carried_video);
      column.video_high = std::max(column.video_high, carried_video);
      column.audio_low = std::min(column.audio_low, carried_audio);
      column.audio_high = std::max(column.audio_high, carried_audio);
    }
    if (gap_from) {
      column.gap_before = true;
      column.gap_from = *gap_from;
      gap_from.reset();
    }
    column.inner_gap = (bin.flags & BIN_INNER_GAP) != 0;
    carried_video = bin.video_last;
    carried_audio = bin.audio_last;
    carry = (bin.flags & BIN_ENDS_IN_GAP) == 0;
    if (!carry) gap_from = c;
  }
}

}  // namespace cutspot
