// The "-graph" view: one line per record with its time, its kind (A for audio, V for
// everything else) and the current video and audio levels as bars, for judging the data
// by eye. Separator lines mark gaps in the stream (gap mode) or the start and end of
// quiet spans (level mode). It has no influence on the cut list.
#ifndef CUTSPOT_REPORT_LEVEL_GRAPH_H_
#define CUTSPOT_REPORT_LEVEL_GRAPH_H_

#include <cstdint>
#include <string_view>

#include "analysis/audio_range.h"
#include "eventfile/level_tracker.h"
#include "eventfile/pass_status.h"
#include "eventfile/record_reader.h"
#include "report/output_buffer.h"
#include "report/text_builders.h"

namespace cutspot {

inline constexpr std::string_view GRAPH_HEADER = "Timestamp : T Video Lvl | Audio Lvl\n";
inline constexpr std::string_view GRAPH_SEPARATOR = "----------:\n";

struct graph_state {
  audio_range range;
  level_tracker tracker;
  std::int64_t prev_ns = 0;        // Time of the previous record, in file order.
  std::int64_t open_interval = 0;  // Where the current quiet span began; 0 = none.
  time_stamper stamps;             // The time stamps of the lines.
};

// Prints the separators and the line that one record gives.
void graph_step(graph_state* state, const event_record& record, output_buffer* out);

// The whole pass: the header, then every record of the file.
pass_status print_level_graph(record_reader* reader, const audio_range& range, output_buffer* out);

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_LEVEL_GRAPH_H_
