// Stream time to recording time. Recordings start at the container's start time, and
// their clocks may jump: two recordings joined into one file start over, and the 33-bit
// MPEG clock wraps after about 26.5 hours. A stream whose clock goes back by more than
// a second, or forward by more than ten, has met such a break; it carries on from the
// latest time of any stream so far, so the second half keeps its place (and its breaks)
// after the first. The streams share these clock epochs: when the other stream meets the
// same break (its new clock within ten seconds of where the first one's restarted), it
// takes the same offset, so sound and picture stay in step across the join.
#ifndef CUTSPOT_PROBE_TIMELINE_H_
#define CUTSPOT_PROBE_TIMELINE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/time_units.h"

namespace cutspot::probe {

inline constexpr std::int64_t CLOCK_BACK_NS = NS_PER_SECOND;
inline constexpr std::int64_t CLOCK_FORWARD_NS = 10'000'000'000;
// How close a stream's new clock must be to an epoch's first time to join that epoch.
inline constexpr std::int64_t EPOCH_MATCH_NS = 10'000'000'000;
// Epochs remembered; a stream never lags more than a couple behind.
inline constexpr std::size_t EPOCHS_KEPT = 8;

struct clock_epoch {
  int id = 0;
  std::int64_t raw_start_ns = 0;  // The stream time that opened the epoch.
  std::int64_t offset_ns = 0;     // Added to stream time.
};

struct shared_clock {
  std::vector<clock_epoch> epochs;  // Oldest first, at most EPOCHS_KEPT.
  std::int64_t latest_ns = 0;       // Latest recording time handed out to any stream.
  int jumps = 0;                    // Epochs opened after the first.
};

struct stream_clock {
  int epoch = 0;  // Id of the epoch the stream is in.
  bool started = false;
  std::int64_t last_raw_ns = 0;
};

// The clock of a recording whose stream time origin_ns is recording time 0.
shared_clock make_clock(std::int64_t origin_ns);

// The recording time of a frame of one stream at stream time raw_ns lasting duration_ns.
std::int64_t clock_map(shared_clock& c, stream_clock& s, std::int64_t raw_ns,
                       std::int64_t duration_ns);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_TIMELINE_H_
