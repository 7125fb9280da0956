// "-breaks -json": one line for scripts, the recording as parts in time order, each a
// programme part or a break with its evidence:
//   {"file": "show.mpg", "event_file": "show.evt", "shortest_break_seconds": 30,
//    "spot_grid_seconds": 5, "usual_audio_level": 6400, "pause_audio_level": 4400,
//    "parts": [{"kind": "programme", "number": 1, "start_ns": 0, "end_ns": 720480000000,
//    "start": "012:00.480", "end": ...}, {"kind": "advertising", "number": 1, ...,
//    "from_recording_start": false, "to_recording_end": false, "spots": 6,
//    "separator_count": 7, "separators_ns": [720480000000, ...],
//    "evidence": {"worst_grid_fit_ms": -40, "audio_mean": 7420, "video_mean": 140,
//    "pause_permille": 0}}, ...], "programme_parts": 2, "breaks": 1}
// The parts are written as the breaks are found, so memory stays flat; a break lists at
// most its first 64 separators, "separator_count" says how many it spans.
#include "common/time_units.h"
#include "report/document.h"
#include "report/escape.h"
#include "report/programme_parts.h"
#include "report/text_builders.h"
#include "report/text_writer.h"

namespace cutspot {
namespace {

class break_json final : public document_renderer {
 public:
  break_json(const report_context& context, output_buffer* out) : context_(context), w_(out) {}

  void begin() override {
    const loudness_levels& levels = context_.loudness;
    w_ << "{\"file\": ";
    write_json_string(w_, context_.mpeg_name);
    w_ << ", \"event_file\": ";
    write_json_string(w_, context_.event_file_name);
    w_ << ", \"shortest_break_seconds\": " << context_.breaks.shortest_break_seconds
       << ", \"spot_grid_seconds\": " << context_.breaks.spot_grid_seconds
       << ", \"usual_audio_level\": " << levels.usual << ", \"pause_audio_level\": " << levels.pause
       << ", \"parts\": [";
  }

  void add_break(const ad_break& found) override {
    parts_.add_break(found, [&](const recording_part& part) { print(part); });
  }

  void end() override {
    const std::int64_t end_ns =
        context_.scan.records == 0 ? 0 : std::max<std::int64_t>(0, context_.scan.latest_ns);
    parts_.finish(end_ns, [&](const recording_part& part) { print(part); });
    w_ << "], \"programme_parts\": " << parts_.programmes() << ", \"breaks\": " << parts_.breaks()
       << "}\n";
  }

 private:
  void print(const recording_part& part) {
    if (any_) w_ << ", ";
    any_ = true;
    w_ << "{\"kind\": \"" << (part.advertising ? "advertising" : "programme")
       << "\", \"number\": " << part.number << ", \"start_ns\": " << part.start_ns
       << ", \"end_ns\": " << part.end_ns << ", \"start\": \"" << format_time(part.start_ns).view()
       << "\", \"end\": \"" << format_time(part.end_ns).view() << '"';
    if (part.found != nullptr) {
      const ad_break& b = *part.found;
      w_ << ", \"from_recording_start\": " << (b.from_recording_start ? "true" : "false")
         << ", \"to_recording_end\": " << (b.to_recording_end ? "true" : "false")
         << ", \"spots\": " << b.spots << ", \"separator_count\": " << b.separators
         << ", \"separators_ns\": [";
      const std::size_t listed = std::min<std::size_t>(b.separators, LISTED_SEPARATORS);
      for (std::size_t i = 0; i < listed; ++i) {
        if (i > 0) w_ << ", ";
        w_ << b.separator_ns[i];
      }
      w_ << "], \"evidence\": {\"worst_grid_fit_ms\": " << b.worst_fit_ns / NS_PER_MS
         << ", \"audio_mean\": " << b.audio_mean << ", \"video_mean\": " << b.video_mean
         << ", \"pause_permille\": " << b.quiet_permille << "}";
    }
    w_ << '}';
  }

  const report_context& context_;
  text_writer w_;
  part_walker parts_;
  bool any_ = false;
};

}  // namespace

std::unique_ptr<document_renderer> make_break_json(const report_context& context,
                                                   output_buffer* out) {
  return std::make_unique<break_json>(context, out);
}

}  // namespace cutspot
