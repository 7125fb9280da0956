#include "probe/reorder_queue.h"

#include <algorithm>

namespace cutspot::probe {
namespace {

// std::push_heap keeps the greatest first; "greater" here is earlier.
bool queue_later(const queued_record& a, const queued_record& b) {
  if (a.record.timestamp_ns != b.record.timestamp_ns) {
    return a.record.timestamp_ns > b.record.timestamp_ns;
  }
  return a.sequence > b.sequence;
}

}  // namespace

void queue_push(reorder_queue& q, const event_record& record, std::int64_t shown_until_ns) {
  q.heap.push_back({record, shown_until_ns, q.next_sequence++});
  std::push_heap(q.heap.begin(), q.heap.end(), queue_later);
  q.newest_ns = std::max(q.newest_ns, record.timestamp_ns);
}

bool queue_pop(reorder_queue& q, queued_record* out) {
  if (q.heap.empty()) return false;
  std::pop_heap(q.heap.begin(), q.heap.end(), queue_later);
  *out = q.heap.back();
  q.heap.pop_back();
  return true;
}

bool queue_pop_ready(reorder_queue& q, queued_record* out) {
  if (q.heap.empty()) return false;
  const queued_record& earliest = q.heap.front();
  bool old = earliest.record.timestamp_ns <= q.newest_ns - q.hold_ns;
  if (!old && q.heap.size() <= q.capacity) return false;
  return queue_pop(q, out);
}

}  // namespace cutspot::probe
