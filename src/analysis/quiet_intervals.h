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

#include <cstdint>

#include "analysis/audio_range.h"
#include "analysis/level_tracker.h"
#include "analysis/level_walk.h"
#include "common/event_record.h"
#include "eventfile/pass_status.h"
#include "eventfile/record_reader.h"
#include "eventfile/time_diff.h"

namespace cutspot {

inline constexpr std::uint32_t DARK_MAX = 31;
inline constexpr std::uint32_t BRIGHT_ABOVE = 200;

struct quiet_interval {
  std::int64_t start_ns = 0;  // 0: not started, the entry is empty.
  std::int64_t end_ns = 0;    // 0: still open.
  std::uint32_t start_video_level = 0;
  std::uint32_t start_audio_level = 0;
};

// The state of one detection pass, advanced one record at a time by the level walk.
struct interval_detector {
  quiet_interval tail;  // The entry the current record works on.
};

namespace detail {

inline void reset_tail(quiet_interval* tail) {
  tail->end_ns = 0;
  tail->start_video_level = VIDEO_LEVEL_NONE;
  tail->start_audio_level = AUDIO_FULL_SCALE;
}

// Finishes the tail into *closed and starts an empty one; an open interval ends at
// last_ns, the last record in order before this one.
inline void close_and_append(interval_detector* d, std::int64_t last_ns, quiet_interval* closed) {
  if (d->tail.end_ns == 0) d->tail.end_ns = last_ns;
  *closed = d->tail;
  d->tail = quiet_interval{};
}

}  // namespace detail

// Judges one record, as the walk of the detection's levels saw it. Returns true when the
// record closed the tail for good; *closed then holds that interval, which has started
// and ended. A record closes at most one.
template <split_mode Mode>
inline bool detect_step(interval_detector* d, const event_record& record, const level_step& step,
                        const level_tracker& levels, quiet_interval* closed) {
  const std::int64_t now = record.timestamp_ns;
  bool did_close = false;

  // A restart of the stream is judged afresh, in an entry of its own.
  if (step.restart) {
    if (d->tail.start_ns != 0) {
      detail::close_and_append(d, step.latest_ns, closed);
      did_close = true;
    }
    detail::reset_tail(&d->tail);
  }

  // Loud sound while the entry is empty, as through most of a programme: the record can
  // neither start an interval nor end or reset one, and only its time counts.
  if (!step.quiet && d->tail.start_ns == 0) return did_close;

  // In level mode, quiet starting or loud audio returning resets the tail's end; loud
  // audio more than a second after the start finishes the entry for good.
  if (Mode == split_mode::levels) {
    const bool open = d->tail.start_ns != 0;
    if (open != step.quiet) {
      if (open && diff_exceeds(now, d->tail.start_ns, GAP_NS)) {
        detail::close_and_append(d, step.latest_ns, closed);
        did_close = true;
      }
      detail::reset_tail(&d->tail);
    }
  }

  // A record earlier than its predecessor can neither start nor end an interval.
  if (!step.in_order) return did_close;

  const std::uint32_t video = levels.video_level;
  quiet_interval& tail = d->tail;
  if (video > BRIGHT_ABOVE || (video <= DARK_MAX && !step.quiet)) {
    // The picture turned bright, or the sound came back: the interval ends here,
    // unless it had ended already.
    if (tail.start_ns != 0 && tail.end_ns == 0) tail.end_ns = now;
  } else if (video <= DARK_MAX) {
    // Dark and quiet: start the entry, or restart it if its interval had ended.
    if (tail.start_ns == 0 || tail.end_ns != 0) {
      tail.start_ns = now;
      tail.start_video_level = video;
      tail.start_audio_level = levels.audio_level;
      tail.end_ns = 0;
    }
  }
  return did_close;
}

// After the last record: returns true with the last interval in *closed if it started,
// ended at last_ns, the last record in order, if it was still open.
inline bool finish_detection(interval_detector* d, std::int64_t last_ns, quiet_interval* closed) {
  if (d->tail.start_ns == 0) return false;
  if (d->tail.end_ns == 0) d->tail.end_ns = last_ns;
  *closed = d->tail;
  return true;
}

namespace detail {

// The detection as a reader of the level walk, with its state in itself.
template <split_mode Mode, typename OnInterval, typename OnRecord>
struct detection_reader {
  interval_detector detector;
  OnInterval* on_interval;
  OnRecord* on_record;

  bool operator()(const event_record& record, const level_step& step, const level_tracker& levels) {
    quiet_interval closed;
    const bool did_close = detect_step<Mode>(&detector, record, step, levels, &closed);
    (*on_record)(record, step, levels);
    return !did_close || (*on_interval)(closed);
  }
};

template <split_mode Mode, typename OnInterval, typename OnRecord>
pass_status detect_intervals_in(record_reader* reader, const audio_range& range,
                                OnInterval& on_interval, OnRecord& on_record) {
  level_walk<Mode, level_view::detection> walk(range);
  detection_reader<Mode, OnInterval, OnRecord> detection{{}, &on_interval, &on_record};
  const pass_status status = walk_records(reader, &walk, &detection);
  if (status != pass_status::ok) return status;
  quiet_interval closed;
  if (finish_detection(&detection.detector, walk.latest_ns(), &closed) && !on_interval(closed)) {
    return pass_status::write_error;
  }
  return pass_status::ok;
}

}  // namespace detail

// Watches nothing: the detection pass alone.
struct ignore_records {
  void operator()(const event_record&, const level_step&, const level_tracker&) const {}
};

// The whole pass over the file: on_interval(const quiet_interval&) for every interval, in
// order, as soon as it is finished. on_interval returns false to stop the pass (its
// output failed), which then returns `write_error`. on_record(record, step, levels) sees
// every record after the detector has judged it, as the detector saw it.
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
