// What a run prints after the optional graph: the cut list, or one of the documents that
// replace it for other programs, each written by one renderer. The table of formats that
// the command line and the run sequence read is app/formats.h.
//
// A renderer is fed by the detection pass: begin(), then interval() for every
// quiet-dark interval in order with the mark it gives (if any), and with -breaks
// add_break() for every advertising break as soon as it is final, then end(). Marks are
// those of the cut list for the same run, by construction. A renderer keeps no more than
// a fixed amount of memory, whatever the number of marks and breaks.
#ifndef CUTSPOT_REPORT_DOCUMENT_H_
#define CUTSPOT_REPORT_DOCUMENT_H_

#include <memory>
#include <string_view>

#include "analysis/audio_range.h"
#include "analysis/breaks.h"
#include "analysis/marks.h"
#include "analysis/quiet_intervals.h"
#include "eventfile/pass_status.h"
#include "eventfile/record_reader.h"
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

  // Its own pass over the records before the marks; only for a format whose row says
  // it needs one.
  virtual pass_status level_pass(record_reader* /*reader*/) { return pass_status::ok; }

  virtual void begin() = 0;
  // An interval of the detection pass, and the mark it gives, or null when it gives none.
  virtual void interval(const quiet_interval& /*interval*/, const cut_mark* /*mark*/) {}
  // An advertising break, with -breaks only.
  virtual void add_break(const ad_break& /*found*/) {}
  virtual void end() = 0;
};

using renderer_factory = std::unique_ptr<document_renderer> (*)(const report_context& context,
                                                                output_buffer* out);

// The renderers, one per format; the command line's table of formats lives with it.
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
