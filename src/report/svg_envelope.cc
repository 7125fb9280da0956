#include "report/svg_envelope.h"

#include <algorithm>

namespace cutspot {

void merge_bins(level_bin* earlier, const level_bin& later) {
  if ((later.flags & BIN_DATA) == 0) return;
  if ((earlier->flags & BIN_DATA) == 0) {
    *earlier = later;
    return;
  }
  earlier->video_min = std::min(earlier->video_min, later.video_min);
  earlier->video_max = std::max(earlier->video_max, later.video_max);
  earlier->audio_min = std::min(earlier->audio_min, later.audio_min);
  earlier->audio_max = std::max(earlier->audio_max, later.audio_max);
  earlier->video_last = later.video_last;
  earlier->audio_last = later.audio_last;
  // A pause that ran from one part into the other now lies inside the merged bin.
  const bool inner = ((earlier->flags | later.flags) & BIN_INNER_GAP) != 0 ||
                     (earlier->flags & BIN_ENDS_IN_GAP) != 0 ||
                     (later.flags & BIN_STARTS_AFTER_GAP) != 0;
  earlier->flags =
      static_cast<std::uint8_t>(BIN_DATA | (earlier->flags & BIN_STARTS_AFTER_GAP) |
                                (later.flags & BIN_ENDS_IN_GAP) | (inner ? BIN_INNER_GAP : 0));
}

level_envelope::level_envelope(std::int64_t earliest_ns, std::int64_t latest_ns) {
  const std::uint64_t first = std::min(time_key(0), time_key(earliest_ns));
  const std::uint64_t last = std::max(time_key(SVG_MIN_SPAN_NS - 1), time_key(latest_ns));
  // The narrowest width at which the span fits; at 2^63 every key is bin 0 or 1.
  while ((last >> shift_) - (first >> shift_) >= SVG_BINS) ++shift_;
  lo_ = first >> shift_;
  hi_ = last >> shift_;
}

void level_envelope::add(std::int64_t ns, std::uint32_t video, std::uint32_t audio, bool after_gap,
                         std::int64_t prev_ns) {
  level_bin& bin = at(ns);
  const auto v = static_cast<std::uint16_t>(std::min(video, SVG_VIDEO_TOP));
  const auto a = static_cast<std::uint16_t>(std::min(audio, SVG_AUDIO_TOP));
  const bool fresh = (bin.flags & BIN_DATA) == 0;
  if (fresh) {
    bin.video_min = bin.video_max = v;
    bin.audio_min = bin.audio_max = a;
    bin.flags = BIN_DATA;
  } else {
    bin.video_min = std::min(bin.video_min, v);
    bin.video_max = std::max(bin.video_max, v);
    bin.audio_min = std::min(bin.audio_min, a);
    bin.audio_max = std::max(bin.audio_max, a);
    bin.flags = static_cast<std::uint8_t>(bin.flags & ~BIN_ENDS_IN_GAP);
  }
  bin.video_last = v;
  bin.audio_last = a;
  if (!after_gap) return;

  level_bin& before = at(prev_ns);
  if (&before != &bin && fresh && (before.flags & BIN_DATA) != 0) {
    before.flags |= BIN_ENDS_IN_GAP;
    bin.flags |= BIN_STARTS_AFTER_GAP;
  } else {
    // Within one bin, back into a bin that already had records, or after a time never
    // added: the pause cannot be placed more precisely than this bin.
    bin.flags |= BIN_INNER_GAP;
  }
}

}  // namespace cutspot
