#include "report/cut_list.h"

#include "report/text_builders.h"

namespace cutspot {

void print_file_line(std::string_view mpeg_name, output_buffer* out) {
  out->append('F');
  out->append(mpeg_name);
  out->append('\n');
}

void emit_marks(interval_list* intervals, const mark_settings& settings, output_buffer* out) {
  mark_chooser chooser(settings);
  for (quiet_interval& node : *intervals) {
    if (std::optional<cut_mark> mark = chooser.next(&node)) {
      char* line = out->reserve(TIME_TEXT_MAX + 2);
      line[0] = mark->kind;
      std::size_t length = 1 + write_time(line + 1, mark->ns);
      line[length++] = '\n';
      out->commit(length);
    }
  }
  out->append("E\n");
  intervals->clear();
}

}  // namespace cutspot
