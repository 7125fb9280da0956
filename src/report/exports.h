// Documents printed instead of the cut list, for other programs. Each takes its marks from
// the finished interval pass with mark_chooser, in the one walk the cut list makes, so the
// marks, their letters and intervals are always those of the cut list for the same run.
// mark_chooser rewrites the nodes it passes, so one run prints one document.
//
// JSON, one line, for scripts:
//   {"file": "show.mpg", "event_file": "show.evt", "mode": "level", "audio_scale": 2,
//    "silence_threshold": 1180, "period_seconds": 300, "ignore_seconds": 0,
//    "records": 12, "marks": [{"kind": "D", "ns": 101000000000, "time": "001:41.000",
//    "start_ns": 100000000000, "end_ns": 102000000000}]}
// with ", " between members and marks, and a final newline; "mode" is "gap" when
// audio_scale is 1 and "level" otherwise. Names go through append_json_string.
//
// Edit decision list, one scene marker (action 2) per mark, start and end both the mark
// in seconds with three decimals, truncated to the millisecond as the cut list's times:
//   101.000<TAB>101.000<TAB>2
//
// Chapters in FFmpeg's metadata format: ";FFMETADATA1", then for each chapter
//   [CHAPTER] / TIMEBASE=1/1000 / START=<ms> / END=<ms> / title=<title>
// on lines of their own. The first chapter, "Start", runs from 0 to the first mark; each
// mark begins a chapter titled with its letter and time ("D 001:41.000") that ends at the
// next one; the last ends at the last record read, or at its own start if that record is
// earlier. Chapters are whole milliseconds, and an empty one helps no player, so a chapter
// begins only at the first mark of each millisecond: a mark at 0 ms takes the place of
// "Start", and a later mark in the same millisecond as the one before it adds nothing.
// Without marks the document is the header line alone. Titles hold only letters, digits,
// ' ', ':' and '.', none of which the format needs escaped.
#ifndef CUTSPOT_REPORT_EXPORTS_H_
#define CUTSPOT_REPORT_EXPORTS_H_

#include "report/output_buffer.h"
#include "report/report_context.h"

namespace cutspot {

void print_json(const report_context& context, output_buffer* out);
void print_edl(const report_context& context, output_buffer* out);
void print_chapters(const report_context& context, output_buffer* out);

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_EXPORTS_H_
