// The "-graph" view: one line per record with its time, its kind (A for audio, V for
// everything else) and the current video and audio levels as bars, for judging the data
// by eye. Separator lines mark pauses in the stream (gap mode) or the start and end of
// quiet spans (level mode). It has no influence on the cut list. The renderer is
// make_level_graph (report/document.h), fed by the level pass.
#ifndef CUTSPOT_REPORT_LEVEL_GRAPH_H_
#define CUTSPOT_REPORT_LEVEL_GRAPH_H_

#include <string_view>

namespace cutspot {

inline constexpr std::string_view GRAPH_HEADER = "Timestamp : T Video Lvl | Audio Lvl\n";
inline constexpr std::string_view GRAPH_SEPARATOR = "----------:\n";

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_LEVEL_GRAPH_H_
