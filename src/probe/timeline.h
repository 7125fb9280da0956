// Stream time to recording time. Recordings start at their first packet's time, and their
// clocks may jump: two recordings joined into one file start over, and the 33-bit MPEG
// clock wraps after about 26.5 hours. A jump of more than a few seconds either way from
// the stream's latest time is taken for such a break and the stream carries on from
// where it was, so the second half keeps its place (and its breaks) after the first.
#ifndef CUTSPOT_PROBE_TIMELINE_H_
#define CUTSPOT_PROBE_TIMELINE_H_

#include <cstdint>

namespace cutspot::probe {

inline constexpr std::int64_t CLOCK_JUMP_NS = 5'000'000'000;

struct stream_timeline {
  std::int64_t offset_ns = 0;  // Added to stream time; starts as minus the first packet's time.
  std::int64_t latest_ns = 0;  // Latest recording time handed out.
  bool started = false;
  int rebases = 0;
};

stream_timeline make_timeline(std::int64_t origin_ns);

// The recording time of a frame at stream time raw_ns lasting duration_ns.
std::int64_t timeline_map(stream_timeline& t, std::int64_t raw_ns, std::int64_t duration_ns);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_TIMELINE_H_
