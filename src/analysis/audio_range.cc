#include "analysis/audio_range.h"

#include "analysis/level_tracker.h"

namespace cutspot {

void finish_audio_range(audio_range* range) {
  range->audio_scale = range->audio_max != 0 ? AUDIO_FULL_SCALE / range->audio_max : 0;
  // Loud files (above 5000) and files without audio are not scaled at all.
  if (range->audio_scale == 0) range->audio_scale = 1;
  // One tenth of the way from the quietest to the loudest value. Without audio the
  // unsigned arithmetic gives all bits set, so every level counts as quiet.
  range->silence_threshold =
      range->audio_scale * (range->audio_min + (range->audio_max - range->audio_min) / 10);
}

pass_status scan_audio_range(record_reader* reader, recording_scan* scan) {
  *scan = recording_scan{};
  const pass_status status = for_each_block(reader, [&](record_block block) {
    recording_scan noted = *scan;
    event_record record;
    while (read_event_record(&block, &record)) note_record(&noted, record);
    *scan = noted;
    return true;
  });
  scan->records = reader->records();
  if (scan->records == 0) scan->earliest_ns = scan->latest_ns = 0;
  finish_audio_range(&scan->range);
  return status;
}

}  // namespace cutspot
