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

  void levels(const event_record& record, const level_step& step,
              const level_tracker& levels) override {
    if (gap_mode_ ? step.pause : step.span_edge) out_->append(GRAPH_SEPARATOR);
    print_line(record.timestamp_ns, record.type == RECORD_AUDIO ? 'A' : 'V', levels);
  }

  // The graph ends with an empty line, before the list.
  void end() override { out_->append('\n'); }

 private:
  // "TIME: K VVVVVVVVV | AAAA…A\n", assembled in place from the stamp and the bars.
  void print_line(std::int64_t ns, char kind, const level_tracker& levels) {
    char* line = out_->reserve(TIME_TEXT_MAX + 8 + VIDEO_BAR_WIDTH + AUDIO_BAR_WIDTH);
    char* p = line + stamps_.write(line, ns);
    *p++ = ':';
    *p++ = ' ';
    *p++ = kind;
    *p++ = ' ';
    std::memcpy(p, video_bar(levels.video_level).data(), VIDEO_BAR_WIDTH);
    p += VIDEO_BAR_WIDTH;
    std::memcpy(p, " | ", 3);
    p += 3;
    std::memcpy(p, audio_bar(levels.audio_level).data(), AUDIO_BAR_WIDTH);
    p += AUDIO_BAR_WIDTH;
    *p++ = '\n';
    out_->commit(static_cast<std::size_t>(p - line));
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
