// The first pass: the range of raw audio values in the file, the whole-number scale that
// brings the loudest close to 10000, and the silence threshold. The scale also picks how
// the later passes split quiet spans: gap mode at scale 1, level mode above it. The same
// pass notes what every later consumer needs of the whole file: how many records it has
// and the span of their times.
#ifndef CUTSPOT_ANALYSIS_AUDIO_RANGE_H_
#define CUTSPOT_ANALYSIS_AUDIO_RANGE_H_

#include <algorithm>
#include <cstdint>
#include <limits>

#include "common/event_record.h"
#include "eventfile/pass_status.h"
#include "eventfile/record_reader.h"

namespace cutspot {

struct audio_range {
  std::uint32_t audio_max = 0;
  std::uint32_t audio_min = 0xFFFFFFFF;
  std::uint32_t audio_scale = 0;
  // Scaled audio levels below this are quiet.
  std::uint32_t silence_threshold = 0;
};

// What the first pass learns of the whole file.
struct recording_scan {
  audio_range range;
  std::uint64_t records = 0;  // Whole records.
  std::uint64_t unknown = 0;  // Records neither audio nor video.
  // The earliest and latest time of any record, and the time of the last one in file
  // order; all 0 without records.
  std::int64_t earliest_ns = std::numeric_limits<std::int64_t>::max();
  std::int64_t latest_ns = std::numeric_limits<std::int64_t>::min();
  std::int64_t last_ns = 0;
};

// Notes one record. Written without data-dependent branches: it runs once per record at
// the speed of memory, and audio and video records come in no fixed order.
inline void note_record(recording_scan* scan, const event_record& record) {
  const std::uint32_t audio = record.type == RECORD_AUDIO;  // 1 or 0.
  // Any other record's value turns into 0 for the largest and all bits set for the
  // smallest, which change neither: arithmetic, where a choice between the value and
  // the neutral one compiles to a branch.
  audio_range& range = scan->range;
  range.audio_max = std::max(range.audio_max, record.value * audio);
  range.audio_min = std::min(range.audio_min, record.value | (audio - 1));
  scan->unknown += !audio && record.type != RECORD_VIDEO;
  scan->earliest_ns = std::min(scan->earliest_ns, record.timestamp_ns);
  scan->latest_ns = std::max(scan->latest_ns, record.timestamp_ns);
  scan->last_ns = record.timestamp_ns;
}

// Derives the scale and the threshold once every record has been noted.
void finish_audio_range(audio_range* range);

// The whole pass over the file.
pass_status scan_audio_range(record_reader* reader, recording_scan* scan);

inline bool is_gap_mode(const audio_range& range) {
  return range.audio_scale == 1;
}

}  // namespace cutspot

#endif  // CUTSPOT_ANALYSIS_AUDIO_RANGE_H_
