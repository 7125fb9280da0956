#include "probe/record_pipeline.h"

#include <algorithm>

#include "probe/audio_scale.h"

namespace cutspot::probe {
namespace {

void queue_windows(record_pipeline& p) {
  for (const audio_window& w : p.window_out) {
    event_record r;
    r.timestamp_ns = w.start_ns;
    r.type = RECORD_AUDIO;
    r.value = audio_value(w.mean_square);
    queue_push(p.queue, r, 0);
    ++p.window_count;
  }
  p.window_out.clear();
}

}  // namespace

void start_pipeline(record_pipeline& p, std::int64_t origin_ns) {
  if (p.started) return;
  p.clock = make_clock(origin_ns);
  p.started = true;
}

void add_picture(record_pipeline& p, const luma_plane& plane, std::int64_t raw_ns,
                 std::int64_t duration_ns) {
  std::int64_t t = clock_map(p.clock, p.video_clock, raw_ns, duration_ns);
  event_record r;
  r.timestamp_ns = t;
  r.type = RECORD_VIDEO;
  auto samples = without_lift(p.black, region_levels(plane));
  std::copy(samples.begin(), samples.end(), r.samples);
  queue_push(p.queue, r, t + duration_ns);
  add_picture(p.pictures, t, duration_ns);
  ++p.picture_count;
}

void add_sound(record_pipeline& p, audio_block block, std::int64_t duration_ns) {
  if (block.time_ns != NO_TIME) {
    block.time_ns = clock_map(p.clock, p.audio_clock, block.time_ns, duration_ns);
  }
  add_audio(p.windows, block, p.window_out);
  queue_windows(p);
}

void end_sound(record_pipeline& p) {
  flush_audio(p.windows, p.window_out);
  queue_windows(p);
}

bool drain_records(record_pipeline& p, bool at_end, std::string* reason) {
  queued_record q;
  p.out.clear();
  while (at_end ? queue_pop(p.queue, &q) : queue_pop_ready(p.queue, &q)) {
    sequence_record(p.order, q, p.out);
  }
  if (at_end) finish_sequence(p.order, p.out);
  return p.out.empty() || add_events(*p.writer, p.out, reason);
}

std::string missing_media(const record_pipeline& p, bool sound_wanted) {
  if (p.picture_count == 0) return "no picture in the recording could be decoded";
  if (sound_wanted && p.window_count == 0) {
    return "the audio track held no sound that could be decoded "
           "(--no-audio-ok writes the event file anyway)";
  }
  return "";
}

}  // namespace cutspot::probe
