#include "app/run.h"

#include <cstring>
#include <string_view>

#include "analysis/audio_range.h"
#include "analysis/quiet_intervals.h"
#include "app/command_line.h"
#include "app/mpeg_name.h"
#include "eventfile/record_reader.h"
#include "report/cut_list.h"
#include "report/exports.h"
#include "report/level_graph.h"
#include "report/report_context.h"
#include "report/svg_envelope.h"
#include "report/svg_picture.h"

namespace cutspot {
namespace {

// One line on standard error. Assembled without allocating, since it may report that
// memory ran out, and written at once, so lines of parallel runs do not interleave.
void report(byte_sink& err, std::string_view what) {
  constexpr std::string_view prefix = "cutspot: ";
  char line[4096];
  if (prefix.size() + what.size() + 1 <= sizeof line) {
    std::memcpy(line, prefix.data(), prefix.size());
    std::memcpy(line + prefix.size(), what.data(), what.size());
    line[prefix.size() + what.size()] = '\n';
    err.write(line, prefix.size() + what.size() + 1);
  } else {
    err.write(prefix.data(), prefix.size());
    err.write(what.data(), what.size());
    err.write("\n", 1);
  }
}

// Flushes what was printed so far and turns the outcome into the exit status.
int finish(output_buffer* out, byte_sink& err, int status) {
  if (!out->flush()) {
    report(err, "error writing standard output: " + out->error());
    return status == EXIT_OK ? EXIT_FAILED : status;
  }
  return status;
}

// The passes over the open file. Returns EXIT_OK or EXIT_FAILED.
int run_passes(const command_line& cl, record_reader* reader, output_buffer* out, byte_sink& err) {
  const run_settings& settings = cl.settings;
  auto read_failed = [&] {
    if (!reader->failed()) return false;
    report(err, "error reading " + cl.file_name + ": " + reader->error());
    return true;
  };

  const audio_range range = scan_audio_range(reader);
  if (read_failed()) return EXIT_FAILED;

  if (settings.show_graph) {
    print_level_graph(reader, range, out);
    if (read_failed()) return EXIT_FAILED;
    out->append('\n');
  }

  std::unique_ptr<level_envelope> svg_levels;
  if (settings.format == output_format::svg) {
    svg_levels = std::make_unique<level_envelope>();
    collect_svg_levels(reader, range, svg_levels.get());
    if (read_failed()) return EXIT_FAILED;
  }

  const std::string mpeg_name = derive_mpeg_name(cl.file_name);
  if (settings.format == output_format::cut_list) print_file_line(mpeg_name, out);

  auto detector = std::make_unique<interval_detector>();
  detect_intervals(reader, range, detector.get());
  if (read_failed()) return EXIT_FAILED;
  if (detector->out_of_memory) {
    report(err, "out of memory");
    return EXIT_FAILED;
  }

  const report_context context{cl.file_name, mpeg_name, settings.marks, range, detector.get()};
  switch (settings.format) {
    case output_format::cut_list:
      emit_marks(&detector->intervals, settings.marks, out);
      break;
    case output_format::json:
      print_json(context, out);
      break;
    case output_format::edl:
      print_edl(context, out);
      break;
    case output_format::chapters:
      print_chapters(context, out);
      break;
    case output_format::svg:
      print_svg(context, *svg_levels, out);
      break;
  }
  return EXIT_OK;
}

}  // namespace

int run_cutspot(int argc, const char* const* argv, const source_opener& open, byte_sink& out_sink,
                byte_sink& err) {
  auto out = std::make_unique<output_buffer>(out_sink);
  const command_line cl = parse_command_line(argc, argv);
  switch (cl.action) {
    case command::help:
      out->append(USAGE);
      return finish(out.get(), err, EXIT_OK);
    case command::version:
      out->append("cutspot " CUTSPOT_VERSION "\n");
      return finish(out.get(), err, EXIT_OK);
    case command::usage:
      out->append(USAGE);
      if (!cl.refusal.empty()) report(err, cl.refusal);
      return finish(out.get(), err, EXIT_USAGE);
    case command::run:
      break;
  }

  std::string reason;
  bool usage_error = false;
  std::unique_ptr<byte_source> source = open(cl.file_name, &reason, &usage_error);
  if (source == nullptr) {
    if (!usage_error) {
      report(err, "cannot read " + cl.file_name + ": " + reason);
      return finish(out.get(), err, EXIT_FAILED);
    }
    out->append(USAGE);
    report(err, "cannot open " + cl.file_name + ": " + reason);
    return finish(out.get(), err, EXIT_USAGE);
  }

  auto reader = std::make_unique<record_reader>(*source);
  return finish(out.get(), err, run_passes(cl, reader.get(), out.get(), err));
}

}  // namespace cutspot
