// The walk over a file's records that everything judging levels record by record shares:
// the detection of quiet-dark intervals (and the breaks fed by it), the "-graph" view and
// the "-svg" picture. It applies the level tracker and the rules of the stream in one
// place, and hands each record on with its levels and what the record meant:
//
//   - A pause: the record came more than GAP_NS after the previous one in file order
//     (after time 0, for the first record).
//   - A restart of the detection: the first record, any record while no record in time
//     order has passed time 0, and in gap mode a record more than GAP_NS after the latest
//     record in time order.
//   - In order: the record is not earlier than the latest record in time order; only such
//     records may start or end an interval.
//   - The edge of a quiet span (level mode): quiet audio begins a span, and loud audio
//     more than GAP_NS after its start ends it.
//
// The detection and the views read the levels at different moments: the detection's
// return to neutral at every restart, the views' at every pause, and only in gap mode.
// A walk is made for one of the two (level_view): the detection reads it record by
// record (walk_records), the views a run of records at a time (view_levels).
#ifndef CUTSPOT_ANALYSIS_LEVEL_WALK_H_
#define CUTSPOT_ANALYSIS_LEVEL_WALK_H_

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "analysis/audio_range.h"
#include "analysis/level_tracker.h"
#include "common/event_record.h"
#include "common/time_units.h"
#include "eventfile/pass_status.h"
#include "eventfile/record_reader.h"
#include "eventfile/time_diff.h"

namespace cutspot {

// Records further apart than this are separate stretches of the stream.
inline constexpr std::int64_t GAP_NS = NS_PER_SECOND;

// How a file's stream is split: at pauses (gap mode) or by loud audio returning (level
// mode). It is fixed for the whole file by its audio range.
enum class split_mode { gaps, levels };

// Whose levels a walk keeps: the detection's or those the graph and the picture show.
enum class level_view { detection, display };

// What one record meant, with the times as they stood before it.
struct level_step {
  bool pause = false;
  bool restart = false;
  bool in_order = false;
  bool quiet = false;          // The audio level is below the silence threshold.
  bool span_edge = false;      // Level mode: a quiet span begins or ends here.
  bool first = false;          // The first record of the file.
  std::int64_t prev_ns = 0;    // The previous record's time in file order; 0 before the first.
  std::int64_t latest_ns = 0;  // The latest time in order so far, never below 0.
};

template <split_mode Mode, level_view View>
class level_walk {
 public:
  explicit level_walk(const audio_range& range) : range_(range) {}

  // Takes one record: its levels become levels().
  level_step step(const event_record& record) {
    constexpr bool gap_mode = Mode == split_mode::gaps;
    const std::int64_t now = record.timestamp_ns;
    level_step s;
    if constexpr (View == level_view::detection) {
      s.latest_ns = latest_ns_;
      s.restart = latest_ns_ == 0 || (gap_mode && diff_exceeds(now, latest_ns_, GAP_NS));
      s.in_order = now >= latest_ns_;
      if (s.restart) reset_levels(&levels_);
      latest_ns_ = std::max(latest_ns_, now);
    } else {
      s.first = first_;
      s.prev_ns = prev_ns_;
      s.pause = diff_exceeds(now, prev_ns_, GAP_NS);
      if (gap_mode && s.pause) reset_levels(&levels_);
      first_ = false;
      prev_ns_ = now;
    }
    track_levels(&levels_, record, range_.audio_scale);
    s.quiet = levels_.audio_level < range_.silence_threshold;
    if constexpr (View == level_view::display && !gap_mode) {
      if (span_start_ns_ == 0 && s.quiet) {
        s.span_edge = true;
        span_start_ns_ = now;
      } else if (span_start_ns_ != 0 && !s.quiet && diff_exceeds(now, span_start_ns_, GAP_NS)) {
        s.span_edge = true;
        span_start_ns_ = 0;
      }
    }
    return s;
  }

  const level_tracker& levels() const { return levels_; }
  // The detection's: the latest time in order so far, never below 0.
  std::int64_t latest_ns() const { return latest_ns_; }

 private:
  audio_range range_;
  level_tracker levels_;
  std::int64_t latest_ns_ = 0;
  bool first_ = true;
  std::int64_t prev_ns_ = 0;
  std::int64_t span_start_ns_ = 0;  // 0: no quiet span is open.
};

// The records of the file through *walk, which goes on from where it stands:
// on_step(record, step, levels) for each. The walk and the reader, whose state lives in
// itself, not behind references, are worked on as local copies for each block, where
// nothing the block's bytes are read through can reach them.
template <typename Walk, typename OnStep>
pass_status walk_records(record_reader* reader, Walk* walk, OnStep* on_step) {
  return for_each_block(reader, [&](record_block block) {
    Walk w = *walk;
    OnStep to = *on_step;
    event_record record;
    bool more = true;
    while (more && read_event_record(&block, &record)) {
      const level_step step = w.step(record);
      more = to(record, step, w.levels());
    }
    *walk = w;
    *on_step = to;
    return more;
  });
}

// One record as a view is handed it: its time and kind, what it meant and the levels
// after it.
struct level_sample {
  std::int64_t ns;
  std::uint32_t type;
  std::uint32_t video_level;
  std::uint32_t audio_level;
  level_step step;
};

// Views take the records in runs of up to this many, so that neither the walk nor the
// view is interrupted by a call at every record.
inline constexpr std::size_t LEVEL_RUN = 256;

namespace detail {

// Collects the walk's records into runs for on_run(std::span<const level_sample>).
template <typename OnRun>
struct run_collector {
  bool operator()(const event_record& record, const level_step& step, const level_tracker& levels) {
    (*samples)[count++] = {record.timestamp_ns, record.type, levels.video_level, levels.audio_level,
                           step};
    return count < LEVEL_RUN || flush();
  }
  bool flush() {
    const std::size_t n = count;
    count = 0;
    return n == 0 || (*on_run)(std::span<const level_sample>(samples->data(), n));
  }

  std::array<level_sample, LEVEL_RUN>* samples;
  OnRun* on_run;
  std::size_t count = 0;
};

template <split_mode Mode, typename OnRun>
pass_status view_levels_in(record_reader* reader, const audio_range& range, OnRun& on_run) {
  level_walk<Mode, level_view::display> walk(range);
  std::array<level_sample, LEVEL_RUN> samples;
  run_collector<OnRun> collector{&samples, &on_run};
  const pass_status status = walk_records(reader, &walk, &collector);
  if (status != pass_status::ok) return status;
  return collector.flush() ? pass_status::ok : pass_status::write_error;
}

}  // namespace detail

// The walk for the views: on_run(std::span<const level_sample>) for every run of records,
// in file order. on_run returns false to stop the walk, which then returns `write_error`.
template <typename OnRun>
pass_status view_levels(record_reader* reader, const audio_range& range, OnRun&& on_run) {
  return is_gap_mode(range) ? detail::view_levels_in<split_mode::gaps>(reader, range, on_run)
                            : detail::view_levels_in<split_mode::levels>(reader, range, on_run);
}

}  // namespace cutspot

#endif  // CUTSPOT_ANALYSIS_LEVEL_WALK_H_
