// cutspot-probe: decodes a TV recording and writes the event file cutspot reads.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "common/standard_streams.h"
#include "common/write_all.h"
#include "probe/event_writer.h"
#include "probe/ffmpeg/probe_run.h"
#include "probe/options.h"
#include "probe/output_file.h"
#include "probe/progress.h"

namespace {

using namespace cutspot;
using namespace cutspot::probe;

constexpr const char* HELP =
    "Usage: cutspot-probe [options] RECORDING\n"
    "Decode a TV recording (.ts, .mpg, .mkv, .mp4, ...) and write its event file for\n"
    "cutspot: RECORDING with its extension replaced by .evt, unless -o says otherwise.\n"
    "\n"
    "  -o, --output FILE  write the event file to FILE ('-' for standard output)\n"
    "  -a, --audio N      measure audio track N (1 = the first; default: the main one)\n"
    "  -f, --force        replace an existing event file\n"
    "  -q, --quiet        no stream line, progress, summary or 'exists' message\n"
    "  -j, --threads N    video decoder threads (default 0: one per processor)\n"
    "      --no-audio-ok  write the event file of a recording without audio\n"
    "      --full-decode  decode every picture fully (slower; no decoder speed-ups)\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "RECORDING '-' reads standard input (with -o).\n"
    "Exit status: 0 written, 1 failed, 2 usage error, 3 the event file exists,\n"
    "128+N interrupted by signal N. No event file is left behind by a run that did not\n"
    "succeed.\n";

volatile std::sig_atomic_t stop_signal = 0;

void on_signal(int sig) {
  stop_signal = sig;
}

void say(const std::string& text) {
  cutspot::write_all(STDERR_FILENO, text.data(), text.size(), ::write);
}

// Every signal whose default would end the program without a word: the temporary file
// goes with it, and the status says which signal it was. SIGPIPE stays ignored, so that a
// closed output pipe is reported as a write error.
void install_handlers() {
  struct sigaction sa = {};
  sa.sa_handler = on_signal;
  // A second signal ends the program at once if the first one's clean-up hangs. Without
  // SA_RESTART a blocking open or read returns, so a run waiting for a FIFO stops too.
  sa.sa_flags = SA_RESETHAND;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGTERM, SIGVTALRM, SIGPROF,
                  SIGXCPU, SIGXFSZ, SIGPOLL, SIGPWR, SIGSTKFLT}) {
    sigaction(sig, &sa, nullptr);
  }
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) sigaction(sig, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

// "1 record", "2 records".
std::string count(long n, const char* what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

// True if both names lead to one existing file.
bool same_file(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
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
  std::string name = opts.input == "-" ? "standard input" : printable(opts.input);
  if (target == "-" && isatty(STDOUT_FILENO)) {
    say("cutspot-probe: an event file is binary; not writing it to a terminal\n");
    return EXIT_USAGE;
  }
  std::string reason;
  if (target != "-" && opts.input != "-" && same_file(opts.input, target)) {
    say("cutspot-probe: " + printable(target) + " is the recording itself\n");
    return EXIT_USAGE;
  }
  // Whether the event file exists is known before the recording is opened, so a batch
  // run skips what it did before quickly; the temporary file is made only once the
  // recording is open, so a run stopped while it waits for its input leaves nothing.
  output_file out;
  if (!check_output(target, opts.force, &out, &reason)) {
    // A batch run with -q over a folder skips the recordings done before in silence.
    if (!opts.quiet) say("cutspot-probe: " + printable(reason) + "\n");
    return EXIT_EXISTS;
  }
  event_writer writer;
  bool output_failed = false;

  progress_state progress;
  progress.active = !opts.quiet && isatty(STDERR_FILENO);
  probe_hooks hooks;
  hooks.note = [&](const std::string& text) {
    if (!opts.quiet) say("cutspot-probe: " + printable(text) + "\n");
  };
  if (progress.active) {
    hooks.progress = [&](double done, double total) {
      double now =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - progress.start).count();
      if (now - progress.last_s < PROGRESS_INTERVAL_S) return;
      progress.last_s = now;
      progress.shown = true;
      say(progress_line(done, total, now));
    };
  }
  hooks.opened = [&](std::string* why) {
    if (!open_output(target, opts.force, mask, &out, why)) {
      output_failed = true;
      return false;
    }
    start_events(writer, out.fd);
    return true;
  };

  media_request request;
  request.input = opts.input;
  request.audio_stream = opts.audio_stream;
  request.no_audio_ok = opts.no_audio_ok;
  request.full_decode = opts.full_decode;
  request.threads = opts.threads;
  request.stop = &stop_signal;
  probe_result result = run_probe(request, hooks, writer);
  if (progress.shown) say(progress_clear());

  // Signals are held while the file is put in place: once it is there, the run has
  // succeeded whatever came meanwhile, and the status says so. Any other way out leaves
  // out to remove its temporary file.
  bool committed = false;
  if (result.status == run_status::ok && !stop_signal) {
    committed = flush_events(writer, &result.reason) && commit_output(&out, &result.reason);
    if (!committed) result.status = run_status::failed;
  }
  if (stop_signal && !committed) {
    if (!opts.quiet) say("cutspot-probe: interrupted; no event file written\n");
    return 128 + stop_signal;
  }
  if (result.status != run_status::ok) {
    if (output_failed && out.exists) {
      if (!opts.quiet) say("cutspot-probe: " + printable(result.reason) + "\n");
    } else if (output_failed) {
      say("cutspot-probe: " + printable(result.reason) + "\n");
    } else {
      say("cutspot-probe: " + name + ": " + printable(result.reason) + "\n");
    }
    return out.exists ? EXIT_EXISTS : EXIT_FAILED;
  }
  if (!opts.quiet) {
    if (result.damaged > 0) {
      say("cutspot-probe: " + count(result.damaged, "damaged packet") + " skipped\n");
    }
    if (result.late > 0) {
      say("cutspot-probe: " + count(result.late, "record") +
          " left out for coming after later ones\n");
    }
    if (result.clock_jumps > 0) {
      say(result.clock_jumps == 1
              ? "cutspot-probe: the clock jumped once; the recording time carries on across it\n"
              : "cutspot-probe: the clock jumped " + std::to_string(result.clock_jumps) +
                    " times; the recording time carries on across each\n");
    }
    say("cutspot-probe: " + std::to_string(result.pictures) + " pictures, " +
        std::to_string(result.windows) + " sound windows, " + std::to_string(writer.records) +
        " records written to " + (target == "-" ? "standard output" : printable(target)) + "\n");
  }
  return EXIT_OK;
}

}  // namespace

int main(int argc, char** argv) {
  if (!fill_closed_standard_streams()) return EXIT_FAILED;
  probe_options opts = parse_probe_options(argc, argv);
  switch (opts.action) {
    case probe_action::help:
      return cutspot::write_all(STDOUT_FILENO, HELP, std::char_traits<char>::length(HELP),
                                ::write) == 0
                 ? EXIT_OK
                 : EXIT_FAILED;
    case probe_action::version: {
      std::string text = "cutspot-probe " CUTSPOT_PROBE_VERSION
                         "\nLicence: MIT; free software, without warranty.\n";
      return cutspot::write_all(STDOUT_FILENO, text.data(), text.size(), ::write) == 0
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
