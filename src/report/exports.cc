#include "report/exports.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

#include "report/json_text.h"
#include "report/text_builders.h"

namespace cutspot {
namespace {

constexpr std::int64_t NS_PER_MS = 1000000;

std::size_t write_signed(char* out, std::int64_t value) {
  if (value >= 0) return write_decimal(out, static_cast<std::uint64_t>(value));
  out[0] = '-';
  // Negated in unsigned arithmetic, where even the most negative value has its magnitude.
  return 1 + write_decimal(out + 1, 0 - static_cast<std::uint64_t>(value));
}

// Whole milliseconds, truncated toward zero like the cut list's times.
std::int64_t ms_of(std::int64_t ns) {
  return ns / NS_PER_MS;
}

// ms as seconds with exactly three decimals: 101000 gives "101.000".
std::size_t write_seconds(char* out, std::int64_t ms) {
  std::size_t n = 0;
  if (ms < 0) out[n++] = '-';
  const std::uint64_t magnitude =
      ms < 0 ? 0 - static_cast<std::uint64_t>(ms) : static_cast<std::uint64_t>(ms);
  n += write_decimal(out + n, magnitude / 1000);
  out[n++] = '.';
  n += write_decimal(out + n, magnitude % 1000, 3);
  return n;
}

void append_unsigned(std::uint64_t value, output_buffer* out) {
  out->commit(write_decimal(out->reserve(DECIMAL_MAX), value));
}

void append_signed(std::int64_t value, output_buffer* out) {
  out->commit(write_signed(out->reserve(DECIMAL_MAX), value));
}

// The cut list's walk: every mark of the run, in order, handed to f.
template <typename F>
void for_each_mark(const report_context& context, F f) {
  mark_chooser chooser(context.marks);
  for (quiet_interval& node : context.detection->intervals) {
    if (std::optional<cut_mark> mark = chooser.next(&node)) f(*mark);
  }
}

void append_json_mark(const cut_mark& mark, output_buffer* out) {
  out->append("{\"kind\": \"");
  out->append(mark.kind);
  out->append("\", \"ns\": ");
  append_signed(mark.ns, out);
  out->append(", \"time\": \"");
  out->append(format_time(mark.ns).view());
  out->append("\", \"start_ns\": ");
  append_signed(mark.start_ns, out);
  out->append(", \"end_ns\": ");
  append_signed(mark.end_ns, out);
  out->append('}');
}

// A chapter waiting for its end: its start, and the mark that opened it, if any.
struct open_chapter {
  std::int64_t start_ms = 0;
  std::optional<cut_mark> mark;  // Nothing for the opening chapter "Start".
};

void append_chapter(const open_chapter& chapter, std::int64_t end_ms, output_buffer* out) {
  out->append("[CHAPTER]\nTIMEBASE=1/1000\nSTART=");
  append_signed(chapter.start_ms, out);
  out->append("\nEND=");
  append_signed(end_ms, out);
  out->append("\ntitle=");
  if (chapter.mark) {
    out->append(chapter.mark->kind);
    out->append(' ');
    out->append(format_time(chapter.mark->ns).view());
  } else {
    out->append("Start");
  }
  out->append('\n');
}

}  // namespace

void print_json(const report_context& context, output_buffer* out) {
  out->append("{\"file\": ");
  append_json_string(context.mpeg_name, out);
  out->append(", \"event_file\": ");
  append_json_string(context.event_file_name, out);
  out->append(is_gap_mode(context.range) ? ", \"mode\": \"gap\"" : ", \"mode\": \"level\"");
  out->append(", \"audio_scale\": ");
  append_unsigned(context.range.audio_scale, out);
  out->append(", \"silence_threshold\": ");
  append_unsigned(context.range.silence_threshold, out);
  out->append(", \"period_seconds\": ");
  append_unsigned(context.marks.period_seconds, out);
  out->append(", \"ignore_seconds\": ");
  append_unsigned(context.marks.ignore_seconds, out);
  out->append(", \"records\": ");
  append_unsigned(context.detection->records, out);
  out->append(", \"marks\": [");
  bool first = true;
  for_each_mark(context, [&](const cut_mark& mark) {
    if (!first) out->append(", ");
    first = false;
    append_json_mark(mark, out);
  });
  out->append("]}\n");
}

void print_edl(const report_context& context, output_buffer* out) {
  for_each_mark(context, [&](const cut_mark& mark) {
    const std::int64_t ms = ms_of(mark.ns);
    char* line = out->reserve(2 * (DECIMAL_MAX + 2) + 4);
    std::size_t n = write_seconds(line, ms);
    line[n++] = '\t';
    n += write_seconds(line + n, ms);
    for (char c : std::string_view("\t2\n")) line[n++] = c;
    out->commit(n);
  });
}

void print_chapters(const report_context& context, output_buffer* out) {
  out->append(";FFMETADATA1\n");
  open_chapter chapter;
  bool any_mark = false;
  for_each_mark(context, [&](const cut_mark& mark) {
    any_mark = true;
    const std::int64_t ms = ms_of(mark.ns);
    if (ms > chapter.start_ms) {
      append_chapter(chapter, ms, out);
      chapter = open_chapter{ms, mark};
    } else if (!chapter.mark) {
      chapter.mark = mark;  // A mark at 0 ms opens the document instead of "Start".
    }
    // Otherwise the mark falls in the millisecond of the chapter it would end, and
    // adds nothing.
  });
  if (any_mark) {
    append_chapter(chapter, std::max(ms_of(context.detection->last_record_ns), chapter.start_ms),
                   out);
  }
}

}  // namespace cutspot
