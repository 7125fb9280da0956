// The command line of cutspot-probe:
//
//   cutspot-probe [-o FILE] [-a N] [-f] [-q] [-j N] [--no-audio-ok] [--full-decode] RECORDING
//
// Options and the recording come in any order; "--" ends the options. "-h", "--help"
// and "--version" act where they stand: the arguments after them are not examined.
// Parsing is pure: it reads the arguments and says what to do, or why it refuses them.
#ifndef CUTSPOT_PROBE_OPTIONS_H_
#define CUTSPOT_PROBE_OPTIONS_H_

#include <string>
#include <string_view>

#include "common/exit_codes.h"
#include "common/quote_name.h"

namespace cutspot::probe {

enum class probe_action { run, help, version, usage };

struct probe_options {
  probe_action action = probe_action::usage;
  std::string input;         // "-" reads standard input.
  std::string output;        // Empty: beside the recording. "-": standard output.
  int audio_stream = 0;      // 1-based among the audio streams; 0 lets the library choose.
  int threads = 0;           // Decoder threads; 0 chooses by the number of processors.
  bool force = false;        // Replace an existing event file.
  bool quiet = false;        // No stream line, progress or summary.
  bool no_audio_ok = false;  // Accept a recording without audio.
  bool full_decode = false;  // Turn the decoders' speed-ups off.
  std::string refusal;       // With probe_action::usage: the one-line reason.
};

probe_options parse_probe_options(int argc, const char* const* argv);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_OPTIONS_H_
