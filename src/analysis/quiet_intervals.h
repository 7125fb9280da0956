// Quiet-dark intervals: spans that begin at a record where the picture is dark and the
// audio quiet, and end where the picture turns bright, or stays dark while the audio is
// loud. They are collected in time order, split into separate entries at gaps in the
// record stream (gap mode) or when loud audio returns more than a second after an
// interval began (level mode). Each started interval later becomes one candidate mark.
#ifndef CUTSPOT_ANALYSIS_QUIET_INTERVALS_H_
#define CUTSPOT_ANALYSIS_QUIET_INTERVALS_H_

#include <cstdint>
#include <deque>

#include "analysis/audio_range.h"
#include "eventfile/event_record.h"
#include "eventfile/level_tracker.h"
#include "eventfile/record_reader.h"

namespace cutspot {

inline constexpr std::int64_t GAP_NS = 1000000000;
inline constexpr std::uint32_t DARK_MAX = 31;
inline constexpr std::uint32_t BRIGHT_ABOVE = 200;

struct quiet_interval {
  std::int64_t start_ns = 0;  // 0: not started, the node is empty.
  std::int64_t end_ns = 0;    // 0: still open.
  std::uint32_t start_video_level = 0;
  std::uint32_t start_audio_level = 0;
  std::uint32_t short_gap = 0;
};

// Nodes are only ever appended; a deque grows without moving them or doubling its size.
using interval_list = std::deque<quiet_interval>;

// The state of one detection pass, advanced one record at a time.
struct interval_detector {
  audio_range range;
  level_tracker tracker;
  std::int64_t prev_ns = 0;  // Time of the last record that was not earlier than its predecessor.
  interval_list intervals;   // In creation order.
  quiet_interval* tail = nullptr;  // intervals.back(): the node the current record works on.
  bool out_of_memory = false;
  std::uint64_t records = 0;        // Whole records judged.
  std::int64_t last_record_ns = 0;  // Time of the last of them, in file order.
};

// Starts a pass: one empty node, fresh levels. Returns false when memory ran out.
bool start_detection(interval_detector* detector, const audio_range& range);

// Judges one record. Returns false when memory ran out; the detector then holds no nodes.
bool detect_step(interval_detector* detector, const event_record& record);

// Ends the last interval if it is still open.
void finish_detection(interval_detector* detector);

// The whole pass over the file. Check reader->failed() and detector->out_of_memory after.
void detect_intervals(record_reader* reader, const audio_range& range, interval_detector* detector);

}  // namespace cutspot

#endif  // CUTSPOT_ANALYSIS_QUIET_INTERVALS_H_
