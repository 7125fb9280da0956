// The last stage before the event file: records leave in strictly increasing time, none
// before 1 ns (cutspot skips records earlier than the one before, and one at 0 can never
// start a quiet span), and a picture shown for longer than 60 ms is repeated every 40 ms,
// because cutspot counts the picture as bright once no video record came within 70 ms.
#ifndef CUTSPOT_PROBE_SEQUENCER_H_
#define CUTSPOT_PROBE_SEQUENCER_H_

#include <cstdint>
#include <vector>

#include "eventfile/event_record.h"
#include "probe/reorder_queue.h"

namespace cutspot::probe {

inline constexpr std::int64_t VIDEO_REPEAT_NS = 40'000'000;

struct sequencer {
  std::int64_t last_ns = 0;  // Of the last record written.
  bool have_video = false;
  event_record last_video;
  std::int64_t shown_until_ns = 0;
};

// Appends the record, after any repeats of the last picture that fall before it.
void sequence_record(sequencer& s, const queued_record& q, std::vector<event_record>& out);

// Appends the repeats of the last picture up to the end of its showing.
void finish_sequence(sequencer& s, std::vector<event_record>& out);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_SEQUENCER_H_
