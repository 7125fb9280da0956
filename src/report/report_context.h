// Everything a document about one run needs: the names, the settings, the audio range
// and the finished interval pass. Renderers choose the marks from the intervals with
// mark_chooser, exactly as the cut list does, so every document has the same marks.
#ifndef CUTSPOT_REPORT_REPORT_CONTEXT_H_
#define CUTSPOT_REPORT_REPORT_CONTEXT_H_

#include <string_view>

#include "analysis/audio_range.h"
#include "analysis/marks.h"
#include "analysis/quiet_intervals.h"

namespace cutspot {

struct report_context {
  std::string_view event_file_name;  // As given on the command line.
  std::string_view mpeg_name;        // The recording it belongs to.
  mark_settings marks;
  audio_range range;
  interval_detector* detection;  // intervals, records, last_record_ns.
};

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_REPORT_CONTEXT_H_
