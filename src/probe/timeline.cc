#include "probe/timeline.h"

namespace cutspot::probe {

stream_timeline make_timeline(std::int64_t origin_ns) {
  stream_timeline t;
  t.offset_ns = -origin_ns;
  return t;
}

std::int64_t timeline_map(stream_timeline& t, std::int64_t raw_ns, std::int64_t duration_ns) {
  // Damaged timestamps can be anything; no real recording comes near 2^62 ns (146 years).
  constexpr std::int64_t limit = std::int64_t{1} << 62;
  raw_ns = raw_ns < -limit ? -limit : (raw_ns > limit ? limit : raw_ns);
  std::int64_t mapped = raw_ns + t.offset_ns;
  if (t.started && (mapped < t.latest_ns - CLOCK_JUMP_NS || mapped > t.latest_ns + CLOCK_JUMP_NS)) {
    mapped = t.latest_ns + (duration_ns > 0 ? duration_ns : 0);
    t.offset_ns = mapped - raw_ns;
    ++t.rebases;
  }
  if (!t.started || mapped > t.latest_ns) t.latest_ns = mapped;
  t.started = true;
  return mapped;
}

}  // namespace cutspot::probe
