// One pass over a recording: every packet of the chosen streams decoded, each picture and
// each block of sound handed to the record pipeline, whose records go to the writer.
#ifndef CUTSPOT_PROBE_FFMPEG_PROBE_RUN_H_
#define CUTSPOT_PROBE_FFMPEG_PROBE_RUN_H_

#include <functional>
#include <string>

#include "probe/event_writer.h"
#include "probe/ffmpeg/media_input.h"
#include "probe/run_status.h"

namespace cutspot::probe {

struct probe_hooks {
  std::function<void(const std::string&)> note;  // Which streams are used.
  // Once the recording is open, before anything is read: false (with a reason) fails.
  // It starts the writer.
  std::function<bool(std::string*)> opened;
  std::function<void(double done_s, double total_s)> progress;  // After each packet.
};

struct probe_result {
  run_status status = run_status::failed;
  std::string reason;  // Why it failed.
  long damaged = 0;    // Packets and pictures skipped as damaged.
  long pictures = 0;
  long windows = 0;
  int clock_jumps = 0;  // Resets and wraps of the recording's clock carried across.
  long late = 0;        // Records that came too late for their place and were dropped.
};

// The records go to writer, started by hooks.opened; what is buffered at the end is left
// for the caller to flush once it knows the run succeeded.
probe_result run_probe(const media_request& request, const probe_hooks& hooks,
                       event_writer& writer);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_FFMPEG_PROBE_RUN_H_
