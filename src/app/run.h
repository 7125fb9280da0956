// One run of cutspot, from the argument vector to the exit status: the passes over the
// event file in their fixed order and every report of failure. The file system and the
// two output streams come in from outside, so the whole program can run in memory.
#ifndef CUTSPOT_APP_RUN_H_
#define CUTSPOT_APP_RUN_H_

#include <cstddef>
#include <functional>
#include <string>

#include "common/exit_codes.h"
#include "eventfile/byte_source.h"
#include "report/output_buffer.h"

namespace cutspot {

// Opens an event file, with the contract of open_event_file.
using source_opener = std::function<open_result(const std::string& name)>;

// Whether a file of that name exists; the cutting script looks for the recording.
using existence_check = std::function<bool(const std::string& name)>;

struct run_options {
  // Records per read; tests and the fuzzer make it small to cross block boundaries.
  std::size_t block_records = 8192;
  existence_check file_exists = file_exists_on_disk;
};

int run_cutspot(int argc, const char* const* argv, const source_opener& open, byte_sink& out,
                byte_sink& err, const run_options& options = {});

}  // namespace cutspot

#endif  // CUTSPOT_APP_RUN_H_
