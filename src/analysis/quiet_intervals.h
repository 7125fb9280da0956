// Quiet-dark intervals: spans that begin at a record where the picture is dark and the
// audio quiet, and end where the picture turns bright, or stays dark while the audio is
// loud. They come in time order, split into separate entries at gaps in the record
// stream (gap mode) or when loud audio returns more than a second after an interval began
// (level mode). Each started interval later becomes one candidate mark.
//
// The detector works on one entry at a time, the tail: when a split closes it, or the
// records run out, it is handed on finished and never looked at again, so memory stays
// the same however many intervals the file holds.
#ifndef CUTSPOT_ANALYSIS_QUIET_INTERVALS_H_
#define CUTSPOT_ANALYSIS_QUIET_INTERVALS_H_

#include <algorithm>
#include <cstdint>

#include "analysis/audio_range.h"
#include "common/event_record.h"
#include "common/time_units.h"
#include "eventfile/level_tracker.h"
#include "eventfile/pass_status.h"
#include "eventfile/record_reader.h"
#include "eventfile/time_diff.h"

namespace cutspot {

inline constexpr std::int64_t GAP_NS = NS_PER_SECOND;
inline constexpr std::uint32_t DARK_MAX = 31;
inline constexpr std::uint32_t BRIGHT_ABOVE = 200;

struct quiet_interval {
  std::int64_t start_ns = 0;  // 0: not started, the entry is empty.
  std::int64_t end_ns = 0;    // 0: still open.
  std::uint32_t start_video_level = 0;
  std::uint32_t start_audio_level = 0;
  // Never set here: the mark an interval gives carries its own class (cut_mark::kind).
  std::uint32_t short_gap = 0;
};

// The state of one detection pass, advanced one record at a time.
struct interval_detector {
  explicit interval_detector(const audio_range& r) : range(r) {}

  audio_range range;
  level_tracker tracker;
  std::int64_t prev_ns = 0;  // Time of the last record not earlier than its predecessor.
  quiet_interval tail;       // The entry the current record works on.
};

namespace detail {

inline void reset_tail(quiet_interval* tail) {
  tail->end_ns = 0;
  tail->start_video_level = VIDEO_LEVEL_NONE;
  tail->start_audio_level = AUDIO_FULL_SCALE;
}

// Finishes the tail into *closed and starts an empty one.
inline void close_and_append(interval_detector* d, quiet_interval* closed) {
  if (d->tail.end_ns == 0) d->tail.end_ns = d->prev_ns;
  *closed = d->tail;
  d->tail = quiet_interval{};
}

}  // namespace detail

// How a file's quiet spans are split into entries: at gaps in the stream (gap mode) or
// when loud audio returns (level mode). It is fixed for the whole file by its audio range.
enum class split_mode { gaps, levels };

// detect_step for a file of the given mode, known when the pass is compiled: the pass
// then never asks which one it is, record after record.
template <split_mode Mode>
inline bool detect_step_in(interval_detector* d, const event_record& record,
                           quiet_interval* closed) {
  const std::int64_t now = record.timestamp_ns;
  constexpr bool gap_mode = Mode == split_mode::gaps;
  bool did_close = false;

  // The first record, and in gap mode a pause of over a second, begins a new stretch
  // of the stream: judged afresh, in an entry of its own.
  if (d->prev_ns == 0 || (gap_mode && diff_exceeds(now, d->prev_ns, GAP_NS))) {
    if (d->tail.start_ns != 0) {
      detail::close_and_append(d, closed);
      did_close = true;
    }
    detail::reset_tail(&d->tail);
    reset_levels(&d->tracker);
  }

  track_levels(&d->tracker, record, d->range.audio_scale);
  const std::uint32_t video = d->tracker.video_level;
  const bool quiet = d->tracker.audio_level < d->range.silence_threshold;

  // Loud sound while the entry is empty, as through most of a programme: the record can
  // neither start an interval nor end or reset one, and only its time counts.
  if (!quiet && d->tail.start_ns == 0) {
    d->prev_ns = std::max(d->prev_ns, now);
    return did_close;
  }

  // In level mode, quiet starting or loud audio returning resets the tail's end; loud
  // audio more than a second after the start finishes the entry for good.
  if (!gap_mode) {
    const bool open = d->tail.start_ns != 0;
    if (open != quiet) {
      if (open && diff_exceeds(now, d->tail.start_ns, GAP_NS)) {
        detail::close_and_append(d, closed);
        did_close = true;
      }
      detail::reset_tail(&d->tail);
    }
  }

  // A record earlier than its predecessor can neither start nor end an interval.
  if (now < d->prev_ns) return did_close;
  d->prev_ns = now;

  quiet_interval& tail = d->tail;
  if (video > BRIGHT_ABOVE || (video <= DARK_MAX && !quiet)) {
    // The picture turned bright, or the sound came back: the interval ends here,
    // unless it had ended already.
    if (tail.start_ns != 0 && tail.end_ns == 0) tail.end_ns = now;
  } else if (video <= DARK_MAX) {
    // Dark and quiet: start the entry, or restart it if its interval had ended.
    if (tail.start_ns == 0 || tail.end_ns != 0) {
      tail.start_ns = now;
      tail.start_video_level = video;
      tail.start_audio_level = d->tracker.audio_level;
      tail.end_ns = 0;
    }
  }
  return did_close;
}

// Judges one record. Returns true when the record closed the tail for good; *closed then
// holds that interval, which has started and ended. A record closes at most one.
inline bool detect_step(interval_detector* d, const event_record& record, quiet_interval* closed) {
  return is_gap_mode(d->range) ? detect_step_in<split_mode::gaps>(d, record, closed)
                               : detect_step_in<split_mode::levels>(d, record, closed);
}

// After the last record: returns true with the last interval in *closed if it started,
// ended at the last record that counted if it was still open.
inline bool finish_detection(interval_detector* d, quiet_interval* closed) {
  if (d->tail.start_ns == 0) return false;
  if (d->tail.end_ns == 0) d->tail.end_ns = d->prev_ns;
  *closed = d->tail;
  return true;
}

namespace detail {

template <split_mode Mode, typename OnInterval, typename OnRecord>
pass_status detect_intervals_in(record_reader* reader, const audio_range& range,
                                OnInterval& on_interval, OnRecord& on_record) {
  interval_detector detector(range);
  const pass_status status = for_each_block(reader, [&](record_block block) {
    // The state in a local for the block, where the compiler can keep it in registers.
    interval_detector d = detector;
    quiet_interval closed;
    event_record record;
    bool more = true;
    while (more && read_event_record(&block, &record)) {
      const bool did_close = detect_step_in<Mode>(&d, record, &closed);
      on_record(record, d.tracker);
      more = !did_close || on_interval(closed);
    }
    detector = d;
    return more;
  });
  if (status != pass_status::ok) return status;
  quiet_interval closed;
  if (finish_detection(&detector, &closed) && !on_interval(closed)) return pass_status::write_error;
  return pass_status::ok;
}

}  // namespace detail

// Watches nothing: the detection pass alone.
struct ignore_records {
  void operator()(const event_record&, const level_tracker&) const {}
};

// The whole pass over the file: on_interval(const quiet_interval&) for every interval, in
// order, as soon as it is finished. on_interval returns false to stop the pass (its
// output failed), which then returns `write_error`. on_record(record, tracker) sees
// every record after the detector has judged it, with the levels it was judged on.
template <typename OnInterval, typename OnRecord = ignore_records>
pass_status detect_intervals(record_reader* reader, const audio_range& range,
                             OnInterval&& on_interval, OnRecord&& on_record = OnRecord{}) {
  return is_gap_mode(range)
             ? detail::detect_intervals_in<split_mode::gaps>(reader, range, on_interval, on_record)
             : detail::detect_intervals_in<split_mode::levels>(reader, range, on_interval,
                                                               on_record);
}

}  // namespace cutspot

#endif  // CUTSPOT_ANALYSIS_QUIET_INTERVALS_H_
