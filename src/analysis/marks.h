// Turning quiet-dark intervals into the marks of the cut list. Each started interval
// gives one candidate at its midpoint; a candidate closer than ignore_seconds to the
// previous reference is dropped (and becomes the reference, so a chain of close ones
// collapses into its first), and the rest are classified by their distance from the
// reference:
//   D  at least period_seconds after the reference, or the first mark after the lead-in;
//   A  less than period_seconds after it, or anywhere in the first minute while no
//      reference has been taken.
#ifndef CUTSPOT_ANALYSIS_MARKS_H_
#define CUTSPOT_ANALYSIS_MARKS_H_

#include <cstdint>
#include <optional>

#include "analysis/quiet_intervals.h"

namespace cutspot {

inline constexpr std::uint32_t DEFAULT_PERIOD_SECONDS = 300;
inline constexpr std::uint32_t BARE_PERIOD_SECONDS = 210;
// Marks up to this time, while no reference is taken, lie in the lead-in minute.
inline constexpr std::int64_t LEAD_IN_LAST_NS = 59999999999;

struct mark_settings {
  std::uint32_t period_seconds = DEFAULT_PERIOD_SECONDS;
  std::uint32_t ignore_seconds = 0;
};

struct cut_mark {
  std::int64_t ns;        // The mark: the midpoint of its interval.
  char kind;              // 'A' or 'D'.
  std::int64_t start_ns;  // The interval it came from.
  std::int64_t end_ns;
};

// Walks the interval list in order, one node per call.
class mark_chooser {
 public:
  explicit mark_chooser(const mark_settings& settings) : settings_(settings) {}

  // The mark that the node gives, or nothing when it is empty or dropped. As the cut
  // list has always recorded, the node's end_ns becomes the mark and short_gap its class.
  std::optional<cut_mark> next(quiet_interval* node);

 private:
  mark_settings settings_;
  std::int64_t last_mark_ns_ = 0;  // The reference; 0 while none has been taken.
};

// The exact floor of (start + end) / 2, for any two non-negative times.
inline std::int64_t midpoint_ns(std::int64_t start_ns, std::int64_t end_ns) {
  return start_ns / 2 + end_ns / 2 + (start_ns % 2 + end_ns % 2) / 2;
}

}  // namespace cutspot

#endif  // CUTSPOT_ANALYSIS_MARKS_H_
