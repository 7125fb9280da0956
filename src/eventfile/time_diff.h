// Exact comparisons of the difference of two signed 64-bit times with a non-negative
// limit. Time stamps come straight from the file, so later − earlier may not fit in 64
// bits; these compare as if in unbounded integers, with no overflow.
#ifndef CUTSPOT_EVENTFILE_TIME_DIFF_H_
#define CUTSPOT_EVENTFILE_TIME_DIFF_H_

#include <cstdint>

namespace cutspot {

// later − earlier > limit.
inline bool diff_exceeds(std::int64_t later, std::int64_t earlier, std::uint64_t limit) {
  // When later > earlier the true difference lies in [1, 2^64 − 1], which the unsigned
  // subtraction yields exactly; otherwise it is at most 0 and never exceeds the limit.
  return later > earlier &&
         static_cast<std::uint64_t>(later) - static_cast<std::uint64_t>(earlier) > limit;
}

// later − earlier < limit.
inline bool diff_below(std::int64_t later, std::int64_t earlier, std::uint64_t limit) {
  if (limit == 0) return later < earlier;
  return !diff_exceeds(later, earlier, limit - 1);
}

}  // namespace cutspot

#endif  // CUTSPOT_EVENTFILE_TIME_DIFF_H_
