// Runs the built cutspot as a separate process and captures what it prints.
#ifndef CUTSPOT_TESTS_PROCESS_H_
#define CUTSPOT_TESTS_PROCESS_H_

#include <functional>
#include <string>
#include <vector>

namespace cutspot::testing {

struct process_result {
  int status = -1;  // Exit status, or 128 + signal number when killed by a signal.
  std::string out;
  std::string err;
};

// Where the child's standard output goes, and where it runs.
struct stdout_target {
  // capture: into a file, read afterwards; file: the path, e.g. "/dev/full"; closed: no
  // standard output at all; pipe: a pipe whose first byte is read (the child has then
  // opened its file and begun to print), then nothing until while_blocked() has
  // returned, so the child blocks on a full pipe meanwhile.
  enum kind { capture, file, closed, pipe } how = capture;
  std::string path = {};
  bool non_blocking = false;  // With pipe: the child's end is non-blocking.
  std::function<void()> while_blocked = {};
  std::string working_directory = {};  // Empty: the test's own.
};

// Runs `program args...` with standard input from /dev/null.
process_result run_process(const std::string& program, const std::vector<std::string>& args,
                           const stdout_target& target = {});

// Runs the cutspot binary under test.
process_result run_cutspot(const std::vector<std::string>& args, const stdout_target& target = {});

// A fresh directory removed with everything in it when the object goes.
class temp_dir {
 public:
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  const std::string& path() const { return path_; }
  // Writes bytes to path()/name and returns the full path.
  std::string write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
// Expects `text` to be the file tests/golden/<name>; with CUTSPOT_UPDATE_GOLDEN=1 in the
// environment, writes it there instead (review the difference before committing it).
void expect_golden(const std::string& name, const std::string& text);

}  // namespace cutspot::testing

#endif  // CUTSPOT_TESTS_PROCESS_H_
