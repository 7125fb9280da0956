#include "probe/coverage.h"

#include <algorithm>
#include <cstdio>

#include "common/time_units.h"

namespace cutspot::probe {
namespace {

// Times are clamped far below overflow by the clock, durations to a second.
constexpr std::int64_t LIMIT = std::int64_t{1} << 61;

double seconds(std::int64_t ns) {
  return static_cast<double>(ns) / NS_PER_SECOND;
}

}  // namespace

void add_picture(coverage& c, std::int64_t time_ns, std::int64_t duration_ns) {
  time_ns = std::clamp(time_ns, -LIMIT, LIMIT);
  duration_ns = std::clamp<std::int64_t>(duration_ns, 0, LIMIT);
  c.pictures_ns = std::min(c.pictures_ns + duration_ns, LIMIT);
  c.first_ns = std::min(c.first_ns, time_ns);
  c.end_ns = std::max(c.end_ns, time_ns + duration_ns);
}

std::string coverage_fault(const coverage& c, std::int64_t length_ns) {
  if (c.end_ns == INT64_MIN) return "";
  char buf[200];
  std::int64_t span = c.end_ns - c.first_ns;
  // In double: the span of absurd times can be near the range of 64 bits.
  if (static_cast<double>(c.pictures_ns) >
      static_cast<double>(CROWDING_FACTOR) * static_cast<double>(span) + COVERAGE_SLACK_NS) {
    std::snprintf(buf, sizeof buf,
                  "the time stamps cannot be trusted: %.1f s of pictures have times within "
                  "%.1f s",
                  seconds(c.pictures_ns), seconds(span));
    return buf;
  }
  if (length_ns > 0 && c.pictures_ns < COVERED_FRACTION * static_cast<double>(length_ns) &&
      length_ns - c.pictures_ns > COVERAGE_SLACK_NS) {
    std::snprintf(buf, sizeof buf,
                  "only %.1f s of the recording's %.1f s could be decoded (damaged?)",
                  seconds(c.pictures_ns), seconds(length_ns));
    return buf;
  }
  return "";
}

}  // namespace cutspot::probe
