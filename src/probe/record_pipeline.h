// From decoded pictures and sound to the event file's records, without the decoder:
// every time put on the one recording clock, each picture measured, the sound cut into
// windows, and the records held back until none can overtake them, then written in
// time order. The decode loop feeds it; the tests feed it tables.
#ifndef CUTSPOT_PROBE_RECORD_PIPELINE_H_
#define CUTSPOT_PROBE_RECORD_PIPELINE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "common/event_record.h"
#include "probe/audio_windows.h"
#include "probe/coverage.h"
#include "probe/event_writer.h"
#include "probe/region_means.h"
#include "probe/reorder_queue.h"
#include "probe/sequencer.h"
#include "probe/timeline.h"

namespace cutspot::probe {

struct record_pipeline {
  event_writer* writer = nullptr;
  bool started = false;  // The clock has its origin.
  shared_clock clock;
  stream_clock video_clock;
  stream_clock audio_clock;
  window_accumulator windows;
  black_level black;
  reorder_queue queue;
  sequencer order;
  coverage pictures;
  long picture_count = 0;
  long window_count = 0;
  std::vector<audio_window> window_out;  // Scratch space, kept for its capacity.
  std::vector<event_record> out;
};

// Recording time 0 is at origin_ns on the container's clock; only the first call counts.
void start_pipeline(record_pipeline& p, std::int64_t origin_ns);

// A picture shown from raw_ns (container time) for duration_ns.
void add_picture(record_pipeline& p, const luma_plane& plane, std::int64_t raw_ns,
                 std::int64_t duration_ns);

// A block of sound; its time_ns, unless NO_TIME, is raw container time, lasting
// duration_ns.
void add_sound(record_pipeline& p, audio_block block, std::int64_t duration_ns);

// The sound's last, partial window, once the recording has ended.
void end_sound(record_pipeline& p);

// Writes the records that nothing can overtake any more; with at_end, everything left.
bool drain_records(record_pipeline& p, bool at_end, std::string* reason);

// Why what came through is no recording, or "": no picture, or no sound although an
// audio track was chosen for it.
std::string missing_media(const record_pipeline& p, bool sound_wanted);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_RECORD_PIPELINE_H_
