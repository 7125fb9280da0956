// cutspot-probe: decodes a TV recording and writes the event file cutspot reads.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "probe/event_writer.h"
#include "probe/options.h"
#include "probe/output_file.h"
#include "probe/probe_run.h"
#include "probe/progress.h"

namespace {

using namespace cutspot::probe;

constexpr const char* HELP =
    "Usage: cutspot-probe [options] RECORDING\n"
    "Decode a TV recording (.ts, .mpg, .mkv, .mp4, ...) and write its event file for\n"
    "cutspot: RECORDING with its extension replaced by .evt, unless -o says otherwise.\n"
    "\n"
    "  -o, --output FILE  write the event file to FILE ('-' for standard output)\n"
    "  -a, --audio N      measure the N-th audio stream (default: the main one)\n"
    "  -f, --force        replace an existing event file\n"
    "  -q, --quiet        no stream line, progress or summary on standard error\n"
    "      --no-audio-ok  write the event file of a recording without audio\n"
    "      --full-decode  decode every picture fully (slower; no decoder speed-ups)\n"
    "      --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "RECORDING '-' reads standard input (with -o).\n"
    "Exit status: 0 written, 1 the run failed, 2 usage error; 130/143 interrupted.\n";

volatile std::sig_atomic_t stop_signal = 0;

void on_signal(int sig) { stop_signal = sig; }

void say(const std::string& text) {
  std::string reason;
  write_all(STDERR_FILENO, reinterpret_cast<const unsigned char*>(text.data()), text.size(),
            &reason);
}

void install_handlers() {
  struct sigaction sa = {};
  sa.sa_handler = on_signal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  // A closed output pipe is reported as a write error, not a silent death.
  signal(SIGPIPE, SIG_IGN);
}

// Time-limited updates of the progress line on a terminal.
struct progress_state {
  bool shown = false;
  bool active = false;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  double last_s = -1;
};

int run(const probe_options& opts) {
  av_log_set_level(AV_LOG_QUIET);  // Every message comes from here, without control bytes.
  install_handlers();
  mode_t mask = umask(0);
  umask(mask);

  std::string target = opts.output.empty() ? default_event_name(opts.input) : opts.output;
  std::string name = opts.input == "-" ? "standard input" : opts.input;
  output_file out;
  std::string reason;
  if (!open_output(target, opts.force, mask, &out, &reason)) {
    say("cutspot-probe: " + reason + "\n");
    return EXIT_FAILED;
  }
  event_writer writer;
  start_events(writer, out.fd);

  progress_state progress;
  progress.active = !opts.quiet && isatty(STDERR_FILENO);
  probe_hooks hooks;
  hooks.note = [&](const std::string& text) {
    if (!opts.quiet) say("cutspot-probe: " + text + "\n");
  };
  if (progress.active) {
    hooks.progress = [&](double done, double total) {
      double now = std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                 progress.start).count();
      if (now - progress.last_s < PROGRESS_INTERVAL_S) return;
      progress.last_s = now;
      progress.shown = true;
      say(progress_line(done, total, now));
    };
  }
  hooks.write = [&](const std::vector<cutspot::event_record>& records, std::string* why) {
    return add_events(writer, records, why);
  };

  media_request request;
  request.input = opts.input;
  request.audio_stream = opts.audio_stream;
  request.no_audio_ok = opts.no_audio_ok;
  request.full_decode = opts.full_decode;
  request.stop = &stop_signal;
  probe_result result = run_probe(request, hooks);
  if (progress.shown) say(progress_clear());

  if (result.ok && !stop_signal) {
    result.ok = flush_events(writer, &result.reason) && commit_output(&out, &result.reason);
  }
  if (stop_signal) {
    abandon_output(&out);
    if (!opts.quiet) say("cutspot-probe: interrupted; no event file written\n");
    return 128 + stop_signal;
  }
  if (!result.ok) {
    abandon_output(&out);
    say("cutspot-probe: " + name + ": " + result.reason + "\n");
    return EXIT_FAILED;
  }
  if (!opts.quiet) {
    if (result.damaged > 0) {
      say("cutspot-probe: " + std::to_string(result.damaged) + " damaged packets skipped\n");
    }
    if (result.clock_jumps > 0) {
      say("cutspot-probe: the clock jumped " + std::to_string(result.clock_jumps) +
          " times; the recording time carries on across each\n");
    }
    say("cutspot-probe: " + std::to_string(result.pictures) + " pictures, " +
        std::to_string(result.windows) + " sound windows, " + std::to_string(writer.records) +
        " records written to " + (target == "-" ? "standard output" : target) + "\n");
  }
  return EXIT_OK;
}

}  // namespace

int main(int argc, char** argv) {
  // A closed standard stream would hand its number to the event file.
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", O_RDONLY) < 0) return EXIT_FAILED;
  }
  probe_options opts = parse_probe_options(argc, argv);
  switch (opts.action) {
    case probe_action::help:
      return write_all(STDOUT_FILENO, reinterpret_cast<const unsigned char*>(HELP),
                       std::char_traits<char>::length(HELP), &opts.refusal)
                 ? EXIT_OK
                 : EXIT_FAILED;
    case probe_action::version: {
      std::string text = "cutspot-probe " CUTSPOT_PROBE_VERSION "\nMIT licence\n";
      return write_all(STDOUT_FILENO, reinterpret_cast<const unsigned char*>(text.data()),
                       text.size(), &opts.refusal)
                 ? EXIT_OK
                 : EXIT_FAILED;
    }
    case probe_action::usage:
      say("cutspot-probe: " + opts.refusal + "\nTry 'cutspot-probe --help'.\n");
      return EXIT_USAGE;
    case probe_action::run:
      break;
  }
  return run(opts);
}
