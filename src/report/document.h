// What a run prints after the optional graph: the cut list, or one of the documents that
// replace it for other programs, each written by one renderer. The table of formats that
// the command line and the run sequence read is app/formats.h.
//
// A renderer gets begin(), then what its row in the table of formats says it consumes,
// then end(): levels() for the records of the level pass, a run at a time, which comes first, and
// from the detection pass interval() for every quiet-dark interval in order, mark() for every mark
// as soon as its interval is finished, and with -breaks add_break() for every advertising break as
// soon as it is final. Marks are those of the cut list for the same run, by construction. A
// renderer keeps no more than a fixed amount of memory, whatever the number of records, marks and
// breaks; none reads the event file itself.
#ifndef CUTSPOT_REPORT_DOCUMENT_H_
#define CUTSPOT_REPORT_DOCUMENT_H_

#include <memory>
#include <span>
#include <string_view>

#include "analysis/audio_range.h"
#include "analysis/breaks.h"
#include "analysis/level_walk.h"
#include "analysis/marks.h"
#include "analysis/quiet_intervals.h"
#include "report/output_buffer.h"

namespace cutspot {

// Everything a document about one run may use, fixed before it begins.
struct report_context {
  std::string_view event_file_name;  // As given on the command line.
  std::string_view mpeg_name;        // The recording it belongs to.
  mark_settings marks;
  const recording_scan& scan;  // The first pass: audio range, record count, time span.
  break_settings breaks;
  loudness_levels loudness;  // With -breaks: what spots were judged by.
  // The recording that a cutting script names, by its file name alone (-ffconcat).
  std::string_view recording_name = {};
  bool with_breaks = false;  // The document is about breaks (-breaks).
};

class document_renderer {
 public:
  virtual ~document_renderer() = default;

  virtual void begin() = 0;
  // The next records of the level pass, with the levels that the views show.
  virtual void levels(std::span<const level_sample> /*samples*/) {}
  // An interval of the detection pass.
  virtual void interval(const quiet_interval& /*interval*/) {}
  // The mark an interval gives, right after the interval.
  virtual void mark(const cut_mark& /*mark*/) {}
  // An advertising break, with -breaks only.
  virtual void add_break(const ad_break& /*found*/) {}
  virtual void end() = 0;
};

using renderer_factory = std::unique_ptr<document_renderer> (*)(const report_context& context,
                                                                output_buffer* out);

// The renderers, one per format; the command line's table of formats lives with it.
// The "-graph" view, printed before the list.
std::unique_ptr<document_renderer> make_level_graph(const report_context& context,
                                                    output_buffer* out);
std::unique_ptr<document_renderer> make_cut_list(const report_context& context, output_buffer* out);
std::unique_ptr<document_renderer> make_svg_picture(const report_context& context,
                                                    output_buffer* out);
std::unique_ptr<document_renderer> make_json_document(const report_context& context,
                                                      output_buffer* out);
std::unique_ptr<document_renderer> make_edl_document(const report_context& context,
                                                     output_buffer* out);
std::unique_ptr<document_renderer> make_chapters_document(const report_context& context,
                                                          output_buffer* out);
// The same documents about advertising breaks, and the cutting script.
std::unique_ptr<document_renderer> make_break_list(const report_context& context,
                                                   output_buffer* out);
std::unique_ptr<document_renderer> make_break_json(const report_context& context,
                                                   output_buffer* out);
std::unique_ptr<document_renderer> make_break_edl(const report_context& context,
                                                  output_buffer* out);
std::unique_ptr<document_renderer> make_break_chapters(const report_context& context,
                                                       output_buffer* out);
std::unique_ptr<document_renderer> make_ffconcat_document(const report_context& context,
                                                          output_buffer* out);

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_DOCUMENT_H_
