#include "report/level_graph.h"

#include <cstring>

#include "analysis/quiet_intervals.h"
#include "eventfile/time_diff.h"
#include "report/text_builders.h"

namespace cutspot {
namespace {

// "TIME: K VVVVVVVVV | AAAA…A\n", assembled in place.
void print_record_line(std::int64_t ns, char kind, const level_tracker& levels,
                       output_buffer* out) {
  char* line = out->reserve(TIME_TEXT_MAX + 8 + VIDEO_BAR_WIDTH + AUDIO_BAR_WIDTH);
  char* p = line + write_time(line, ns);
  *p++ = ':';
  *p++ = ' ';
  *p++ = kind;
  *p++ = ' ';
  std::memcpy(p, video_bar(levels.video_level).data(), VIDEO_BAR_WIDTH);
  p += VIDEO_BAR_WIDTH;
  std::memcpy(p, " | ", 3);
  p += 3;
  std::memcpy(p, audio_bar(levels.audio_level).data(), AUDIO_BAR_WIDTH);
  p += AUDIO_BAR_WIDTH;
  *p++ = '\n';
  out->commit(static_cast<std::size_t>(p - line));
}

}  // namespace

void graph_step(graph_state* s, const event_record& record, output_buffer* out) {
  const std::int64_t now = record.timestamp_ns;
  if (is_gap_mode(s->range)) {
    // A pause of over a second in the stream.
    if (diff_exceeds(now, s->prev_ns, GAP_NS)) {
      out->append(GRAPH_SEPARATOR);
      reset_levels(&s->tracker);
    }
    track_levels(&s->tracker, record, s->range.audio_scale);
  } else {
    track_levels(&s->tracker, record, s->range.audio_scale);
    // Quiet audio opens a span; loud audio closes it, once it has lasted a second.
    const bool quiet = s->tracker.audio_level < s->range.silence_threshold;
    if (s->open_interval == 0 && quiet) {
      out->append(GRAPH_SEPARATOR);
      s->open_interval = now;
    } else if (s->open_interval != 0 && !quiet && diff_exceeds(now, s->open_interval, GAP_NS)) {
      out->append(GRAPH_SEPARATOR);
      s->open_interval = 0;
    }
  }
  s->prev_ns = now;
  print_record_line(now, record.type == RECORD_AUDIO ? 'A' : 'V', s->tracker, out);
}

pass_status print_level_graph(record_reader* reader, const audio_range& range,
                              output_buffer* out) {
  graph_state state;
  state.range = range;
  out->append(GRAPH_HEADER);
  // Stops as soon as standard output fails: formatting lines for nobody is wasted work.
  return for_each_record(reader, [&](const event_record& record) {
    graph_step(&state, record, out);
    return !out->failed();
  });
}

}  // namespace cutspot
