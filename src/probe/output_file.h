// Where the event file goes and how it gets there: a temporary file in the target's
// directory, renamed over the target only once the whole recording has been read, so
// that a failed or interrupted run never leaves a partial event file behind, and an
// existing one (recorders write them too) is kept unless replacing it was asked for.
#ifndef CUTSPOT_PROBE_OUTPUT_FILE_H_
#define CUTSPOT_PROBE_OUTPUT_FILE_H_

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace cutspot::probe {

// The recording's name with its extension replaced by ".evt" ("show.ts" -> "show.evt",
// "a.b/show" -> "a.b/show.evt"). A leading dot of the last component is no extension.
std::string default_event_name(std::string_view recording);

struct output_file {
  std::string target;     // "-" means standard output.
  std::string temp_name;  // Empty when writing to standard output.
  int fd = -1;
  bool replace = false;
  bool exists = false;  // Failed because the target exists and replace is false.
  bool direct = false;  // Written to the target itself, a device or a pipe.
};

// Fails with a reason when the target exists and replace is false, or the temporary
// file cannot be made. The file gets mode 0644 less the umask given. A target that is
// neither a regular file nor a directory (a device, a FIFO), or any name in /dev/, is
// opened and written to.
bool open_output(const std::string& target, bool replace, mode_t umask_bits, output_file* out,
                 std::string* reason);

// Writes all bytes, retrying after interruptions and short writes.
bool write_all(int fd, const unsigned char* data, std::size_t size, std::string* reason);

// Closes and renames the temporary file over the target. Without replace an event file
// that appeared meanwhile is still kept.
bool commit_output(output_file* out, std::string* reason);

// Closes and removes the temporary file, after a failure or an interruption.
void abandon_output(output_file* out);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_OUTPUT_FILE_H_
