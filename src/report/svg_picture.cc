#include "report/svg_picture.h"

#include <algorithm>
#include <array>
#include <concepts>
#include <optional>
#include <type_traits>

#include "analysis/marks.h"
#include "report/json_text.h"
#include "report/text_builders.h"

namespace cutspot {
namespace {

// The layout, in pixels. The plot has one column per pixel; x coordinates are computed
// in tenths of a pixel.
constexpr int WIDTH = 1600;
constexpr int HEIGHT = 500;
constexpr int PLOT_LEFT = 64;
constexpr int PLOT_WIDTH = 1500;
constexpr int PLOT_RIGHT = PLOT_LEFT + PLOT_WIDTH;
constexpr int VIDEO_TOP = 60;
constexpr int VIDEO_HEIGHT = 120;
constexpr int AUDIO_TOP = 196;
constexpr int AUDIO_HEIGHT = 180;
constexpr int PLOT_TOP = VIDEO_TOP;
constexpr int PLOT_BOTTOM = AUDIO_TOP + AUDIO_HEIGHT;
constexpr int MARK_TOP = PLOT_TOP - 6;
constexpr int MARK_BOTTOM = PLOT_BOTTOM + 6;
constexpr int MARK_LABEL_BASE = HEIGHT - 6;
constexpr std::int64_t SUBPIXELS = 10;
// Mark labels stand on end, about 11 px thick: closer ones would overlap.
constexpr std::int64_t MARK_LABEL_ROOM = 13 * SUBPIXELS;
// Quiet-dark spans and pauses narrower than this are widened to it, so none disappears.
constexpr std::int64_t MIN_BAND = 2 * SUBPIXELS;
constexpr std::uint64_t MAX_TICK_STEPS = 12;

constexpr std::string_view STYLE =
    "<style>\n"
    "text{fill:#222}\n"
    ".title{font-size:16px;font-weight:bold}\n"
    ".frame{fill:none;stroke:#999}\n"
    ".grid{stroke:#e8e8e8}\n"
    ".axis{stroke:#444}\n"
    ".video{stroke:#6046c8;shape-rendering:crispEdges}\n"
    ".audio{stroke:#1d8a4a;shape-rendering:crispEdges}\n"
    ".threshold{stroke:#e07000;stroke-dasharray:6 4}\n"
    ".quiet{fill:#ffe0a0}\n"
    ".note{fill:#c05a00;stroke:#fff;stroke-width:3px;paint-order:stroke}\n"
    ".gap{fill:#b4b4b4;fill-opacity:.75}\n"
    ".A line{stroke:#1c6fd6;stroke-dasharray:4 3}\n"
    ".D line{stroke:#d4213d}\n"
    ".A text{fill:#1c6fd6}\n"
    ".D text{fill:#d4213d}\n"
    "</style>\n";

// A coordinate in tenths of a pixel, printed as pixels with one decimal.
struct tenths {
  std::int64_t value;
};

// Writes the document into the output buffer, numbers without a detour through strings.
class svg_writer {
 public:
  explicit svg_writer(output_buffer* out) : out_(out) {}

  svg_writer& operator<<(std::string_view text) {
    out_->append(text);
    return *this;
  }
  svg_writer& operator<<(char c) {
    out_->append(c);
    return *this;
  }
  template <std::integral T>
  svg_writer& operator<<(T value) {
    char* p = out_->reserve(DECIMAL_MAX);
    std::uint64_t magnitude = static_cast<std::uint64_t>(value);
    std::size_t n = 0;
    if constexpr (std::is_signed_v<T>) {
      // Negated in unsigned arithmetic, where even the most negative value has its magnitude.
      if (value < 0) {
        p[n++] = '-';
        magnitude = 0 - magnitude;
      }
    }
    out_->commit(n + write_decimal(p + n, magnitude));
    return *this;
  }
  svg_writer& operator<<(tenths t) {
    // Coordinates are never negative.
    *this << t.value / SUBPIXELS;
    if (t.value % SUBPIXELS != 0) *this << '.' << t.value % SUBPIXELS;
    return *this;
  }

 private:
  output_buffer* out_;
};

// Where a time lies on the plot, clamped to the axis.
std::int64_t time_x(const level_envelope& levels, std::int64_t ns) {
  const std::uint64_t key = std::clamp(time_key(ns), levels.first_key(), levels.last_key());
  const std::uint64_t offset = key - levels.first_key();
  const unsigned shift = levels.shift();
  constexpr std::uint64_t SCALE = PLOT_WIDTH * SUBPIXELS;
  // The part within a bin, scaled; low bits that would overflow the product are dropped,
  // far below a tenth of a pixel.
  const std::uint64_t fraction = offset & ((std::uint64_t{1} << shift) - 1);
  const unsigned drop = shift > 49 ? shift - 49 : 0;
  const std::uint64_t position =
      (offset >> shift) * SCALE + (((fraction >> drop) * SCALE) >> (shift - drop));
  return PLOT_LEFT * SUBPIXELS + static_cast<std::int64_t>(position / levels.bin_count());
}

int video_y(std::uint32_t level) {
  return VIDEO_TOP + static_cast<int>((SVG_VIDEO_TOP - std::min(level, SVG_VIDEO_TOP)) *
                                      (VIDEO_HEIGHT - 1) / SVG_VIDEO_TOP);
}

int audio_y(std::uint32_t level) {
  return AUDIO_TOP + static_cast<int>((SVG_AUDIO_TOP - std::min(level, SVG_AUDIO_TOP)) *
                                      (AUDIO_HEIGHT - 1) / SVG_AUDIO_TOP);
}

// What one pixel column shows.
struct plot_column {
  bool drawn = false;
  std::uint16_t video_low = 0;
  std::uint16_t video_high = 0;
  std::uint16_t audio_low = 0;
  std::uint16_t audio_high = 0;
  // A pause ends in this column, having begun in column gap_from (the same one when
  // inner_gap says that it also ended there).
  bool gap_before = false;
  bool inner_gap = false;
  int gap_from = 0;
};

using plot_columns = std::array<plot_column, PLOT_WIDTH>;

// Folds the bins into pixel columns. Between records the levels hold, so a column
// without records shows the level carried in from the left, and so does a column's own
// range, unless the stream paused in between.
void trace_columns(const level_envelope& levels, plot_columns* columns) {
  std::array<level_bin, PLOT_WIDTH> folded{};
  const std::size_t bins = levels.bin_count();
  int last_data = -1;
  for (std::size_t c = 0; c < folded.size(); ++c) {
    const std::size_t first = c * bins / PLOT_WIDTH;
    // With fewer bins than columns, a bin spreads over several columns.
    const std::size_t end = std::max((c + 1) * bins / PLOT_WIDTH, first + 1);
    for (std::size_t b = first; b < end; ++b) merge_bins(&folded[c], levels.bin(b));
    if ((folded[c].flags & BIN_DATA) != 0) last_data = static_cast<int>(c);
  }

  bool carry = false;
  std::uint16_t carried_video = 0;
  std::uint16_t carried_audio = 0;
  std::optional<int> gap_from;
  for (int c = 0; c <= last_data; ++c) {
    const level_bin& bin = folded[static_cast<std::size_t>(c)];
    plot_column& column = (*columns)[static_cast<std::size_t>(c)];
    if ((bin.flags & BIN_DATA) == 0) {
      if (carry) {
        column.drawn = true;
        column.video_low = column.video_high = carried_video;
        column.audio_low = column.audio_high = carried_audio;
      }
      continue;
    }
    column.drawn = true;
    column.video_low = bin.video_min;
    column.video_high = bin.video_max;
    column.audio_low = bin.audio_min;
    column.audio_high = bin.audio_max;
    if (carry && (bin.flags & BIN_STARTS_AFTER_GAP) == 0) {
      column.video_low = std::min(column.video_low, carried_video);
      column.video_high = std::max(column.video_high, carried_video);
      column.audio_low = std::min(column.audio_low, carried_audio);
      column.audio_high = std::max(column.audio_high, carried_audio);
    }
    if (gap_from) {
      column.gap_before = true;
      column.gap_from = *gap_from;
      gap_from.reset();
    }
    column.inner_gap = (bin.flags & BIN_INNER_GAP) != 0;
    carried_video = bin.video_last;
    carried_audio = bin.audio_last;
    carry = (bin.flags & BIN_ENDS_IN_GAP) == 0;
    if (!carry) gap_from = c;
  }
}

// Full-height bands, each merged with the one before when they overlap: from left to
// right, as spans come in time order, their number stays within the plot's width.
class band_printer {
 public:
  explicit band_printer(svg_writer* w) : w_(w) {}
  ~band_printer() { flush(); }
  band_printer(const band_printer&) = delete;
  band_printer& operator=(const band_printer&) = delete;

  void add(std::int64_t from, std::int64_t to) {
    if (to - from < MIN_BAND) {
      const std::int64_t middle = from + (to - from) / 2;
      from = middle - MIN_BAND / 2;
      to = from + MIN_BAND;
    }
    from = std::max<std::int64_t>(from, PLOT_LEFT * SUBPIXELS);
    to = std::min<std::int64_t>(to, PLOT_RIGHT * SUBPIXELS);
    if (open_ && from <= to_ && to >= from_) {
      from_ = std::min(from_, from);
      to_ = std::max(to_, to);
      return;
    }
    flush();
    open_ = true;
    from_ = from;
    to_ = to;
  }

  void flush() {
    if (!open_) return;
    *w_ << "<rect x=\"" << tenths{from_} << "\" y=\"" << PLOT_TOP << "\" width=\""
        << tenths{to_ - from_} << "\" height=\"" << PLOT_BOTTOM - PLOT_TOP << "\"/>\n";
    open_ = false;
  }

 private:
  svg_writer* w_;
  bool open_ = false;
  std::int64_t from_ = 0;
  std::int64_t to_ = 0;
};

void print_heading(const report_context& context, svg_writer& w, output_buffer* out) {
  w << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << WIDTH << "\" height=\"" << HEIGHT
    << "\" viewBox=\"0 0 " << WIDTH << ' ' << HEIGHT
    << "\" font-family=\"sans-serif\" font-size=\"11\">\n<title>cutspot: ";
  append_xml_text(context.event_file_name, out);
  w << "</title>\n" << STYLE;
  w << "<rect width=\"" << WIDTH << "\" height=\"" << HEIGHT << "\" fill=\"#fff\"/>\n"
    << "<text class=\"title\" x=\"16\" y=\"24\">";
  append_xml_text(context.event_file_name, out);
  w << "</text>\n<text x=\"16\" y=\"44\">" << (is_gap_mode(context.range) ? "gap" : "level")
    << " mode, audio scale " << context.range.audio_scale << ", silence threshold "
    << context.range.silence_threshold << ", " << context.detection->records << " records</text>\n";

  // The legend, right of the heading.
  w << "<g transform=\"translate(700 40)\">\n"
    << "<path class=\"video\" d=\"M0 -4H16\" stroke-width=\"3\"/><text x=\"20\">video "
       "level</text>\n"
    << "<path class=\"audio\" d=\"M105 -4H121\" stroke-width=\"3\"/><text x=\"125\">audio "
       "level</text>\n"
    << "<path class=\"threshold\" d=\"M210 -4H236\"/><text x=\"240\">silence "
       "threshold</text>\n"
    << "<rect class=\"quiet\" x=\"345\" y=\"-10\" width=\"16\" height=\"11\"/><text "
       "x=\"365\">quiet and dark</text>\n"
    << "<rect class=\"gap\" x=\"460\" y=\"-10\" width=\"16\" height=\"11\"/><text "
       "x=\"480\">no records</text>\n"
    << "<g class=\"A\"><line x1=\"570\" y1=\"-11\" x2=\"570\" y2=\"2\"/><text x=\"576\">A "
       "mark</text></g>\n"
    << "<g class=\"D\"><line x1=\"640\" y1=\"-11\" x2=\"640\" y2=\"2\"/><text x=\"646\">D "
       "mark</text></g>\n"
    << "</g>\n";
}

// Grid lines, ticks and labels of the time axis.
void print_time_axis(const level_envelope& levels, svg_writer& w) {
  const std::uint64_t span = levels.last_key() - levels.first_key();
  const std::uint64_t step = svg_tick_step(span);
  // Multiples of the step, found in keys, which step as times do. The axis always holds
  // time 0, so there is at least one; there are at most 13, as span ≤ 12 steps.
  const std::int64_t start = key_time(levels.first_key());
  const std::uint64_t start_to_tick = start >= 0
                                          ? (step - static_cast<std::uint64_t>(start) % step) % step
                                          : (0 - static_cast<std::uint64_t>(start)) % step;
  std::array<std::int64_t, MAX_TICK_STEPS + 1> ticks{};
  std::size_t count = 0;
  for (std::uint64_t from_start = start_to_tick; from_start <= span && count < ticks.size();
       from_start += step) {
    ticks[count++] = key_time(levels.first_key() + from_start);
    if (span - from_start < step) break;
  }

  w << "<path class=\"grid\" d=\"";
  for (std::size_t i = 0; i < count; ++i) {
    w << 'M' << tenths{time_x(levels, ticks[i])} << ' ' << PLOT_TOP << 'V' << PLOT_BOTTOM;
  }
  w << "\"/>\n<path class=\"axis\" d=\"M" << PLOT_LEFT << ' ' << PLOT_BOTTOM << ".5H" << PLOT_RIGHT;
  for (std::size_t i = 0; i < count; ++i) {
    w << 'M' << tenths{time_x(levels, ticks[i])} << ' ' << PLOT_BOTTOM << "v6";
  }
  w << "\"/>\n<g text-anchor=\"middle\">\n";
  for (std::size_t i = 0; i < count; ++i) {
    // Ticks fall on whole seconds: the milliseconds add nothing.
    const time_text label = format_time(ticks[i]);
    w << "<text x=\"" << tenths{time_x(levels, ticks[i])} << "\" y=\"" << PLOT_BOTTOM + 19 << "\">"
      << label.view().substr(0, label.length - 4) << "</text>\n";
  }
  w << "</g>\n";
}

void print_envelope(const plot_columns& columns, bool video, svg_writer& w) {
  w << "<path class=\"" << (video ? "video" : "audio") << "\" d=\"";
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const plot_column& column = columns[c];
    if (!column.drawn) continue;
    const int top = video ? video_y(column.video_high) : audio_y(column.audio_high);
    const int bottom = video ? video_y(column.video_low) : audio_y(column.audio_low);
    // From the top of the highest level's pixel to the bottom of the lowest's.
    w << 'M' << PLOT_LEFT + static_cast<int>(c) << ".5 " << top << 'V' << bottom + 1;
  }
  w << "\"/>\n";
}

void print_panels(const report_context& context, svg_writer& w) {
  w << "<rect class=\"frame\" x=\"" << PLOT_LEFT << ".5\" y=\"" << VIDEO_TOP << ".5\" width=\""
    << PLOT_WIDTH - 1 << "\" height=\"" << VIDEO_HEIGHT - 1 << "\"/>\n"
    << "<rect class=\"frame\" x=\"" << PLOT_LEFT << ".5\" y=\"" << AUDIO_TOP << ".5\" width=\""
    << PLOT_WIDTH - 1 << "\" height=\"" << AUDIO_HEIGHT - 1 << "\"/>\n"
    << "<g text-anchor=\"end\">\n"
    << "<text x=\"" << PLOT_LEFT - 4 << "\" y=\"" << VIDEO_TOP + 8 << "\">255</text>\n"
    << "<text x=\"" << PLOT_LEFT - 4 << "\" y=\"" << VIDEO_TOP + VIDEO_HEIGHT << "\">0</text>\n"
    << "<text x=\"" << PLOT_LEFT - 4 << "\" y=\"" << AUDIO_TOP + 8 << "\">10000</text>\n"
    << "<text x=\"" << PLOT_LEFT - 4 << "\" y=\"" << AUDIO_TOP + AUDIO_HEIGHT << "\">0</text>\n"
    << "</g>\n<g text-anchor=\"middle\">\n"
    << "<text transform=\"translate(20 " << VIDEO_TOP + VIDEO_HEIGHT / 2
    << ") rotate(-90)\">video</text>\n"
    << "<text transform=\"translate(20 " << AUDIO_TOP + AUDIO_HEIGHT / 2
    << ") rotate(-90)\">audio</text>\n</g>\n";

  // Levels below the threshold are quiet; one above the axis is drawn at its top.
  const int y = audio_y(context.range.silence_threshold);
  w << "<path class=\"threshold\" d=\"M" << PLOT_LEFT << ' ' << y << ".5H" << PLOT_RIGHT
    << "\"/>\n<text class=\"note\" x=\"" << PLOT_RIGHT - 4 << "\" y=\"" << y - 3
    << "\" text-anchor=\"end\">silence threshold " << context.range.silence_threshold
    << "</text>\n";
}

void print_marks(const report_context& context, const level_envelope& levels, svg_writer& w) {
  mark_chooser chooser(context.marks);
  std::optional<std::int64_t> last_label;
  for (quiet_interval& node : context.detection->intervals) {
    const std::optional<cut_mark> mark = chooser.next(&node);
    if (!mark) continue;
    const std::int64_t x = time_x(levels, mark->ns);
    const time_text time = format_time(mark->ns);
    w << "<g class=\"mark " << mark->kind << "\" data-kind=\"" << mark->kind << "\" data-ns=\""
      << mark->ns << "\"><title>" << mark->kind << ' ' << time.view() << "</title><line x1=\""
      << tenths{x} << "\" y1=\"" << MARK_TOP << "\" x2=\"" << tenths{x} << "\" y2=\"" << MARK_BOTTOM
      << "\"/>";
    // The label stands on end under the axis, centred on the line.
    if (!last_label || x - *last_label >= MARK_LABEL_ROOM) {
      last_label = x;
      w << "<text transform=\"translate(" << tenths{x + 4 * SUBPIXELS} << ' ' << MARK_LABEL_BASE
        << ") rotate(-90)\">" << mark->kind << ' ' << time.view() << "</text>";
    }
    w << "</g>\n";
  }
}

}  // namespace

void append_xml_text(std::string_view bytes, output_buffer* out) {
  constexpr std::string_view REPLACEMENT = "\xEF\xBF\xBD";
  while (!bytes.empty()) {
    const std::ptrdiff_t step = utf8_step(bytes);
    const std::size_t length = static_cast<std::size_t>(step < 0 ? -step : step);
    const auto c = static_cast<unsigned char>(bytes[0]);
    const auto second = length > 1 ? static_cast<unsigned char>(bytes[1]) : 0;
    const auto third = length > 2 ? static_cast<unsigned char>(bytes[2]) : 0;
    if (step < 0 || c < 0x20 || c == 0x7F || (c == 0xC2 && second < 0xA0) ||  // C1 controls
        (c == 0xEF && second == 0xBF && third >= 0xBE)) {                     // U+FFFE, U+FFFF
      out->append(REPLACEMENT);
    } else if (c == '&') {
      out->append("&amp;");
    } else if (c == '<') {
      out->append("&lt;");
    } else if (c == '>') {
      out->append("&gt;");
    } else if (c == '"') {
      out->append("&quot;");
    } else if (c == '\'') {
      out->append("&#39;");
    } else {
      out->append(bytes.substr(0, length));
    }
    bytes.remove_prefix(length);
  }
}

std::uint64_t svg_tick_step(std::uint64_t span_ns) {
  constexpr std::uint64_t S = 1000000000;
  constexpr std::uint64_t DAY = 86400 * S;
  // Round steps of clock time; past a day, 1-2-5 multiples of days, up to more than
  // any span of 64-bit time stamps needs.
  constexpr std::uint64_t STEPS[] = {
      S,          2 * S,       5 * S,       10 * S,      15 * S,      30 * S,     60 * S,
      120 * S,    300 * S,     600 * S,     900 * S,     1800 * S,    3600 * S,   7200 * S,
      10800 * S,  21600 * S,   43200 * S,   DAY,         2 * DAY,     5 * DAY,    10 * DAY,
      20 * DAY,   50 * DAY,    100 * DAY,   200 * DAY,   500 * DAY,   1000 * DAY, 2000 * DAY,
      5000 * DAY, 10000 * DAY, 20000 * DAY, 50000 * DAY, 100000 * DAY};
  const std::uint64_t needed = span_ns / MAX_TICK_STEPS + (span_ns % MAX_TICK_STEPS != 0 ? 1 : 0);
  for (std::uint64_t step : STEPS) {
    if (step >= needed) return step;
  }
  return STEPS[std::size(STEPS) - 1];
}

void print_svg(const report_context& context, const level_envelope& levels, output_buffer* out) {
  svg_writer w(out);
  print_heading(context, w, out);

  // Behind the levels: the quiet-dark intervals, taken before marks are chosen, since
  // choosing them overwrites each interval's end with its mark.
  w << "<g class=\"quiet\">\n";
  {
    band_printer bands(&w);
    for (const quiet_interval& node : context.detection->intervals) {
      if (node.start_ns == 0) continue;
      const std::int64_t from = time_x(levels, node.start_ns);
      const std::int64_t to = time_x(levels, node.end_ns);
      bands.add(std::min(from, to), std::max(from, to));
    }
  }
  w << "</g>\n";
  print_time_axis(levels, w);

  plot_columns columns{};
  trace_columns(levels, &columns);
  print_envelope(columns, true, w);
  print_envelope(columns, false, w);

  // Pauses over the levels, so that one narrower than a column still shows.
  w << "<g class=\"gap\">\n";
  {
    band_printer bands(&w);
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const plot_column& column = columns[c];
      const std::int64_t left = (PLOT_LEFT + static_cast<std::int64_t>(c)) * SUBPIXELS;
      if (column.gap_before) {
        bands.add((PLOT_LEFT + column.gap_from + 1) * SUBPIXELS, left);
      }
      if (column.inner_gap) bands.add(left, left + SUBPIXELS);
    }
  }
  w << "</g>\n";

  print_panels(context, w);
  print_marks(context, levels, w);
  w << "</svg>\n";
}

}  // namespace cutspot
