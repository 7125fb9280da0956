// Whether the pictures of a run can stand for the recording: a damaged file can decode
// to a fraction of its length, and damaged time stamps (all zero, say) squeeze every
// picture into a moment. Either way the event file would say nothing true about the
// recording's breaks, so the run fails instead of hiding it in a summary line.
#ifndef CUTSPOT_PROBE_COVERAGE_H_
#define CUTSPOT_PROBE_COVERAGE_H_

#include <cstdint>
#include <string>

#include "common/time_units.h"

namespace cutspot::probe {

// Pictures whose own durations add up to more than this multiple of the time their
// time stamps span, plus COVERAGE_SLACK_NS, have time stamps that cannot be trusted.
inline constexpr std::int64_t CROWDING_FACTOR = 2;
// Decoded pictures lasting less than this fraction of the recording's stated length,
// and more than COVERAGE_SLACK_NS short of it, cover too little of it.
inline constexpr double COVERED_FRACTION = 0.5;
inline constexpr std::int64_t COVERAGE_SLACK_NS = 2 * NS_PER_SECOND;

struct coverage {
  std::int64_t pictures_ns = 0;  // Sum of the decoded pictures' durations.
  std::int64_t first_ns = INT64_MAX;
  std::int64_t end_ns = INT64_MIN;  // Latest picture time plus its duration.
};

void add_picture(coverage& c, std::int64_t time_ns, std::int64_t duration_ns);

// Empty when the pictures can stand for the recording, else why not. length_ns is the
// length the container states or measured from its time stamps; 0 when unknown.
std::string coverage_fault(const coverage& c, std::int64_t length_ns);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_COVERAGE_H_
