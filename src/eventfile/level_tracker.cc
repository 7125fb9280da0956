#include "eventfile/level_tracker.h"

#include "eventfile/time_diff.h"

namespace cutspot {

void track_levels(level_tracker* tracker, const event_record& record, std::uint32_t audio_scale) {
  switch (record.type) {
    case RECORD_AUDIO:
      if (diff_exceeds(record.timestamp_ns, tracker->last_video_ns, VIDEO_STALE_NS)) {
        tracker->video_level = VIDEO_LEVEL_NONE;
      }
      tracker->audio_level = audio_scale * record.value;  // Wraps, as 32-bit levels do.
      tracker->last_audio_ns = record.timestamp_ns;
      break;
    case RECORD_VIDEO: {
      if (diff_exceeds(record.timestamp_ns, tracker->last_audio_ns, AUDIO_STALE_NS)) {
        tracker->audio_level = AUDIO_FULL_SCALE;
      }
      // The mean of the samples present; a sample of 0 is missing, and a picture with
      // no samples at all is dark.
      std::uint32_t sum = 0;
      std::uint32_t count = 0;
      for (unsigned char sample : record.samples) {
        if (sample != 0) {
          sum += sample;
          ++count;
        }
      }
      tracker->video_level = count > 0 ? sum / count : 0;
      tracker->last_video_ns = record.timestamp_ns;
      break;
    }
    default:
      break;
  }
}

}  // namespace cutspot
