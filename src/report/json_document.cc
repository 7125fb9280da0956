// "-json": one line for scripts.
//   {"file": "show.mpg", "event_file": "show.evt", "mode": "level", "audio_scale": 2,
//    "silence_threshold": 1180, "period_seconds": 300, "ignore_seconds": 0,
//    "records": 12, "marks": [{"kind": "D", "ns": 101000000000, "time": "001:41.000",
//    "start_ns": 100000000000, "end_ns": 102000000000}]}
// with ", " between members and marks, and a final newline; "mode" is "gap" when
// audio_scale is 1 and "level" otherwise; "silence_threshold" is null without audio. Names go
// through write_json_string.
#include "report/document.h"
#include "report/escape.h"
#include "report/text_builders.h"
#include "report/text_writer.h"

namespace cutspot {
namespace {

class json_document final : public document_renderer {
 public:
  json_document(const report_context& context, output_buffer* out) : context_(context), w_(out) {}

  void begin() override {
    const audio_range& range = context_.scan.range;
    w_ << "{\"file\": ";
    write_json_string(w_, context_.mpeg_name);
    w_ << ", \"event_file\": ";
    write_json_string(w_, context_.event_file_name);
    w_ << (is_gap_mode(range) ? ", \"mode\": \"gap\"" : ", \"mode\": \"level\"")
       << ", \"audio_scale\": " << range.audio_scale << ", \"silence_threshold\": ";
    // Without a single audio record there is no threshold; every level counts as quiet.
    if (range.audio_min > range.audio_max) {
      w_ << "null";
    } else {
      w_ << range.silence_threshold;
    }
    w_ << ", \"period_seconds\": " << context_.marks.period_seconds
       << ", \"ignore_seconds\": " << context_.marks.ignore_seconds
       << ", \"records\": " << context_.scan.records << ", \"marks\": [";
  }

  void mark(const cut_mark& mark) override {
    if (any_) w_ << ", ";
    any_ = true;
    w_ << "{\"kind\": \"" << mark.kind << "\", \"ns\": " << mark.ns << ", \"time\": \""
       << format_time(mark.ns).view() << "\", \"start_ns\": " << mark.start_ns
       << ", \"end_ns\": " << mark.end_ns << '}';
  }

  void end() override { w_ << "]}\n"; }

 private:
  const report_context& context_;
  text_writer w_;
  bool any_ = false;
};

}  // namespace

std::unique_ptr<document_renderer> make_json_document(const report_context& context,
                                                      output_buffer* out) {
  return std::make_unique<json_document>(context, out);
}

}  // namespace cutspot
