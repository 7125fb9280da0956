// The "-svg" document: the whole recording as one self-contained SVG picture, 1600 × 500.
//
// From top to bottom: the event file's name, the mode, scale, threshold and number of
// records, and a legend; the video level (0-255) and the scaled audio level (0-10000) in
// two panels over a shared time axis, each drawn as the lowest-to-highest range of one
// pixel column, with the silence threshold across the audio panel; the quiet-dark
// intervals shaded behind them and the pauses of the stream (over a second without
// records) as grey bands; every mark of the cut list as a vertical line, blue and dashed
// for A, red for D, with its letter and time underneath where there is room. The time
// axis has 2 to 13 labelled ticks at a round step of seconds, minutes, hours or days.
//
// Each mark is a group that programs can read back:
//   <g class="mark D" data-kind="D" data-ns="101000000000"><title>D 001:41.000</title>…</g>
// Names go through append_xml_text, so the document is well-formed whatever their bytes.
#ifndef CUTSPOT_REPORT_SVG_PICTURE_H_
#define CUTSPOT_REPORT_SVG_PICTURE_H_

#include <cstdint>
#include <string_view>

#include "report/output_buffer.h"
#include "report/report_context.h"
#include "report/svg_envelope.h"

namespace cutspot {

// Prints the document. Chooses the marks, which rewrites the interval nodes: one
// document per run.
void print_svg(const report_context& context, const level_envelope& levels, output_buffer* out);

// Appends bytes as XML character data that is safe in text and in quoted attributes:
// & < > " ' escaped, well-formed UTF-8 kept, and every ill-formed part, control character
// (C0, DEL, C1) and U+FFFE or U+FFFF written as U+FFFD.
void append_xml_text(std::string_view bytes, output_buffer* out);

// The time between labelled ticks for an axis span_ns long: the shortest round step
// that needs no more than 12 steps to cross it, at least a second.
std::uint64_t svg_tick_step(std::uint64_t span_ns);

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_SVG_PICTURE_H_
