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

// Repeats the last picture while the next record is more than VIDEO_REPEAT_NS after the
// last video record and the picture is still to be shown (up to limit_ns).
void repeat_until(sequencer& s, std::int64_t next_ns, std::int64_t limit_ns,
                  std::vector<event_record>& out) {
  while (s.have_video) {
    std::int64_t due = s.last_video.timestamp_ns + VIDEO_REPEAT_NS;
    if (due >= next_ns || due >= limit_ns) break;
    event_record r = s.last_video;
    r.timestamp_ns = due;
    emit(s, r, out);
  }
}

}  // namespace

void sequence_record(sequencer& s, const queued_record& q, std::vector<event_record>& out) {
  const event_record& r = q.record;
  // Equal times are no fault (sound and picture often share one); they leave 1 ns apart.
  if (r.timestamp_ns < s.last_in_ns) {
    ++s.late;
    return;
  }
  s.last_in_ns = r.timestamp_ns;
  repeat_until(s, r.timestamp_ns, std::max(s.shown_until_ns, s.picture_ns + HOLE_FILL_NS), out);
  emit(s, r, out);
  if (r.type == RECORD_VIDEO) {
    s.picture_ns = s.last_ns;
    s.shown_until_ns = std::max(q.shown_until_ns, s.last_ns);
  }
}

void finish_sequence(sequencer& s, std::vector<event_record>& out) {
  repeat_until(s, INT64_MAX, s.shown_until_ns, out);
}

}  // namespace cutspot::probe
