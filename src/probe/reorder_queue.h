// Decoders hand frames over late (a frame-threaded decoder holds a picture per thread)
// and the streams interleave loosely (sound runs up to about 0.8 s ahead of the picture
// in MPEG program streams). Records wait here until they are a hold time behind the
// newest one, when nothing earlier can come any more; and the queue has a fixed
// capacity, so memory stays bounded however long the recording and whatever its
// timestamps do.
#ifndef CUTSPOT_PROBE_REORDER_QUEUE_H_
#define CUTSPOT_PROBE_REORDER_QUEUE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/event_record.h"

namespace cutspot::probe {

inline constexpr std::int64_t REORDER_HOLD_NS = 3'000'000'000;
// Over nine times the hold time of 240 fps video and 20 ms audio windows; beyond it the
// earliest record leaves even if its hold time is not over.
inline constexpr std::size_t REORDER_CAPACITY = 8192;

struct queued_record {
  event_record record;
  std::int64_t shown_until_ns = 0;  // Video: when the next picture is due.
  std::uint64_t sequence = 0;       // Keeps arrival order among equal times.
};

struct reorder_queue {
  std::vector<queued_record> heap;  // Earliest first under queue_later.
  std::int64_t newest_ns = INT64_MIN;
  std::uint64_t next_sequence = 0;
  std::int64_t hold_ns = REORDER_HOLD_NS;
  std::size_t capacity = REORDER_CAPACITY;
};

void queue_push(reorder_queue& q, const event_record& record, std::int64_t shown_until_ns);

// Takes the earliest record if it has waited its hold time behind the newest one, or the
// queue is over capacity.
bool queue_pop_ready(reorder_queue& q, queued_record* out);

// Takes the earliest record, whatever its age (at the end of the recording).
bool queue_pop(reorder_queue& q, queued_record* out);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_REORDER_QUEUE_H_
