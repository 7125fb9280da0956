// The cut list: "F<recording>\n", one "<A|D><time>\n" line per mark, then "E\n".
// The end line is printed only after a complete pass, so a consumer that sees it knows
// the list is whole.
#ifndef CUTSPOT_REPORT_CUT_LIST_H_
#define CUTSPOT_REPORT_CUT_LIST_H_

#include <string_view>

#include "analysis/marks.h"
#include "analysis/quiet_intervals.h"
#include "report/output_buffer.h"

namespace cutspot {

void print_file_line(std::string_view mpeg_name, output_buffer* out);

// Prints the mark lines and the end line, and releases the list.
void emit_marks(interval_list* intervals, const mark_settings& settings, output_buffer* out);

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_CUT_LIST_H_
