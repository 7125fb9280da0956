// Where the event file goes and how it gets there: a temporary file in the target's
// directory, moved to the target only once the whole recording has been read, so that a
// failed or interrupted run never leaves a partial event file behind, and an existing one
// (recorders write them too) is kept unless replacing it was asked for.
#ifndef CUTSPOT_PROBE_OUTPUT_FILE_H_
#define CUTSPOT_PROBE_OUTPUT_FILE_H_

#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

namespace cutspot::probe {

// The recording's name with its extension replaced by ".evt" ("show.ts" -> "show.evt",
// "a.b/show" -> "a.b/show.evt"). A leading dot of the last component is no extension.
std::string default_event_name(std::string_view recording);

// Temporary files are named TEMP_PREFIX and six random characters, and locked while
// their run lives. One left unlocked for longer than this was left by a killed run.
inline constexpr const char* TEMP_PREFIX = ".cutspot-probe-";
inline constexpr std::time_t STALE_AFTER_S = 60;

// Abandoned when it goes out of scope uncommitted.
struct output_file {
  output_file() = default;
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;
  ~output_file();

  std::string target;     // "-" means standard output.
  std::string temp_name;  // Empty when writing to standard output.
  int fd = -1;
  bool replace = false;
  bool exists = false;  // Failed because the target exists and replace is false.
  bool direct = false;  // Written to the target itself, a device or a pipe.
};

// The system calls that put the file in place, so that tests can make them fail.
struct output_calls {
  ssize_t (*write)(int, const void*, std::size_t);
  int (*fsync)(int);
  int (*rename)(const char*, const char*);
  int (*rename_noreplace)(const char*, const char*);  // Fails with EEXIST, never replaces.
};
extern output_calls output_sys;
extern const output_calls REAL_OUTPUT_CALLS;

// True for a name that stands for an open file descriptor (/dev/stdout, /dev/fd/3,
// /proc/self/fd/1), whatever kind of file that descriptor has open.
bool names_open_descriptor(const std::string& path);

// What open_output decides before it makes anything: fails with a reason (and exists
// set) when the target exists and replace is false; sets direct for a device, a pipe or
// a descriptor's name.
bool check_output(const std::string& target, bool replace, output_file* out, std::string* reason);

// Fails with a reason when the target exists and replace is false, or the temporary
// file cannot be made. The file gets mode 0644 less the umask given. A target that is
// neither a regular file nor a directory (a device, a FIFO), or a name for an open
// descriptor, is opened and written to. Temporary files that killed runs left in the
// directory are removed first.
bool open_output(const std::string& target, bool replace, mode_t umask_bits, output_file* out,
                 std::string* reason);

// Removes the temporary files of dead runs in dir: unlocked and older than STALE_AFTER_S
// at now. Returns how many.
int remove_stale_temporaries(const std::string& dir, std::time_t now);

// Writes all bytes with output_sys.write; the reason names the event file.
bool write_all(int fd, const unsigned char* data, std::size_t size, std::string* reason);

// Syncs, closes and moves the temporary file to the target; without replace, an event
// file that appeared meanwhile is kept. Signals are held while the file is put in place,
// so that a handler runs only once the result is known: true means the file is there.
bool commit_output(output_file* out, std::string* reason);

// Closes and removes the temporary file, after a failure or an interruption; nothing
// once committed.
void abandon_output(output_file* out);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_OUTPUT_FILE_H_
