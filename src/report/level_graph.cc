#include "report/level_graph.h"

#include <cstring>

#include "analysis/quiet_intervals.h"
#include "eventfile/time_diff.h"
#include "report/text_builders.h"

namespace cutspot {
namespace {

// "TIME: K VVVVVVVVV | AAAA…A\n", assembled in place from the stamp and the bars.
inline void print_record_line(time_stamper* stamps, std::int64_t ns, char kind,
                              const level_tracker& levels, output_buffer* out) {
  char* line = out->reserve(TIME_TEXT_MAX + 8 + VIDEO_BAR_WIDTH + AUDIO_BAR_WIDTH);
  char* p = line + stamps->write(line, ns);
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

inline void print_step(graph_state* s, const event_record& record, output_buffer* out) {
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
  print_record_line(&s->stamps, now, record.type == RECORD_AUDIO ? 'A' : 'V', s->tracker, out);
}

}  // namespace

void graph_step(graph_state* s, const event_record& record, output_buffer* out) {
  print_step(s, record, out);
}

pass_status print_level_graph(record_reader* reader, const audio_range& range, output_buffer* out) {
  graph_state state;
  state.range = range;
  out->append(GRAPH_HEADER);
  // The header alone may meet the failure, and a file without records has no step to see it.
  if (out->failed()) return pass_status::write_error;
  return for_each_block(reader, [&](record_block block) {
    // The state and the buffer's address in locals for the block: the lines written
    // cannot alias them, so they can stay in registers.
    graph_state s = state;
    output_buffer* const lines = out;
    event_record record;
    bool ok = true;
    while (ok && read_event_record(&block, &record)) {
      print_step(&s, record, lines);
      // Stops as soon as standard output fails: formatting lines for nobody is wasted work.
      ok = !lines->failed();
    }
    state = s;
    return ok;
  });
}

}  // namespace cutspot
