// Turning quiet-dark intervals into the marks of the cut list. Each started interval
// gives one candidate at its midpoint; a candidate closer than ignore_seconds to the
// previous reference is dropped (and becomes the reference, so a chain of close ones
// collapses into its first), and the rest are classified by their distance from the
// reference:
//   D  at least period_seconds after the reference, or the first mark after the lead-in;
//   A  less than period_seconds after it, or anywhere in the first minute while no
//      reference has been taken.
// A mark depends only on its interval and the reference before it, so marks are chosen
// one by one as the detection pass finishes each interval.
#ifndef CUTSPOT_ANALYSIS_MARKS_H_
#define CUTSPOT_ANALYSIS_MARKS_H_

#include <cstdint>
#include <optional>

#include "analysis/audio_range.h"
#include "analysis/quiet_intervals.h"
#include "common/time_units.h"
#include "eventfile/pass_status.h"
#include "eventfile/record_reader.h"

namespace cutspot {

inline constexpr std::uint32_t DEFAULT_PERIOD_SECONDS = 300;
inline constexpr std::uint32_t BARE_PERIOD_SECONDS = 210;
// Marks up to this time, while no reference is taken, lie in the lead-in minute.
inline constexpr std::int64_t LEAD_IN_LAST_NS = 60 * NS_PER_SECOND - 1;

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

// Chooses the marks of a run's intervals, taken in order, one per call.
class mark_chooser {
 public:
  explicit mark_chooser(const mark_settings& settings) : settings_(settings) {}

  // The mark that the interval gives, or nothing when it is empty or dropped.
  std::optional<cut_mark> next(const quiet_interval& interval);

 private:
  mark_settings settings_;
  std::int64_t last_mark_ns_ = 0;  // The reference; 0 while none has been taken.
};

// The exact floor of (start + end) / 2, for any two non-negative times.
inline std::int64_t midpoint_ns(std::int64_t start_ns, std::int64_t end_ns) {
  return start_ns / 2 + end_ns / 2 + (start_ns % 2 + end_ns % 2) / 2;
}

// The detection pass with its marks: on_interval(interval, mark) for every interval in
// order, mark pointing to the mark it gives or null when it gives none. on_interval
// returns false to stop the pass, which then returns `write_error`. on_record is passed
// on to detect_intervals.
template <typename OnInterval, typename OnRecord = ignore_records>
pass_status for_each_mark(record_reader* reader, const audio_range& range,
                          const mark_settings& settings, OnInterval&& on_interval,
                          OnRecord&& on_record = OnRecord{}) {
  mark_chooser chooser(settings);
  return detect_intervals(
      reader, range,
      [&](const quiet_interval& interval) {
        const std::optional<cut_mark> mark = chooser.next(interval);
        return on_interval(interval, mark ? &*mark : nullptr);
      },
      on_record);
}

}  // namespace cutspot

#endif  // CUTSPOT_ANALYSIS_MARKS_H_
