// The first pass: the range of raw audio values in the file, the whole-number scale that
// brings the loudest close to 10000, and the silence threshold. The scale also picks how
// the later passes split quiet spans: gap mode at scale 1, level mode above it.
#ifndef CUTSPOT_ANALYSIS_AUDIO_RANGE_H_
#define CUTSPOT_ANALYSIS_AUDIO_RANGE_H_

#include <cstdint>

#include "eventfile/event_record.h"
#include "eventfile/record_reader.h"

namespace cutspot {

struct audio_range {
  std::uint32_t audio_max = 0;
  std::uint32_t audio_min = 0xFFFFFFFF;
  std::uint32_t audio_scale = 0;
  // Scaled audio levels below this are quiet.
  std::uint32_t silence_threshold = 0;
};

// Widens the range by one record; records other than audio leave it alone.
inline void note_audio_value(audio_range* range, const event_record& record) {
  if (record.type != RECORD_AUDIO) return;
  if (record.value > range->audio_max) range->audio_max = record.value;
  if (record.value < range->audio_min) range->audio_min = record.value;
}

// Derives the scale and the threshold once every record has been noted.
void finish_audio_range(audio_range* range);

// The whole pass over the file. Check reader->failed() afterwards.
audio_range scan_audio_range(record_reader* reader);

inline bool is_gap_mode(const audio_range& range) {
  return range.audio_scale == 1;
}

}  // namespace cutspot

#endif  // CUTSPOT_ANALYSIS_AUDIO_RANGE_H_
