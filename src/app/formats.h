// The formats a run can print, one row each: the option that asks for it, what its
// renderer consumes, and a line for the help text. The command line and the run sequence
// read this table and nothing else; the run builds its passes from what a row consumes.
//
// Without -breaks a run speaks of marks: the cut list, or a document of its marks. With
// -breaks the same options speak of advertising breaks instead, and -ffconcat (which
// implies -breaks) writes a cutting script of the programme parts.
#ifndef CUTSPOT_APP_FORMATS_H_
#define CUTSPOT_APP_FORMATS_H_

#include <span>
#include <string_view>

#include "report/document.h"

namespace cutspot {

// What a renderer is fed, besides begin() and end().
enum consumes : unsigned {
  CONSUMES_LEVELS = 1,     // levels() with every record, in a pass before the detection.
  CONSUMES_INTERVALS = 2,  // interval() with every quiet-dark interval.
  CONSUMES_MARKS = 4,      // mark() with every mark.
  CONSUMES_BREAKS = 8,     // add_break() with every advertising break.
};

struct output_format {
  std::string_view option;  // "-json"; empty for the list printed without an option.
  unsigned consumes;
  renderer_factory make;
  std::string_view summary;  // For the help text.
};

// With -graph, before the list: the levels, record by record.
inline constexpr output_format GRAPH_FORMAT = {
    "-graph", CONSUMES_LEVELS, make_level_graph,
    "print a text graph of the levels first (also right after the name)"};

// Marks: the cut list first, then the documents in the order the help lists them.
inline constexpr output_format MARK_FORMATS[] = {
    {"", CONSUMES_MARKS, make_cut_list, "the cut list"},
    {"-svg", CONSUMES_LEVELS | CONSUMES_INTERVALS | CONSUMES_MARKS, make_svg_picture,
     "an SVG picture of the levels and the marks"},
    {"-json", CONSUMES_MARKS, make_json_document, "the marks and the run's figures as JSON"},
    {"-edl", CONSUMES_MARKS, make_edl_document, "an edit decision list of scene markers (Kodi)"},
    {"-chapters", CONSUMES_MARKS, make_chapters_document, "chapters in ffmpeg's metadata format"},
};

// Breaks, in the same order; -ffconcat exists only here.
inline constexpr output_format BREAK_FORMATS[] = {
    {"", CONSUMES_BREAKS, make_break_list, "the list of advertising breaks"},
    {"-svg", CONSUMES_LEVELS | CONSUMES_INTERVALS | CONSUMES_MARKS | CONSUMES_BREAKS,
     make_svg_picture, "the picture with the breaks as bands"},
    {"-json", CONSUMES_BREAKS, make_break_json,
     "the breaks, their evidence and the programme parts"},
    {"-edl", CONSUMES_BREAKS, make_break_edl, "an edit decision list of commercial breaks (Kodi)"},
    {"-chapters", CONSUMES_BREAKS, make_break_chapters,
     "chapters Programme 1, Advertising 1, ... (ffmpeg metadata)"},
    {"-ffconcat", CONSUMES_BREAKS, make_ffconcat_document,
     "ffmpeg's concat script of the programme parts, for cutting"},
};

// The format for an option ("" for the list) with or without -breaks, or null.
const output_format* find_format(std::string_view option, bool breaks);

// Whether any row of either table is asked for by this option.
bool is_format_option(std::string_view option);

// The documents an option asks for, without the lists, for the help text.
std::span<const output_format> mark_documents();
std::span<const output_format> break_documents();

}  // namespace cutspot

#endif  // CUTSPOT_APP_FORMATS_H_
