#include "analysis/marks.h"

#include "common/time_units.h"
#include "eventfile/time_diff.h"

namespace cutspot {

std::optional<cut_mark> mark_chooser::next(const quiet_interval& interval) {
  if (interval.start_ns == 0) return std::nullopt;
  const std::int64_t mark = midpoint_ns(interval.start_ns, interval.end_ns);
  const bool have_reference = last_mark_ns_ != 0;
  const std::uint64_t ignore_ns = std::uint64_t{settings_.ignore_seconds} * NS_PER_SECOND;
  const std::uint64_t period_ns = std::uint64_t{settings_.period_seconds} * NS_PER_SECOND;
  if (have_reference && diff_below(mark, last_mark_ns_, ignore_ns)) {
    last_mark_ns_ = mark;
    return std::nullopt;
  }
  bool short_gap = have_reference && diff_below(mark, last_mark_ns_, period_ns);
  if (!have_reference && mark <= LEAD_IN_LAST_NS) {
    short_gap = true;
  } else {
    last_mark_ns_ = mark;
  }
  return cut_mark{mark, short_gap ? 'A' : 'D', interval.start_ns, interval.end_ns};
}

}  // namespace cutspot
