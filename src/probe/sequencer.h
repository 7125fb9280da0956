// The last stage before the event file. Records leave in strictly increasing time from
// 1 ns on: cutspot skips a record earlier than the one before, and one at 0 can never
// start a quiet span. And cutspot counts the picture as bright once no video record came
// within 70 ms, which made every mark of a low-frame-rate recording late and lets a
// single lost picture end a break early; so the last picture is repeated every 60 ms
// until the next one, for as long as it is shown and at most a second across a hole
// left by pictures that could not be decoded.
#ifndef CUTSPOT_PROBE_SEQUENCER_H_
#define CUTSPOT_PROBE_SEQUENCER_H_

#include <cstdint>
#include <vector>

#include "common/event_record.h"
#include "common/time_units.h"
#include "probe/reorder_queue.h"

namespace cutspot::probe {

inline constexpr std::int64_t VIDEO_REPEAT_NS = 60'000'000;
inline constexpr std::int64_t HOLE_FILL_NS = NS_PER_SECOND;

struct sequencer {
  std::int64_t last_ns = 0;  // Of the last record written...
  // ...and the time it came with, before any nudge. Records before the start (the
  // container's start time is rounded to microseconds) are kept, at 1 ns and on.
  std::int64_t last_in_ns = INT64_MIN;
  bool have_video = false;
  event_record last_video;          // As written, repeats included.
  std::int64_t picture_ns = 0;      // When the last real picture was shown...
  std::int64_t shown_until_ns = 0;  // ...and until when.
  long late = 0;                    // Records dropped for coming after later ones.
};

// Appends the record, after any repeats of the last picture that fall before it. A
// record earlier than the last one written is dropped and counted.
void sequence_record(sequencer& s, const queued_record& q, std::vector<event_record>& out);

// Appends the repeats of the last picture up to the end of its showing.
void finish_sequence(sequencer& s, std::vector<event_record>& out);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_SEQUENCER_H_
