// The recording as alternating parts, programme and advertising, numbered separately
// from 1: the programme before the first break, the break, the programme after it, and
// so on to the recording's end. A programme part of no length (a recording that starts
// or ends inside a break, or two breaks that touch) is left out. Breaks arrive in time
// order one by one, so only the end of the last part is kept.
#ifndef CUTSPOT_REPORT_PROGRAMME_PARTS_H_
#define CUTSPOT_REPORT_PROGRAMME_PARTS_H_

#include <algorithm>
#include <cstdint>

#include "analysis/breaks.h"

namespace cutspot {

struct recording_part {
  bool advertising;
  std::uint64_t number;  // Counted for each kind apart.
  std::int64_t start_ns;
  std::int64_t end_ns;
  const ad_break* found;  // The break, for an advertising part.
};

class part_walker {
 public:
  // Calls on_part(const recording_part&) for the programme before the break, if any,
  // then for the break.
  template <typename OnPart>
  void add_break(const ad_break& found, OnPart&& on_part) {
    if (found.start_ns > cursor_ns_) {
      on_part(recording_part{false, ++programmes_, cursor_ns_, found.start_ns, nullptr});
    }
    on_part(recording_part{true, ++breaks_, found.start_ns, found.end_ns, &found});
    cursor_ns_ = std::max(cursor_ns_, found.end_ns);
  }

  // The programme after the last break, up to the recording's end.
  template <typename OnPart>
  void finish(std::int64_t recording_end_ns, OnPart&& on_part) {
    if (recording_end_ns > cursor_ns_) {
      on_part(recording_part{false, ++programmes_, cursor_ns_, recording_end_ns, nullptr});
    }
  }

  std::uint64_t programmes() const { return programmes_; }
  std::uint64_t breaks() const { return breaks_; }

 private:
  std::int64_t cursor_ns_ = 0;  // Where the next programme part starts.
  std::uint64_t programmes_ = 0;
  std::uint64_t breaks_ = 0;
};

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_PROGRAMME_PARTS_H_
