// What a run prints after the optional graph: the cut list, or one of the documents that
// replace it for other programs. Every format is one row of the table below and one
// renderer; the command line and the run sequence read the table and nothing else.
//
// A renderer is fed by the detection pass: begin(), then interval() for every
// quiet-dark interval in order with the mark it gives (if any), then end(). Marks are
// those of the cut list for the same run, by construction. A renderer keeps no more than
// a fixed amount of memory, whatever the number of marks.
#ifndef CUTSPOT_REPORT_DOCUMENT_H_
#define CUTSPOT_REPORT_DOCUMENT_H_

#include <memory>
#include <span>
#include <string_view>

#include "analysis/audio_range.h"
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
};

class document_renderer {
 public:
  virtual ~document_renderer() = default;

  // Its own pass over the records before the marks; only for a format whose row says
  // it needs one.
  virtual pass_status level_pass(record_reader* /*reader*/) { return pass_status::ok; }

  virtual void begin() = 0;
  // An interval of the detection pass, and the mark it gives, or null when it gives none.
  virtual void interval(const quiet_interval& interval, const cut_mark* mark) = 0;
  virtual void end() = 0;
};

using renderer_factory = std::unique_ptr<document_renderer> (*)(const report_context& context,
                                                                output_buffer* out);

struct document_format {
  std::string_view option;  // "-json"; empty for the cut list, printed without an option.
  bool needs_level_pass;    // The renderer reads the records once before the marks.
  renderer_factory make;
  std::string_view summary;  // For the help text.
};

// The renderers, one per format.
std::unique_ptr<document_renderer> make_cut_list(const report_context& context, output_buffer* out);
std::unique_ptr<document_renderer> make_svg_picture(const report_context& context,
                                                    output_buffer* out);
std::unique_ptr<document_renderer> make_json_document(const report_context& context,
                                                      output_buffer* out);
std::unique_ptr<document_renderer> make_edl_document(const report_context& context,
                                                     output_buffer* out);
std::unique_ptr<document_renderer> make_chapters_document(const report_context& context,
                                                          output_buffer* out);

// The cut list first, then the documents in the order the help lists them.
inline constexpr document_format DOCUMENT_FORMATS[] = {
    {"", false, make_cut_list, "the cut list"},
    {"-svg", true, make_svg_picture, "an SVG picture of the levels and the marks"},
    {"-json", false, make_json_document, "the marks and the run's figures as JSON"},
    {"-edl", false, make_edl_document, "an edit decision list of scene markers (Kodi)"},
    {"-chapters", false, make_chapters_document, "chapters in ffmpeg's metadata format"},
};

inline const document_format& cut_list_format() {
  return DOCUMENT_FORMATS[0];
}

// The documents that an option asks for, without the cut list.
inline std::span<const document_format> document_options() {
  return std::span(DOCUMENT_FORMATS).subspan(1);
}

// The format an option names, or null.
inline const document_format* find_document_format(std::string_view option) {
  for (const document_format& format : document_options()) {
    if (format.option == option) return &format;
  }
  return nullptr;
}

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_DOCUMENT_H_
