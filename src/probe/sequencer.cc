#include "probe/sequencer.h"

#include <algorithm>

namespace cutspot::probe {
namespace {

void emit(sequencer& s, event_record r, std::vector<event_record>& out) {
  r.timestamp_ns = std::max({r.timestamp_ns, s.last_ns + 1, std::int64_t{1}});
  s.last_ns = r.timestamp_ns;
  if (r.type == RECORD_VIDEO) {
    s.have_video = true;
    s.last_video = r;
  }
  out.push_back(r);
}

// Repeats the last picture while it is still shown and the next record is more than
// VIDEO_REPEAT_NS after it.
void repeat_until(sequencer& s, std::int64_t next_ns, std::vector<event_record>& out) {
  while (s.have_video) {
    std::int64_t due = s.last_video.timestamp_ns + VIDEO_REPEAT_NS;
    if (due >= next_ns || due >= s.shown_until_ns) break;
    event_record r = s.last_video;
    r.timestamp_ns = due;
    emit(s, r, out);
  }
}

}  // namespace

void sequence_record(sequencer& s, const queued_record& q, std::vector<event_record>& out) {
  repeat_until(s, q.record.timestamp_ns, out);
  emit(s, q.record, out);
  if (q.record.type == RECORD_VIDEO) s.shown_until_ns = std::max(q.shown_until_ns, s.last_ns);
}

void finish_sequence(sequencer& s, std::vector<event_record>& out) {
  repeat_until(s, INT64_MAX, out);
}

}  // namespace cutspot::probe
