#include "app/run.h"

#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

#include "analysis/audio_range.h"
#include "analysis/breaks.h"
#include "analysis/level_walk.h"
#include "analysis/marks.h"
#include "app/command_line.h"
#include "app/formats.h"
#include "app/mpeg_name.h"
#include "eventfile/record_reader.h"
#include "report/document.h"
#include "report/escape.h"

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

// A batch run must be able to tell "no breaks" from "no data".
void warn_if_nothing_to_judge(const command_line& cl, const recording_scan& scan, byte_sink& err) {
  if (scan.records == 0) {
    report(err, "warning: " + quote_name(cl.file_name) + " holds no whole record");
  } else if (scan.unknown * 10 > scan.records * 9) {
    report(err, "warning: " + quote_name(cl.file_name) + ": " + std::to_string(scan.unknown) +
                    " of " + std::to_string(scan.records) +
                    " records are neither audio nor video; is it an event file?");
  }
}

class run_passes {
 public:
  run_passes(const command_line& cl, record_reader* reader, output_buffer* out, byte_sink& err,
             const run_options& options)
      : cl_(cl), reader_(reader), out_(out), err_(err), options_(options) {}

  // Returns EXIT_OK or EXIT_FAILED.
  int run() {
    const run_settings& settings = cl_.settings;
    recording_scan scan;
    if (failed(scan_audio_range(reader_, &scan))) return EXIT_FAILED;
    warn_if_nothing_to_judge(cl_, scan, err_);

    const std::string mpeg_name = derive_mpeg_name(cl_.file_name);
    const output_format& format = *settings.format;
    const bool with_breaks = (format.consumes & CONSUMES_BREAKS) != 0;
    report_context context{cl_.file_name, mpeg_name, settings.marks, scan, settings.breaks, {}, {},
                           with_breaks};

    // The graph comes first and whole, before anything the detection pass prints.
    if (settings.show_graph) {
      const std::unique_ptr<document_renderer> graph = GRAPH_FORMAT.make(context, out_);
      graph->begin();
      if (failed(level_pass(scan.range, graph.get()))) return EXIT_FAILED;
      graph->end();
    }

    // Spots are judged against the whole recording's loudness, known before they come.
    loudness_profile profile;
    if (with_breaks && failed(profile_loudness(reader_, scan.range, &profile))) {
      return EXIT_FAILED;
    }
    context.loudness = judge_loudness(profile);
    // Only a document of breaks may name the recording, and only then is it looked for.
    const std::string recording =
        with_breaks ? recording_name(cl_.file_name, options_.file_exists) : std::string();
    context.recording_name = recording;
    const std::unique_ptr<document_renderer> document = format.make(context, out_);
    document->begin();
    if ((format.consumes & CONSUMES_LEVELS) != 0) {
      if (failed(level_pass(scan.range, document.get()))) return EXIT_FAILED;
    }
    if (failed(detection_pass(format, context, document.get()))) return EXIT_FAILED;
    document->end();
    return EXIT_OK;
  }

 private:
  // Every record with the levels that the views show, to the renderer.
  pass_status level_pass(const audio_range& range, document_renderer* viewer) {
    // The header alone may meet a failure, and a file without records has no step to see it.
    if (out_->failed()) return pass_status::write_error;
    return view_levels(reader_, range, [&](std::span<const level_sample> samples) {
      viewer->levels(samples);
      // Formatting lines for nobody is wasted work.
      return !out_->failed();
    });
  }

  // The intervals, marks and breaks, to the document as its row asks.
  pass_status detection_pass(const output_format& format, const report_context& context,
                             document_renderer* document) {
    const bool intervals = (format.consumes & CONSUMES_INTERVALS) != 0;
    const bool marks = (format.consumes & CONSUMES_MARKS) != 0;
    const auto on_interval = [&](const quiet_interval& interval, const cut_mark* mark) {
      if (intervals) document->interval(interval);
      if (marks && mark != nullptr) document->mark(*mark);
      return !out_->failed();
    };
    if (!context.with_breaks) {
      return for_each_mark(reader_, context.scan.range, context.marks, on_interval);
    }
    break_finder finder(context.breaks, context.loudness);
    const pass_status status = for_each_mark(
        reader_, context.scan.range, context.marks,
        [&](const quiet_interval& interval, const cut_mark* mark) {
          if (const std::optional<ad_break> found = finder.add_interval(interval)) {
            document->add_break(*found);
          }
          return on_interval(interval, mark);
        },
        [&](const event_record& record, const level_step& step, const level_tracker& levels) {
          finder.add_levels(record, step, levels);
        });
    if (status != pass_status::ok) return status;
    while (const std::optional<ad_break> found = finder.finish()) document->add_break(*found);
    return pass_status::ok;
  }

  // Reports a failed pass. A write error is reported once, when the run finishes.
  bool failed(pass_status status) {
    switch (status) {
      case pass_status::ok:
        return false;
      case pass_status::read_error:
        report(err_, "error reading " + quote_name(cl_.file_name) + ": " + reader_->error());
        break;
      case pass_status::changed:
        report(err_, quote_name(cl_.file_name) + " changed while it was read");
        break;
      case pass_status::write_error:
        break;
    }
    return true;
  }

  const command_line& cl_;
  record_reader* reader_;
  output_buffer* out_;
  byte_sink& err_;
  const run_options& options_;
};

int run_command(int argc, const char* const* argv, const source_opener& open, output_buffer* out,
                byte_sink& err, const run_options& options) {
  const command_line cl = parse_command_line(argc, argv);
  switch (cl.action) {
    case command::help:
      out->append(help_text());
      return finish(out, err, EXIT_OK);
    case command::version:
      out->append("cutspot " CUTSPOT_VERSION "\nLicence: MIT; free software, without warranty.\n");
      return finish(out, err, EXIT_OK);
    case command::usage:
      // The usage line first, also on a terminal, where standard error is not buffered.
      out->append(USAGE);
      out->flush();
      report(err, cl.refusal);
      err.write("Try 'cutspot --help'.\n", 22);
      return finish(out, err, EXIT_USAGE);
    case command::run:
      break;
  }
  for (const std::string& warning : cl.warnings) report(err, warning);

  open_result opened = open(cl.file_name);
  switch (opened.status) {
    case open_status::opened:
      break;
    case open_status::cannot_open:
      out->append(USAGE);
      out->flush();
      report(err, "cannot open " + quote_name(cl.file_name) + ": " + opened.reason);
      return finish(out, err, EXIT_USAGE);
    case open_status::unusable:
      report(err, "cannot read " + quote_name(cl.file_name) + ": " + opened.reason);
      return finish(out, err, EXIT_FAILED);
  }
  record_reader reader(*opened.source, options.block_records);
  return finish(out, err, run_passes(cl, &reader, out, err, options).run());
}

}  // namespace

int run_cutspot(int argc, const char* const* argv, const source_opener& open, byte_sink& out_sink,
                byte_sink& err, const run_options& options) {
  // Every allocation of a run happens before or between the passes, never per record;
  // when one fails the run ends with one message, whatever was printed so far kept.
  std::unique_ptr<output_buffer> out(new (std::nothrow) output_buffer(out_sink));
  if (out == nullptr) {
    report(err, "out of memory");
    return EXIT_FAILED;
  }
  try {
    return run_command(argc, argv, open, out.get(), err, options);
  } catch (const std::bad_alloc&) {
    report(err, "out of memory");
    return finish(out.get(), err, EXIT_FAILED);
  }
}

}  // namespace cutspot
