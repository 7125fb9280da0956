// The levels of a whole recording in constant memory, for the "-svg" picture: a fixed
// number of time bins, each holding the lowest, highest and latest video and audio level
// of the records that fell into it, plus where the stream paused.
//
// The bins are fixed before the first record arrives, from the time span the first pass
// found: SVG_BINS consecutive multiples of the narrowest power-of-two width (at least
// 2^20 ns) that covers the span together with time 0, the start of the recording, and
// at least its first second.
//
// Times are handled as keys: the signed time with its top bit flipped, which orders the
// same but is unsigned, so any time stamp from INT64_MIN to INT64_MAX bins without
// overflow.
#ifndef CUTSPOT_REPORT_SVG_ENVELOPE_H_
#define CUTSPOT_REPORT_SVG_ENVELOPE_H_

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/time_units.h"

namespace cutspot {

inline constexpr std::size_t SVG_BINS = 4096;
// The narrowest bins, 2^20 ns (about a millisecond): finer than any picture needs.
inline constexpr unsigned SVG_MIN_SHIFT = 20;
inline constexpr std::int64_t SVG_MIN_SPAN_NS = NS_PER_SECOND;

// Levels are clamped to what the picture's axes show.
inline constexpr std::uint32_t SVG_VIDEO_TOP = 255;
inline constexpr std::uint32_t SVG_AUDIO_TOP = 10000;

enum : std::uint8_t {
  BIN_DATA = 1,              // At least one record fell into the bin.
  BIN_STARTS_AFTER_GAP = 2,  // Its first record came after a pause of the stream.
  BIN_ENDS_IN_GAP = 4,       // The stream paused after its latest record.
  BIN_INNER_GAP = 8,         // The stream paused and resumed within the bin.
};

struct level_bin {
  std::uint16_t video_min = 0;
  std::uint16_t video_max = 0;
  std::uint16_t video_last = 0;
  std::uint16_t audio_min = 0;
  std::uint16_t audio_max = 0;
  std::uint16_t audio_last = 0;
  std::uint8_t flags = 0;
};

// Folds `later` into `earlier`, as if both bins' records had fallen into one.
void merge_bins(level_bin* earlier, const level_bin& later);

// The order-preserving unsigned key of a time.
inline std::uint64_t time_key(std::int64_t ns) {
  return static_cast<std::uint64_t>(ns) ^ (std::uint64_t{1} << 63);
}
inline std::int64_t key_time(std::uint64_t key) {
  return static_cast<std::int64_t>(key ^ (std::uint64_t{1} << 63));
}

class level_envelope {
 public:
  // Bins for records whose times lie within [earliest_ns, latest_ns].
  level_envelope(std::int64_t earliest_ns, std::int64_t latest_ns);

  // Notes one record's levels at time ns. With after_gap, the stream had paused since
  // the previous record, at prev_ns, which was added before.
  void add(std::int64_t ns, std::uint32_t video, std::uint32_t audio, bool after_gap = false,
           std::int64_t prev_ns = 0);

  // The bins from the earliest covered to the latest, each 2^shift() ns wide.
  std::size_t bin_count() const { return static_cast<std::size_t>(hi_ - lo_) + 1; }
  const level_bin& bin(std::size_t i) const { return bins_[i]; }
  unsigned shift() const { return shift_; }

  // The keys of the first and the last nanosecond covered.
  std::uint64_t first_key() const { return lo_ << shift_; }
  std::uint64_t last_key() const { return (hi_ << shift_) | ((std::uint64_t{1} << shift_) - 1); }

 private:
  level_bin& at(std::int64_t ns) {
    return bins_[static_cast<std::size_t>((time_key(ns) >> shift_) - lo_)];
  }

  unsigned shift_ = SVG_MIN_SHIFT;
  std::uint64_t lo_ = 0;  // Bin numbers of the earliest and latest bins covered.
  std::uint64_t hi_ = 0;
  std::array<level_bin, SVG_BINS> bins_;
};

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_SVG_ENVELOPE_H_
