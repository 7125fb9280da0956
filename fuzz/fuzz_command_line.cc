// An arbitrary argument vector, split from the input at NUL bytes, through a whole run in
// memory. What a name contains decides what opening it gives, so that every way a run can
// end is reached:
//   "real"     one of a few real files made at start-up: a regular event file, or with
//              "dir" a directory, "fifo" a FIFO, "missing" nothing, "empty" a pseudo-file
//              of size 0; never a file of that name
//   "missing"  cannot be opened;  "dir" is a directory
//   "shrunk"   delivers less than its length;  "broken" fails to read;  "unwound" fails
//              to rewind for its second pass
//   "huge"     a file of many marks, whose output passes the output buffer's size; with
//              "real" too, a real copy of it, and with "shrink" as well the copy is cut
//              short when the first output leaves the buffer, in the middle of a pass
//   "sys"      with "real", a file of /sys: 4096 bytes long by its size, far less to read
//   "nomem"    opening runs out of memory
//   "full"     standard output refuses every write; "devfull" is /dev/full, "devnull"
//              /dev/null, "nonblock" a small non-blocking pipe that is slowly drained
// Any other name opens a small event file with one mark.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <thread>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/audio_range.h"
#include "analysis/marks.h"
#include "app/command_line.h"
#include "app/mpeg_name.h"
#include "app/run.h"
#include "document_checks.h"
#include "eventfile/byte_source.h"
#include "eventfile/event_record.h"
#include "eventfile/record_reader.h"
#include "output_checks.h"
#include "report/level_graph.h"
#include "report/output_buffer.h"

namespace {

namespace fz = cutspot::fuzzing;
using fz::check;

constexpr std::int64_t MS = 1000000;

void put_record(std::string* out, std::int64_t ns, std::uint32_t type, std::uint32_t value,
                unsigned char sample) {
  cutspot::event_record r;
  r.timestamp_ns = ns;
  r.type = type;
  r.value = value;
  for (unsigned char& s : r.samples) s = sample;
  unsigned char bytes[cutspot::EVENT_RECORD_SIZE];
  cutspot::encode_event_record(r, bytes);
  out->append(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// Loud and bright programme with a dark, quiet moment at 70 s: one mark.
const std::string& small_file() {
  static const std::string file = [] {
    std::string f = "HEADER!!";
    for (std::int64_t ms = 1000; ms <= 73000; ms += 500) {
      const bool dark = ms >= 70000 && ms < 71000;
      put_record(&f, ms * MS, 1, dark ? 10 : 4000, 0);
      put_record(&f, (ms + 20) * MS, 2, 0, dark ? 5 : 180);
    }
    return f;
  }();
  return file;
}

// A dark, quiet moment every 1.1 s: 25000 marks, more output than one buffer holds.
const std::string& huge_file() {
  static const std::string file = [] {
    std::string f = "HEADER!!";
    for (std::int64_t i = 1; i <= 25000; ++i) {
      const std::int64_t t = i * 1100 * MS;
      put_record(&f, t, 1, 10, 0);
      put_record(&f, t + 10 * MS, 2, 0, 5);
      put_record(&f, t + 1050 * MS, 1, 4000, 0);
    }
    return f;
  }();
  return file;
}

// The real files, held open and opened again through /proc/self/fd, so that nothing is
// left behind when a failed check aborts the process.
struct real_files {
  int small_fd = -1;
  int huge_fd = -1;
  int fifo_fd = -1;
  std::string sys_path;

  real_files() {
    small_fd = memfd_create("x.evt", MFD_CLOEXEC);
    huge_fd = memfd_create("h.evt", MFD_CLOEXEC);
    check(small_fd >= 0 && huge_fd >= 0, "memfd_create");
    fill(small_fd, small_file());
    char dir[] = "/tmp/cutspot-fuzz-XXXXXX";
    check(mkdtemp(dir) != nullptr, "mkdtemp");
    const std::string fifo = std::string(dir) + "/f.evt";
    check(mkfifo(fifo.c_str(), 0600) == 0, "mkfifo");
    fifo_fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    unlink(fifo.c_str());
    rmdir(dir);
    check(fifo_fd >= 0, "open FIFO");
    // A file of /sys: a page long by its size, far less to read.
    for (const char* candidate :
         {"/sys/devices/system/cpu/modalias", "/sys/kernel/mm/transparent_hugepage/enabled",
          "/sys/devices/system/cpu/online"}) {
      if (access(candidate, R_OK) == 0) {
        sys_path = candidate;
        break;
      }
    }
  }

  static void fill(int fd, const std::string& bytes) {
    check(ftruncate(fd, 0) == 0 &&
              pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()),
          "writing a real file");
  }
  static std::string path_of(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

  enum kind { huge_copy, sys_file, directory, fifo, missing, empty, small };
  // Which one a name picks.
  static kind kind_of(std::string_view name) {
    static constexpr std::pair<std::string_view, kind> WORDS[] = {
        {"huge", huge_copy}, {"sys", sys_file},    {"dir", directory},
        {"fifo", fifo},      {"missing", missing}, {"empty", empty}};
    for (const auto& [word, k] : WORDS) {
      if (name.find(word) != std::string_view::npos) return k;
    }
    return small;
  }
  std::string path_for(const std::string& name) const {
    switch (kind_of(name)) {
      case huge_copy:
        fill(huge_fd, huge_file());  // Whole again.
        return path_of(huge_fd);
      case sys_file:
        return sys_path.empty() ? "/nonexistent/sys" : sys_path;
      case directory:
        return "/";
      case fifo:
        return path_of(fifo_fd);
      case missing:
        return "/nonexistent/cutspot-fuzz.evt";
      case empty:
        return "/proc/self/stat";  // Regular, and of size 0 whatever it holds.
      case small:
        break;
    }
    return path_of(small_fd);
  }
};

const real_files& the_real_files() {
  static const real_files files;
  return files;
}

// A source that fails in one of the ways a file can.
class failing_source final : public cutspot::byte_source {
 public:
  enum class way { shrunk, broken, unwound };
  failing_source(std::string_view bytes, way how) : bytes_(bytes), how_(how) {}

  std::uint64_t length() const override { return bytes_.size(); }
  bool rewind() override {
    pos_ = 0;
    if (how_ == way::unwound && ++rewinds_ > 1) {
      error_ = "Illegal seek";
      return false;
    }
    return true;
  }
  std::size_t read(unsigned char* buf, std::size_t n) override {
    // Half of the file, then the end (shrunk) or an error (broken).
    const std::size_t limit = how_ == way::unwound ? bytes_.size() : bytes_.size() / 2;
    const std::size_t count = std::min(n, limit - std::min(limit, pos_));
    if (count == 0 && how_ == way::broken) error_ = "Input/output error";
    std::memcpy(buf, bytes_.data() + pos_, count);
    pos_ += count;
    return count;
  }
  std::string error() const override { return error_; }

 private:
  std::string_view bytes_;
  way how_;
  std::size_t pos_ = 0;
  int rewinds_ = 0;
  std::string error_;
};

// Cuts the real huge file short at the first write, and keeps nothing.
class shrinking_sink final : public cutspot::byte_sink {
 public:
  bool write(const char*, std::size_t) override {
    if (!cut_) check(ftruncate(the_real_files().huge_fd, 1000) == 0, "ftruncate");
    cut_ = true;
    return true;
  }
  std::string error() const override { return {}; }

 private:
  bool cut_ = false;
};

// The write end of a pipe of one page, non-blocking, that a thread of its own drains a
// little at a time: writes find it full and wait.
int nonblocking_pipe() {
  static const int fd = [] {
    int ends[2];
    check(pipe(ends) == 0, "pipe");
    fcntl(ends[1], F_SETPIPE_SZ, 4096);
    fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) | O_NONBLOCK);
    std::thread([reader = ends[0]] {
      char chunk[512];
      while (read(reader, chunk, sizeof chunk) > 0) {
      }
    }).detach();
    return ends[1];
  }();
  return fd;
}

class refusing_sink final : public cutspot::byte_sink {
 public:
  bool write(const char*, std::size_t) override {
    check(!refused_, "written to again after a failed write");
    refused_ = true;
    return false;
  }
  std::string error() const override { return "No space left on device"; }

 private:
  bool refused_ = false;
};

bool contains(std::string_view text, std::string_view word) {
  return text.find(word) != std::string_view::npos;
}

cutspot::open_result open_name(const std::string& name) {
  if (contains(name, "nomem")) throw std::bad_alloc();
  if (contains(name, "real")) return cutspot::open_event_file(the_real_files().path_for(name));
  cutspot::open_result result;
  if (contains(name, "missing")) {
    result.reason = "No such file or directory";
    return result;
  }
  result.status = cutspot::open_status::unusable;
  if (contains(name, "dir")) {
    result.reason = "is a directory";
    return result;
  }
  result.status = cutspot::open_status::opened;
  const std::string& bytes = contains(name, "huge") ? huge_file() : small_file();
  if (contains(name, "shrunk")) {
    result.source = std::make_unique<failing_source>(bytes, failing_source::way::shrunk);
  } else if (contains(name, "broken")) {
    result.source = std::make_unique<failing_source>(bytes, failing_source::way::broken);
  } else if (contains(name, "unwound")) {
    result.source = std::make_unique<failing_source>(bytes, failing_source::way::unwound);
  } else {
    result.source = std::make_unique<cutspot::memory_source>(bytes);
  }
  return result;
}

bool one_line(std::string_view text) {
  return !text.empty() && text.find('\n') == text.size() - 1;
}

// A successful run's output, checked against what the file holds.
void check_output(const cutspot::command_line& cl, std::string_view out) {
  const bool real = contains(cl.file_name, "real");
  const real_files::kind kind = real_files::kind_of(cl.file_name);
  const bool huge = real ? kind == real_files::huge_copy : contains(cl.file_name, "huge");
  static const std::string nothing;
  const std::string& file = real && kind == real_files::empty ? nothing
                            : huge                            ? huge_file()
                                                              : small_file();
  cutspot::memory_source source(file);
  cutspot::record_reader reader(source);
  cutspot::recording_scan scan;
  check(cutspot::scan_audio_range(&reader, &scan) == cutspot::pass_status::ok, "scan");
  if (cl.settings.show_graph) {
    const std::string_view graph = out;
    out = fz::check_graph(out, scan.records);
    if (!huge) {
      // The graph a record at a time, as a caller of graph_step would print it.
      static cutspot::string_sink stepped;
      stepped.text.clear();
      static std::optional<cutspot::output_buffer> buffer;
      buffer.emplace(stepped);
      cutspot::graph_state state;
      state.range = scan.range;
      buffer->append(cutspot::GRAPH_HEADER);
      for (std::uint64_t i = 0; i < scan.records; ++i) {
        cutspot::graph_step(&state, fz::record_at(file, i), &*buffer);
      }
      buffer->append('\n');
      check(buffer->flush() && stepped.error().empty(), "flush");
      check(graph.substr(0, graph.size() - out.size()) == stepped.text, "graph_step", stepped.text);
    }
  }
  // The marks as the detection gives them: the event file target checks those; here
  // the point is that the command line gets the document it asked for.
  std::vector<cutspot::cut_mark> marks;
  if (scan.records > 0) {
    check(cutspot::for_each_mark(&reader, scan.range, cl.settings.marks,
                                 [&](const cutspot::quiet_interval&, const cutspot::cut_mark* m) {
                                   if (m != nullptr) marks.push_back(*m);
                                   return true;
                                 }) == cutspot::pass_status::ok,
          "detection");
  }
  const std::string mpeg_name = cutspot::derive_mpeg_name(cl.file_name);
  const fz::run_facts facts{cl.file_name, mpeg_name, cl.settings.marks, &scan, &marks};
  const std::string_view option = cl.settings.format->option;
  if (option.empty()) {
    check(out == fz::expected_cut_list(mpeg_name, marks), "cut list", out);
  } else if (option == "-json") {
    fz::check_json_document(out, facts);
  } else if (option == "-svg") {
    fz::check_svg_document(out, facts);
  } else if (option == "-edl") {
    check(out == fz::expected_edl(marks), "EDL", out);
  } else {
    fz::check_chapters_document(out, facts);
  }
}

// One input. A function of this file's own, not the entry point itself, so that its
// lambdas and what they instantiate get names no other target shares: the coverage
// report merges the targets by name.
int test_one_input(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args = {"cutspot"};
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  for (std::size_t start = 0; start <= input.size() && size > 0;) {
    std::size_t end = input.find('\0', start);
    if (end == std::string_view::npos) end = input.size();
    args.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  const int argc = static_cast<int>(argv.size());
  const cutspot::command_line cl = cutspot::parse_command_line(argc, argv.data());

  bool opened = false;
  auto opener = [&](const std::string& name) {
    check(name == cl.file_name && contains(name, ".evt"), "opened another name", name);
    check(!opened, "opened twice", name);
    opened = true;
    return open_name(name);
  };
  const bool running = cl.action == cutspot::command::run;
  const std::string& name = cl.file_name;
  const bool real = contains(name, "real");
  const bool full = running && contains(name, "full");
  const real_files::kind kind = real_files::kind_of(name);
  const bool shrink = real && kind == real_files::huge_copy && contains(name, "shrink");
  // Where standard output goes; all but the string keep nothing to look at.
  const bool elsewhere =
      running && !full && (shrink || contains(name, "devnull") || contains(name, "nonblock"));
  static cutspot::string_sink out;
  static cutspot::string_sink err;
  out.text.clear();
  err.text.clear();
  refusing_sink refusing;
  static const int dev_null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  static const int dev_full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  cutspot::fd_sink to_null(dev_null);
  cutspot::fd_sink to_full(dev_full);
  cutspot::fd_sink to_pipe(contains(name, "nonblock") ? nonblocking_pipe() : -1);
  shrinking_sink shrinking;
  cutspot::byte_sink* stdout_sink = &out;
  if (full) {
    stdout_sink =
        contains(name, "devfull") ? static_cast<cutspot::byte_sink*>(&to_full) : &refusing;
  } else if (shrink) {
    stdout_sink = &shrinking;
  } else if (contains(name, "devnull")) {
    stdout_sink = &to_null;
  } else if (contains(name, "nonblock")) {
    stdout_sink = &to_pipe;
  }
  const int status = cutspot::run_cutspot(argc, argv.data(), opener, *stdout_sink, err, {64});
  check(err.error().empty() && out.error().empty(), "a string sink failed");

  // Every diagnostic is a line of ours, with no control character a terminal could obey.
  fz::check_diagnostics(err.text);
  switch (cl.action) {
    case cutspot::command::help:
      check(status == 0 && out.text.starts_with(cutspot::USAGE) && err.text.empty() &&
                contains(out.text, "-chapters") && contains(out.text, "Exit status"),
            "help", out.text);
      return 0;
    case cutspot::command::version:
      check(
          status == 0 && out.text.starts_with("cutspot " CUTSPOT_VERSION "\n") && err.text.empty(),
          "version", out.text);
      return 0;
    case cutspot::command::usage:
      check(status == cutspot::EXIT_USAGE && !opened && out.text == cutspot::USAGE,
            "usage status without the usage", out.text);
      check(err.text == "cutspot: " + cl.refusal + "\nTry 'cutspot --help'.\n",
            "the reason for the usage", err.text);
      return 0;
    case cutspot::command::run:
      break;
  }
  check(opened, "a run without opening the file");
  // Names with control characters never get this far.
  for (char c : cl.file_name) {
    check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "control character in a name",
          cl.file_name);
  }
  std::string_view errors = err.text;
  for (const std::string& warning : cl.warnings) {
    check(fz::take_line(&errors) == "cutspot: " + warning + "\n", "warning", err.text);
  }
  // Whatever the run printed before it failed cannot be written either, which adds a
  // line of its own.
  constexpr std::string_view WRITE_ERROR =
      "cutspot: error writing standard output: No space left on device\n";
  auto failure = [&](int want, std::string_view ending) {
    // A run stops at its first write error, which may come before the failure it was
    // headed for: then the write error is all it says.
    if (full && want == cutspot::EXIT_FAILED && errors == WRITE_ERROR) {
      check(status == want, "the status of a failed write", err.text);
      return;
    }
    if (full && errors.ends_with(WRITE_ERROR) && errors.size() > WRITE_ERROR.size()) {
      errors.remove_suffix(WRITE_ERROR.size());
    }
    check(status == want && one_line(errors) && errors.ends_with(ending),
          "the message of a failed run", err.text);
    if (want == cutspot::EXIT_USAGE && stdout_sink == &out)
      check(out.text == cutspot::USAGE, "usage", out.text);
    if (want == cutspot::EXIT_FAILED) check(!out.text.ends_with("E\n"), "an end line", out.text);
  };
  if (contains(name, "nomem")) return failure(cutspot::EXIT_FAILED, "cutspot: out of memory\n"), 0;
  if (real ? kind == real_files::missing : contains(name, "missing")) {
    return failure(cutspot::EXIT_USAGE, ": No such file or directory\n"), 0;
  }
  if (real ? kind == real_files::directory : contains(name, "dir")) {
    return failure(cutspot::EXIT_FAILED, ": is a directory\n"), 0;
  }
  if (real && kind == real_files::fifo)
    return failure(cutspot::EXIT_FAILED, ": not a regular file\n"), 0;
  if (!real && contains(name, "shrunk"))
    return failure(cutspot::EXIT_FAILED, " changed while it was read\n"), 0;
  if (!real && contains(name, "broken"))
    return failure(cutspot::EXIT_FAILED, ": Input/output error\n"), 0;
  if (!real && contains(name, "unwound"))
    return failure(cutspot::EXIT_FAILED, ": Illegal seek\n"), 0;
  if (real && kind == real_files::empty) {
    check(fz::take_line(&errors).ends_with(" holds no whole record\n"), "no records warning",
          err.text);
  }
  if (real && kind == real_files::sys_file) {
    // Without /sys, nothing to open.
    if (the_real_files().sys_path.empty()) {
      return failure(cutspot::EXIT_USAGE, ": No such file or directory\n"), 0;
    }
    return failure(cutspot::EXIT_FAILED, " changed while it was read\n"), 0;
  }
  // Cut short under a pass when the output filled the buffer during one; otherwise only
  // when the run had read everything.
  if (shrink && status != 0)
    return failure(cutspot::EXIT_FAILED, " changed while it was read\n"), 0;
  if (full) return failure(cutspot::EXIT_FAILED, WRITE_ERROR), 0;
  check(status == 0 && errors.empty(), "a successful run", err.text);
  if (!elsewhere) check_output(cl, out.text);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return test_one_input(data, size);
}
