// The documents of advertising breaks (-breaks):
//
// The list, in the spirit of the cut list: the recording's line, one line per break with
// its start and end, and the end line once the run is complete:
//   Fshow.mpg
//   B012:00.480 015:31.120
//   E
// "-edl": Kodi's edit decision list, one commercial break (action 3) per break, in
// seconds with three decimals: 720.480<TAB>931.120<TAB>3
// "-chapters": ffmpeg's metadata format, one chapter per part, titled "Programme 1",
// "Advertising 1", "Programme 2", ...; without a break, one programme chapter.
// "-ffconcat": ffmpeg's concat script of the programme parts of the recording, for
// cutting the breaks out without re-encoding:
//   ffconcat version 1.0
//   file 'show.ts'
//   outpoint 720.480
//   file 'show.ts'
//   inpoint 931.120
// Times are truncated to the millisecond, as the cut list's are.
#include "common/time_units.h"
#include "report/document.h"
#include "report/programme_parts.h"
#include "report/text_builders.h"
#include "report/text_writer.h"

namespace cutspot {
namespace {

// The recording's end: its latest record, or its start when it has none.
std::int64_t recording_end_ns(const report_context& context) {
  return context.scan.records == 0 ? 0 : std::max<std::int64_t>(0, context.scan.latest_ns);
}

class break_list final : public document_renderer {
 public:
  break_list(const report_context& context, output_buffer* out) : context_(context), w_(out) {}

  void begin() override { w_ << 'F' << context_.mpeg_name << '\n'; }

  void add_break(const ad_break& found) override {
    w_ << 'B' << format_time(found.start_ns).view() << ' ' << format_time(found.end_ns).view()
       << '\n';
  }

  void end() override { w_ << "E\n"; }

 private:
  const report_context& context_;
  text_writer w_;
};

class break_edl final : public document_renderer {
 public:
  break_edl(const report_context&, output_buffer* out) : w_(out) {}

  void begin() override {}

  void add_break(const ad_break& found) override {
    write_seconds(w_, found.start_ns);
    w_ << '\t';
    write_seconds(w_, found.end_ns);
    w_ << "\t3\n";
  }

  void end() override {}

 private:
  text_writer w_;
};

class break_chapters final : public document_renderer {
 public:
  break_chapters(const report_context& context, output_buffer* out) : context_(context), w_(out) {}

  void begin() override { w_ << ";FFMETADATA1\n"; }

  void add_break(const ad_break& found) override {
    parts_.add_break(found, [&](const recording_part& part) { print(part); });
  }

  void end() override {
    parts_.finish(recording_end_ns(context_), [&](const recording_part& part) { print(part); });
  }

 private:
  void print(const recording_part& part) {
    w_ << "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" << part.start_ns / NS_PER_MS
       << "\nEND=" << part.end_ns / NS_PER_MS
       << "\ntitle=" << (part.advertising ? "Advertising " : "Programme ") << part.number << '\n';
  }

  const report_context& context_;
  text_writer w_;
  part_walker parts_;
};

// A name in single quotes, as the script's reader takes it: a quote inside ends the
// quoted text, adds an escaped quote and opens a new one.
void write_quoted_path(text_writer& w, std::string_view name) {
  w << '\'';
  for (char c : name) {
    if (c == '\'') {
      w << "'\\''";
    } else {
      w << c;
    }
  }
  w << '\'';
}

class ffconcat_document final : public document_renderer {
 public:
  ffconcat_document(const report_context& context, output_buffer* out)
      : context_(context), w_(out) {}

  void begin() override { w_ << "ffconcat version 1.0\n"; }

  void add_break(const ad_break& found) override {
    parts_.add_break(found, [&](const recording_part& part) { print(part, false); });
  }

  void end() override {
    parts_.finish(recording_end_ns(context_),
                  [&](const recording_part& part) { print(part, true); });
  }

 private:
  // The last part runs to the end of the recording, whatever its length there.
  void print(const recording_part& part, bool last) {
    if (part.advertising) return;
    w_ << "file ";
    write_quoted_path(w_, context_.recording_name);
    w_ << '\n';
    if (part.start_ns > 0) {
      w_ << "inpoint ";
      write_seconds(w_, part.start_ns);
      w_ << '\n';
    }
    if (!last) {
      w_ << "outpoint ";
      write_seconds(w_, part.end_ns);
      w_ << '\n';
    }
  }

  const report_context& context_;
  text_writer w_;
  part_walker parts_;
};

}  // namespace

std::unique_ptr<document_renderer> make_break_list(const report_context& context,
                                                   output_buffer* out) {
  return std::make_unique<break_list>(context, out);
}

std::unique_ptr<document_renderer> make_break_edl(const report_context& context,
                                                  output_buffer* out) {
  return std::make_unique<break_edl>(context, out);
}

std::unique_ptr<document_renderer> make_break_chapters(const report_context& context,
                                                       output_buffer* out) {
  return std::make_unique<break_chapters>(context, out);
}

std::unique_ptr<document_renderer> make_ffconcat_document(const report_context& context,
                                                          output_buffer* out) {
  return std::make_unique<ffconcat_document>(context, out);
}

}  // namespace cutspot
