// "-svg": the whole recording as one self-contained SVG picture, 1600 × 500.
//
// From top to bottom: the event file's name, the mode, scale, threshold and number of
// records, and a legend; the video level (0-255) and the scaled audio level (0-10000) in
// two panels over a shared time axis, each drawn as the lowest-to-highest range of one
// pixel column, with the silence threshold across the audio panel; the quiet-dark
// intervals shaded behind them and the pauses of the stream (over a second without
// records) as grey bands; every mark of the cut list as a vertical line, blue and dashed
// for A, red for D, with its letter and time underneath where there is room (a label
// needs 13 pixels clear of the previous label; the others keep theirs in the title).
//
// Each mark is a group that programs can read back:
//   <g class="mark D" data-kind="D" data-ns="101000000000"><title>D 001:41.000</title>…</g>
// Marks that fall into one pixel column are drawn as one group, which says how many it
// holds and their first and last mark:
//   <g class="mark D" data-kind="D" data-ns="…" data-count="3" data-last-ns="…">
//   <title>3 marks from A 000:10.000 to D 000:10.400</title>…</g>
// (class and data-kind are D when any of them is a D). So the picture stays small
// whatever the number of marks. Names go through write_xml_text, so the document is
// well-formed whatever their bytes.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "report/document.h"
#include "report/escape.h"
#include "report/svg_columns.h"
#include "report/svg_envelope.h"
#include "report/svg_layout.h"
#include "report/svg_ticks.h"
#include "report/text_builders.h"
#include "report/text_writer.h"

namespace cutspot {
namespace {

constexpr int MARK_TOP = PLOT_TOP - 6;
constexpr int MARK_BOTTOM = PLOT_BOTTOM + 6;
constexpr int MARK_LABEL_BASE = SVG_HEIGHT - 6;
// Mark labels stand on end, about 11 px thick: closer ones would overlap.
constexpr std::int64_t MARK_LABEL_ROOM = 13 * SUBPIXELS;
// Quiet-dark spans and pauses narrower than this are widened to it, so none disappears.
constexpr std::int64_t MIN_BAND = 2 * SUBPIXELS;
// The threshold's label keeps this far from mark lines; its characters are about this wide.
constexpr std::int64_t LABEL_CLEARANCE = 3 * SUBPIXELS;
constexpr std::int64_t LABEL_CHAR_WIDTH = 6 * SUBPIXELS;
constexpr int AXIS_LABEL_HEIGHT = 11;
// More bands or mark columns than this cannot be told apart on the plot; past it, new
// ones are merged into the last, so memory stays bounded even for hostile input.
constexpr std::size_t MAX_BANDS = 2 * PLOT_WIDTH;
constexpr std::size_t MAX_MARK_GROUPS = 2 * PLOT_WIDTH;

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

struct band {
  std::int64_t from;
  std::int64_t to;
};

// Full-height bands, each merged with the one before when they overlap. Spans come in
// time order, so their number stays within the plot's width.
class band_list {
 public:
  void add(std::int64_t from, std::int64_t to) {
    if (to - from < MIN_BAND) {
      const std::int64_t middle = from + (to - from) / 2;
      from = middle - MIN_BAND / 2;
      to = from + MIN_BAND;
    }
    from = std::max<std::int64_t>(from, PLOT_LEFT * SUBPIXELS);
    to = std::min<std::int64_t>(to, PLOT_RIGHT * SUBPIXELS);
    if (!bands_.empty() &&
        ((from <= bands_.back().to && to >= bands_.back().from) || bands_.size() == MAX_BANDS)) {
      bands_.back().from = std::min(bands_.back().from, from);
      bands_.back().to = std::max(bands_.back().to, to);
      return;
    }
    bands_.push_back({from, to});
  }

  void print(text_writer& w) const {
    for (const band& b : bands_) {
      w << "<rect x=\"" << tenths{b.from} << "\" y=\"" << PLOT_TOP << "\" width=\""
        << tenths{b.to - b.from} << "\" height=\"" << PLOT_BOTTOM - PLOT_TOP << "\"/>\n";
    }
  }

 private:
  std::vector<band> bands_;
};

// The marks of one pixel column.
struct mark_group {
  std::int64_t x;  // Where the first of them lies.
  cut_mark first;
  cut_mark last;
  std::uint64_t count;
  bool any_d;
};

void print_group(const mark_group& g, std::optional<std::int64_t>* last_label, text_writer& w) {
  const char kind = g.any_d ? 'D' : 'A';
  const time_text first = format_time(g.first.ns);
  w << "<g class=\"mark " << kind << "\" data-kind=\"" << kind << "\" data-ns=\"" << g.first.ns
    << '"';
  if (g.count > 1) w << " data-count=\"" << g.count << "\" data-last-ns=\"" << g.last.ns << '"';
  w << "><title>";
  if (g.count > 1) {
    w << g.count << " marks from " << g.first.kind << ' ' << first.view() << " to " << g.last.kind
      << ' ' << format_time(g.last.ns).view();
  } else {
    w << kind << ' ' << first.view();
  }
  w << "</title><line x1=\"" << tenths{g.x} << "\" y1=\"" << MARK_TOP << "\" x2=\"" << tenths{g.x}
    << "\" y2=\"" << MARK_BOTTOM << "\"/>";
  // The label stands on end under the axis, centred on the line.
  if (!*last_label || g.x - **last_label >= MARK_LABEL_ROOM) {
    *last_label = g.x;
    w << "<text transform=\"translate(" << tenths{g.x + 4 * SUBPIXELS} << ' ' << MARK_LABEL_BASE
      << ") rotate(-90)\">" << kind << ' ' << first.view();
    if (g.count > 1) w << " (" << g.count << ')';
    w << "</text>";
  }
  w << "</g>\n";
}

class svg_picture final : public document_renderer {
 public:
  svg_picture(const report_context& context, output_buffer* out)
      : context_(context),
        w_(out),
        levels_(
            std::make_unique<level_envelope>(context.scan.earliest_ns, context.scan.latest_ns)) {}

  void begin() override {}

  void levels(std::span<const level_sample> samples) override {
    for (const level_sample& s : samples) {
      // The first record follows no pause, whatever its time.
      levels_->add(s.ns, s.video_level, s.audio_level, s.step.pause && !s.step.first,
                   s.step.prev_ns);
    }
  }

  void interval(const quiet_interval& interval) override {
    const std::int64_t from = time_x(*levels_, interval.start_ns);
    const std::int64_t to = time_x(*levels_, interval.end_ns);
    quiet_.add(std::min(from, to), std::max(from, to));
  }

  void mark(const cut_mark& mark) override {
    const std::int64_t x = time_x(*levels_, mark.ns);
    if (!marks_.empty() &&
        (marks_.back().x / SUBPIXELS == x / SUBPIXELS || marks_.size() == MAX_MARK_GROUPS)) {
      mark_group& g = marks_.back();
      g.last = mark;
      ++g.count;
      g.any_d = g.any_d || mark.kind == 'D';
      return;
    }
    marks_.push_back({x, mark, mark, 1, mark.kind == 'D'});
  }

  void add_break(const ad_break& found) override {
    breaks_.add(time_x(*levels_, found.start_ns), time_x(*levels_, found.end_ns));
  }

  // Everything is drawn at the end: the levels and marks are known only then.
  void end() override {
    print_heading();
    w_ << "<g class=\"quiet\">\n";
    quiet_.print(w_);
    w_ << "</g>\n";
    if (context_.with_breaks) {
      w_ << "<g class=\"break\">\n";
      breaks_.print(w_);
      w_ << "</g>\n";
    }
    print_time_axis();

    auto columns = std::make_unique<plot_columns>();
    trace_columns(*levels_, columns.get());
    print_envelope(*columns, true);
    print_envelope(*columns, false);
    // Pauses over the levels, so that one narrower than a column still shows.
    band_list gaps;
    for (std::size_t c = 0; c < columns->size(); ++c) {
      const plot_column& column = (*columns)[c];
      const std::int64_t left = (PLOT_LEFT + static_cast<std::int64_t>(c)) * SUBPIXELS;
      if (column.gap_before) gaps.add((PLOT_LEFT + column.gap_from + 1) * SUBPIXELS, left);
      if (column.inner_gap) gaps.add(left, left + SUBPIXELS);
    }
    w_ << "<g class=\"gap\">\n";
    gaps.print(w_);
    w_ << "</g>\n";

    print_panels();
    std::optional<std::int64_t> last_label;
    for (const mark_group& g : marks_) print_group(g, &last_label, w_);
    w_ << "</svg>\n";
  }

 private:
  void print_heading() {
    const recording_scan& scan = context_.scan;
    w_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << SVG_WIDTH << "\" height=\""
       << SVG_HEIGHT << "\" viewBox=\"0 0 " << SVG_WIDTH << ' ' << SVG_HEIGHT
       << "\" font-family=\"sans-serif\" font-size=\"11\">\n<title>cutspot: ";
    write_xml_text(w_, context_.event_file_name);
    w_ << "</title>\n" << STYLE;
    w_ << "<rect width=\"" << SVG_WIDTH << "\" height=\"" << SVG_HEIGHT << "\" fill=\"#fff\"/>\n"
       << "<text class=\"title\" x=\"16\" y=\"24\">";
    write_xml_text(w_, context_.event_file_name);
    w_ << "</text>\n<text x=\"16\" y=\"44\">" << (is_gap_mode(scan.range) ? "gap" : "level")
       << " mode, audio scale " << scan.range.audio_scale << ", silence threshold "
       << scan.range.silence_threshold << ", " << scan.records << " records</text>\n";

    // The legend, right of the heading.
    w_ << "<g transform=\"translate(700 40)\">\n"
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
    if (context_.with_breaks) {
      w_ << "<style>\n.break{fill:#d4213d;fill-opacity:.16}\n</style>\n"
         << "<g transform=\"translate(1420 40)\"><rect class=\"break\" y=\"-10\" width=\"16\" "
            "height=\"11\"/><text x=\"20\">advertising break</text></g>\n";
    }
  }

  // Grid lines, ticks and labels of the time axis.
  void print_time_axis() {
    const axis_ticks ticks = svg_ticks(*levels_);
    w_ << "<path class=\"grid\" d=\"";
    for (std::size_t i = 0; i < ticks.count; ++i) {
      w_ << 'M' << tenths{time_x(*levels_, ticks.ns[i])} << ' ' << PLOT_TOP << 'V' << PLOT_BOTTOM;
    }
    w_ << "\"/>\n<path class=\"axis\" d=\"M" << PLOT_LEFT << ' ' << PLOT_BOTTOM << ".5H"
       << PLOT_RIGHT;
    for (std::size_t i = 0; i < ticks.count; ++i) {
      w_ << 'M' << tenths{time_x(*levels_, ticks.ns[i])} << ' ' << PLOT_BOTTOM << "v6";
    }
    w_ << "\"/>\n<g text-anchor=\"middle\">\n";
    for (std::size_t i = 0; i < ticks.count; ++i) {
      // Ticks fall on whole seconds: the milliseconds add nothing.
      const time_text label = format_time(ticks.ns[i]);
      w_ << "<text x=\"" << tenths{time_x(*levels_, ticks.ns[i])} << "\" y=\"" << PLOT_BOTTOM + 19
         << "\">" << label.view().substr(0, label.length - 4) << "</text>\n";
    }
    w_ << "</g>\n";
  }

  void print_envelope(const plot_columns& columns, bool video) {
    w_ << "<path class=\"" << (video ? "video" : "audio") << "\" d=\"";
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const plot_column& column = columns[c];
      if (!column.drawn) continue;
      const int top = video ? video_y(column.video_high) : audio_y(column.audio_high);
      const int bottom = video ? video_y(column.video_low) : audio_y(column.audio_low);
      // From the top of the highest level's pixel to the bottom of the lowest's.
      w_ << 'M' << PLOT_LEFT + static_cast<int>(c) << ".5 " << top << 'V' << bottom + 1;
    }
    w_ << "\"/>\n";
  }

  // Where the threshold's label can end, right-aligned and clear of every mark line: as
  // far right as possible; nothing when marks leave no room.
  std::optional<std::int64_t> threshold_label_end(std::int64_t width) const {
    std::int64_t right = (PLOT_RIGHT - 4) * SUBPIXELS;
    for (auto g = marks_.rbegin(); g != marks_.rend(); ++g) {
      if (g->x > right + LABEL_CLEARANCE) continue;
      if (g->x < right - width - LABEL_CLEARANCE) break;
      right = g->x - LABEL_CLEARANCE;
    }
    if (right - width < (PLOT_LEFT + 4) * SUBPIXELS) return std::nullopt;
    return right;
  }

  void print_panels() {
    w_ << "<rect class=\"frame\" x=\"" << PLOT_LEFT << ".5\" y=\"" << VIDEO_TOP << ".5\" width=\""
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
    const std::uint32_t threshold = context_.scan.range.silence_threshold;
    const int y = audio_y(threshold);
    w_ << "<path class=\"threshold\" d=\"M" << PLOT_LEFT << ' ' << y << ".5H" << PLOT_RIGHT
       << "\"/>\n";
    char digits[DECIMAL_MAX];
    const auto width = static_cast<std::int64_t>(
        (std::string_view("silence threshold ").size() + write_decimal(digits, threshold)) *
        LABEL_CHAR_WIDTH);
    if (const std::optional<std::int64_t> right = threshold_label_end(width)) {
      w_ << "<text class=\"note\" x=\"" << tenths{*right} << "\" y=\"" << y - 3
         << "\" text-anchor=\"end\">silence threshold " << threshold << "</text>\n";
    } else if (std::abs(y + 4 - (AUDIO_TOP + 8)) >= AXIS_LABEL_HEIGHT &&
               std::abs(y + 4 - (AUDIO_TOP + AUDIO_HEIGHT)) >= AXIS_LABEL_HEIGHT) {
      // Marks everywhere: the value goes on the audio axis, clear of its other labels.
      w_ << "<text class=\"note\" x=\"" << PLOT_LEFT - 4 << "\" y=\"" << y + 4
         << "\" text-anchor=\"end\">" << threshold << "</text>\n";
    }
  }

  const report_context& context_;
  text_writer w_;
  std::unique_ptr<level_envelope> levels_;
  band_list quiet_;
  band_list breaks_;
  std::vector<mark_group> marks_;
};

}  // namespace

std::unique_ptr<document_renderer> make_svg_picture(const report_context& context,
                                                    output_buffer* out) {
  return std::make_unique<svg_picture>(context, out);
}

}  // namespace cutspot
