// The current picture brightness and audio loudness as of the latest record. Audio and
// video records arrive interleaved, each carrying only its own measurement; the tracker
// lets every record be judged on both, and replaces a value by its neutral setting when
// its kind of record has not been seen for a while.
#ifndef CUTSPOT_ANALYSIS_LEVEL_TRACKER_H_
#define CUTSPOT_ANALYSIS_LEVEL_TRACKER_H_

#include <cstdint>

#include "common/event_record.h"
#include "common/time_units.h"
#include "eventfile/time_diff.h"

namespace cutspot {

// No fresh picture information; counts as bright.
inline constexpr std::uint32_t VIDEO_LEVEL_NONE = 256;
// The scaled level of the loudest audio, and the neutral level when audio is stale.
inline constexpr std::uint32_t AUDIO_FULL_SCALE = 10000;
// An audio record finds the picture stale after this long without video...
inline constexpr std::int64_t VIDEO_STALE_NS = 70 * NS_PER_MS;
// ...and a video record finds the audio stale after this long without audio.
inline constexpr std::int64_t AUDIO_STALE_NS = 50 * NS_PER_MS;

struct level_tracker {
  std::uint32_t video_level = VIDEO_LEVEL_NONE;
  std::uint32_t audio_level = AUDIO_FULL_SCALE;
  std::int64_t last_audio_ns = 0;
  std::int64_t last_video_ns = 0;
};

// The mean of the samples present: a sample of 0 is missing, and a picture with no
// samples at all is dark.
inline std::uint32_t mean_brightness(const unsigned char (&samples)[4]) {
  std::uint32_t sum = 0;  // Missing samples add nothing.
  std::uint32_t count = 0;
  for (unsigned char sample : samples) {
    sum += sample;
    count += sample != 0;
  }
  switch (count) {
    case 1:
      return sum;
    case 2:
      return sum / 2;
    case 3:
      return sum / 3;
    case 4:
      return sum / 4;
    default:
      return 0;
  }
}

// Applies one record. audio_scale is at least 1. Inline: it runs once per record in
// every pass that judges levels.
inline void track_levels(level_tracker* tracker, const event_record& record,
                         std::uint32_t audio_scale) {
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
      tracker->video_level = mean_brightness(record.samples);
      tracker->last_video_ns = record.timestamp_ns;
      break;
    }
    default:
      break;
  }
}

// Returns both levels to their neutral settings; the times are kept.
inline void reset_levels(level_tracker* tracker) {
  tracker->video_level = VIDEO_LEVEL_NONE;
  tracker->audio_level = AUDIO_FULL_SCALE;
}

}  // namespace cutspot

#endif  // CUTSPOT_ANALYSIS_LEVEL_TRACKER_H_
