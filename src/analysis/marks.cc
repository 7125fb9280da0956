#include "analysis/marks.h"

#include "eventfile/time_diff.h"

namespace cutspot {

namespace {
constexpr std::uint64_t NS_PER_SECOND = 1000000000;
}  // namespace

std::optional<cut_mark> mark_chooser::next(quiet_interval* node) {
  if (node->start_ns == 0) return std::nullopt;
  const std::int64_t start_ns = node->start_ns;
  const std::int64_t mark = midpoint_ns(start_ns, node->end_ns);
  const std::int64_t interval_end_ns = node->end_ns;
  node->end_ns = mark;

  const bool have_reference = last_mark_ns_ != 0;
  if (have_reference && diff_below(mark, last_mark_ns_, settings_.ignore_seconds * NS_PER_SECOND)) {
    last_mark_ns_ = mark;
    return std::nullopt;
  }
  if (have_reference && diff_below(mark, last_mark_ns_, settings_.period_seconds * NS_PER_SECOND)) {
    node->short_gap = 1;
  }
  if (!have_reference && mark <= LEAD_IN_LAST_NS) {
    node->short_gap = 1;
  } else {
    last_mark_ns_ = mark;
  }
  return cut_mark{mark, node->short_gap != 0 ? 'A' : 'D', start_ns, interval_end_ns};
}

}  // namespace cutspot
