#include "analysis/quiet_intervals.h"

#include <new>

#include "eventfile/time_diff.h"

namespace cutspot {
namespace {

// The only allocation of the pass. On failure the whole list is released, so no caller
// can see a list whose tail was never appended. (clear() frees the nodes without
// allocating; making a fresh empty list would need memory again.)
bool append_node(interval_detector* d) {
  try {
    d->tail = &d->intervals.emplace_back();  // A deque never moves its nodes.
    return true;
  } catch (const std::bad_alloc&) {
    d->intervals.clear();
    d->tail = nullptr;
    d->out_of_memory = true;
    return false;
  }
}

bool close_and_append(interval_detector* d) {
  if (d->tail->end_ns == 0) d->tail->end_ns = d->prev_ns;
  return append_node(d);
}

void reset_tail(quiet_interval* tail) {
  tail->end_ns = 0;
  tail->start_video_level = VIDEO_LEVEL_NONE;
  tail->start_audio_level = AUDIO_FULL_SCALE;
}

void start_tail(quiet_interval* tail, const event_record& record, const level_tracker& t) {
  tail->start_ns = record.timestamp_ns;
  tail->start_video_level = t.video_level;
  tail->start_audio_level = t.audio_level;
}

// The rules for one record. Inline, so that the pass's loop holds no call per record.
inline bool judge_record(interval_detector* d, const event_record& record) {
  const std::int64_t now = record.timestamp_ns;
  ++d->records;
  d->last_record_ns = now;
  const bool gap_mode = is_gap_mode(d->range);

  // The first record, and in gap mode a pause of over a second, begins a new stretch
  // of the stream: judged afresh, in a node of its own.
  if (d->prev_ns == 0 || (gap_mode && diff_exceeds(now, d->prev_ns, GAP_NS))) {
    if (d->tail->start_ns != 0 && !close_and_append(d)) return false;
    reset_tail(d->tail);
    reset_levels(&d->tracker);
  }

  track_levels(&d->tracker, record, d->range.audio_scale);
  const std::uint32_t video = d->tracker.video_level;
  const std::uint32_t audio = d->tracker.audio_level;
  const bool quiet = audio < d->range.silence_threshold;

  // In level mode, quiet starting or loud audio returning resets the tail's end; loud
  // audio more than a second after the start finishes the node for good.
  if (!gap_mode) {
    const bool open = d->tail->start_ns != 0;
    if (open != quiet) {
      if (open && diff_exceeds(now, d->tail->start_ns, GAP_NS) && !close_and_append(d)) {
        return false;
      }
      reset_tail(d->tail);
    }
  }

  // A record earlier than its predecessor can neither start nor end an interval.
  if (now < d->prev_ns) return true;
  d->prev_ns = now;

  quiet_interval& tail = *d->tail;
  if (video > BRIGHT_ABOVE || (video <= DARK_MAX && !quiet)) {
    // The picture turned bright, or the sound came back: the interval ends here,
    // unless it had ended already.
    if (tail.start_ns != 0 && tail.end_ns == 0) tail.end_ns = now;
  } else if (video <= DARK_MAX) {
    // Dark and quiet: start the node, or restart it if its interval had ended.
    if (tail.start_ns == 0 || tail.end_ns != 0) {
      start_tail(&tail, record, d->tracker);
      tail.end_ns = 0;
    }
  }
  return true;
}

}  // namespace

bool start_detection(interval_detector* d, const audio_range& range) {
  d->range = range;
  d->tracker = level_tracker{};
  d->prev_ns = 0;
  d->out_of_memory = false;
  d->records = 0;
  d->last_record_ns = 0;
  d->intervals.clear();
  return append_node(d);
}

bool detect_step(interval_detector* d, const event_record& record) {
  return judge_record(d, record);
}

void finish_detection(interval_detector* d) {
  if (d->tail == nullptr) return;
  if (d->tail->start_ns != 0 && d->tail->end_ns == 0) d->tail->end_ns = d->prev_ns;
}

void detect_intervals(record_reader* reader, const audio_range& range,
                      interval_detector* detector) {
  if (!start_detection(detector, range)) return;
  if (for_each_record(reader, [&](const event_record& r) { return judge_record(detector, r); })) {
    finish_detection(detector);
  }
}

}  // namespace cutspot
