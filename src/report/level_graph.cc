#include "report/level_graph.h"

#include <cstring>

#include "report/document.h"
#include "report/text_builders.h"

namespace cutspot {
namespace {

class level_graph final : public document_renderer {
 public:
  level_graph(const report_context& context, output_buffer* out)
      : gap_mode_(is_gap_mode(context.scan.range)), out_(out) {}

  void begin() override { out_->append(GRAPH_HEADER); }

  void levels(std::span<const level_sample> samples) override {
    // The stamper in a local for the run: the lines written cannot reach it there.
    time_stamper stamps = stamps_;
    output_buffer* const out = out_;
    for (const level_sample& s : samples) {
      if (gap_mode_ ? s.step.pause : s.step.span_edge) out->append(GRAPH_SEPARATOR);
      print_line(&stamps, out, s);
    }
    stamps_ = stamps;
  }

  // The graph ends with an empty line, before the list.
  void end() override { out_->append('\n'); }

 private:
  // "TIME: K VVVVVVVVV | AAAA…A\n", assembled in place from the stamp and the bars.
  static void print_line(time_stamper* stamps, output_buffer* out, const level_sample& s) {
    char* line = out->reserve(TIME_TEXT_MAX + 8 + VIDEO_BAR_WIDTH + AUDIO_BAR_WIDTH);
    char* p = line + stamps->write(line, s.ns);
    *p++ = ':';
    *p++ = ' ';
    *p++ = s.type == RECORD_AUDIO ? 'A' : 'V';
    *p++ = ' ';
    std::memcpy(p, video_bar(s.video_level).data(), VIDEO_BAR_WIDTH);
    p += VIDEO_BAR_WIDTH;
    std::memcpy(p, " | ", 3);
    p += 3;
    std::memcpy(p, audio_bar(s.audio_level).data(), AUDIO_BAR_WIDTH);
    p += AUDIO_BAR_WIDTH;
    *p++ = '\n';
    out->commit(static_cast<std::size_t>(p - line));
  }

  bool gap_mode_;
  output_buffer* out_;
  time_stamper stamps_;  // The time stamps of the lines.
};

}  // namespace

std::unique_ptr<document_renderer> make_level_graph(const report_context& context,
                                                    output_buffer* out) {
  return std::make_unique<level_graph>(context, out);
}

}  // namespace cutspot
