// Arbitrary bytes as an event file and a command line, through whole runs of the program
// in memory (run_cutspot). Each output is checked for its structure (fuzz/checks.h). When
// the file opens as plain bytes and the output takes everything, the run is made once for
// each document of DOCUMENTS with the same options, and the documents are checked against
// one another: the cut list, the JSON document, the edit decision list, the chapters and
// the picture hold the same marks, and the graph is followed by the very cut list.
//
// The program never reads the 8-byte header, so its bytes pick the run, and the bytes
// after the last whole record, which it ignores too, end the command line: the file's
// name (".evt" added when it lacks one), or with NUL bytes the arguments themselves. The
// input stays exactly the event file: one that fails replays by hand.
//   byte 0     records per read: 1 + the byte, or the default at 255
//   bytes 1-2  a bit for each word of OPTION_WORDS: those go first on the command line
//   byte 3     how the file opens: a row of SOURCES (the byte modulo their number)
//   byte 4     where standard output goes: a row of SINKS (modulo their number)
//   byte 5     with other arguments, or another source or sink: the document of the run
//   bytes 6-7  how many bytes of the last records the command line takes too
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "app/run.h"
#include "checks.h"
#include "event_file_writer.h"
#include "eventfile/byte_source.h"
#include "in_memory_run.h"

namespace {

namespace fz = cutspot::fuzzing;
using fz::check;

// The options a run may get, in this order; a new option gets a row (up to 16).
constexpr std::string_view OPTION_WORDS[] = {
    "-p", "-p0", "-p1",  "-p50", "-p300", "-p2147483648", "-p-1", "-p +7",
    "-i", "-i0", "-i10", "-i50", "-i400", "-i-1",         "-i 9",
};
static_assert(std::size(OPTION_WORDS) <= 16, "two header bytes pick the words");

// The documents, each a run of its own: the cut list, the graph before it, and the rest.
enum document { CUT_LIST, GRAPH, JSON, EDL, CHAPTERS, SVG, DOCUMENTS };
constexpr std::string_view DOCUMENT_OPTION[DOCUMENTS] = {"",     "-graph",    "-json",
                                                         "-edl", "-chapters", "-svg"};

// Gives the bytes in short reads (how 'r'), or half of them and then ends ('s') or fails
// ('b'), or fails to rewind for the second pass ('u').
class odd_source final : public cutspot::byte_source {
 public:
  odd_source(std::string_view bytes, char how)
      : length_(bytes.size()),
        how_(how),
        inner_(bytes.substr(0, how == 's' || how == 'b' ? bytes.size() / 2 : bytes.size())) {}
  std::uint64_t length() const override { return length_; }
  bool rewind() override { return inner_.rewind() && (how_ != 'u' || ++rewinds_ < 2); }
  std::size_t read(unsigned char* buf, std::size_t n) override {
    const std::size_t count = inner_.read(buf, how_ == 'r' && n > 1 ? n - n / 3 : n);
    failed_ = count == 0 && how_ == 'b';
    return count;
  }
  std::string error() const override {
    if (how_ == 'u' && rewinds_ > 1) return "Illegal seek";
    return failed_ ? "Input/output error" : inner_.error();
  }

 private:
  std::size_t length_;
  char how_;
  cutspot::memory_source inner_;
  int rewinds_ = 0;
  bool failed_ = false;
};

// A dark, quiet moment every 1.1 s from 70 s: more output than an output buffer holds.
const std::string& huge_file() {
  static const std::string file = [] {
    using namespace cutspot::testing;
    std::vector<cutspot::event_record> r;
    for (std::int64_t t = 70 * SEC; t < 70 * SEC + 25000 * 1100 * MS; t += 1100 * MS) {
      r.insert(r.end(), {audio(t, 10), video(t + 10 * MS, 5), audio(t + 1050 * MS, 4000)});
    }
    return event_file(r);
  }();
  return file;
}

// The event file as a real file, made once and rewritten for each input.
std::string real_copy(std::string_view bytes) {
  static const int fd = memfd_create("x.evt", MFD_CLOEXEC);
  check(fd >= 0 && ftruncate(fd, 0) == 0 &&
            pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()),
        "a real copy");
  return "/proc/self/fd/" + std::to_string(fd);
}

// A FIFO, held open so that nothing is left behind when a check aborts.
const std::string& fifo() {
  static const std::string path = [] {
    const std::string name = "/tmp/cutspot-fuzz-" + std::to_string(getpid()) + ".evt";
    check(mkfifo(name.c_str(), 0600) == 0, "mkfifo");
    const int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    unlink(name.c_str());
    return "/proc/self/fd/" + std::to_string(fd);
  }();
  return path;
}

cutspot::open_result opened(std::unique_ptr<cutspot::byte_source> source) {
  return {cutspot::open_status::opened, std::move(source), {}};
}
cutspot::open_result refused(cutspot::open_status status, const char* reason) {
  return {status, nullptr, reason};
}

// How the file opens. The first two rows are plain bytes, whose documents are compared.
using source_maker = std::function<cutspot::open_result(std::string_view file)>;
const source_maker SOURCES[] = {
    [](std::string_view f) { return opened(std::make_unique<cutspot::memory_source>(f)); },
    [](std::string_view f) { return opened(std::make_unique<odd_source>(f, 'r')); },
    [](std::string_view f) { return opened(std::make_unique<odd_source>(f, 's')); },
    [](std::string_view f) { return opened(std::make_unique<odd_source>(f, 'b')); },
    [](std::string_view f) { return opened(std::make_unique<odd_source>(f, 'u')); },
    [](std::string_view) { return opened(std::make_unique<cutspot::memory_source>(huge_file())); },
    [](std::string_view) -> cutspot::open_result { throw std::bad_alloc(); },
    [](std::string_view) { return refused(cutspot::open_status::cannot_open, "No such file"); },
    [](std::string_view) { return refused(cutspot::open_status::unusable, "is a directory"); },
    [](std::string_view f) { return cutspot::open_event_file(real_copy(f)); },
    [](std::string_view) { return cutspot::open_event_file("/"); },
    [](std::string_view) { return cutspot::open_event_file(fifo()); },
    [](std::string_view) { return cutspot::open_event_file("/proc/self/stat"); },  // Size 0.
    [](std::string_view) { return cutspot::open_event_file("/nonexistent/x.evt"); },
    // A page long by its size; every read fails.
    [](std::string_view) {
      return cutspot::open_event_file("/sys/devices/software/power/autosuspend_delay_ms");
    },
};

// The write end of a pipe of one page, non-blocking, that a thread drains slowly.
int nonblocking_pipe() {
  int ends[2];
  check(pipe(ends) == 0, "pipe");
  fcntl(ends[1], F_SETPIPE_SZ, 4096);
  fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) | O_NONBLOCK);
  std::thread([reader = ends[0]] {
    for (char chunk[512]; read(reader, chunk, sizeof chunk) > 0;) {
    }
  }).detach();
  return ends[1];
}

// Where standard output goes, but to a string (row 0): nowhere that keeps it.
cutspot::byte_sink* sink(unsigned row) {
  static fz::refusing_sink refusing;
  static cutspot::fd_sink dev_full(open("/dev/full", O_WRONLY | O_CLOEXEC));
  static cutspot::fd_sink slow_pipe(nonblocking_pipe());
  cutspot::byte_sink* const SINKS[] = {nullptr, &refusing, &dev_full, &slow_pipe};
  return SINKS[row % std::size(SINKS)];
}

using run = cutspot::testing::run_result;

run run_with(const std::vector<std::string>& args,
             const std::function<cutspot::open_result()>& open, cutspot::byte_sink* to,
             std::size_t block_records) {
  bool opened = false;
  auto opener = [&](const std::string& name) {
    check(!opened && name.find(".evt") != std::string::npos, "opened twice, or no event file");
    opened = true;
    return open();
  };
  run result = fz::run_checked(args, opener, to, {block_records});
  const int status = result.status;
  const std::string& text = result.out;
  if (status == cutspot::EXIT_USAGE) {
    check(to || text == fz::USAGE_LINE, "the usage", text);
  } else if (text.starts_with("Usage: ") || text.starts_with("cutspot ")) {
    check(status == 0 && !opened && fz::is_clean_text(text), "help or version", text);
  } else if (text.starts_with('F') || text.starts_with("Timestamp")) {
    // The cut list holds the name's bytes as they are, but no control character.
    check(text.find_first_of(fz::CONTROL_BYTES) == text.npos, "a control byte", text);
    fz::check_cut_list(text, status);
  } else if (status == 0 && !to) {
    std::uint64_t records = 0;
    if (text.starts_with('{')) fz::check_json(text, &records);
    if (text.starts_with('<')) fz::check_svg(text);
    if (text.starts_with(';')) fz::check_chapters(text);
    if (text.empty() || fz::is_digits(text.substr(0, 1)) || text.starts_with('-')) {
      fz::check_edl(text);
    }
  }
  return result;
}

// The documents of one detection agree on its marks; the JSON document has them all.
void check_agreement(const run (&runs)[DOCUMENTS], std::uint64_t records) {
  const std::vector<fz::seen_mark> listed = fz::check_cut_list(runs[CUT_LIST].out, 0);
  std::uint64_t json_records = 0;
  const std::vector<fz::seen_mark> marks = fz::check_json(runs[JSON].out, &json_records);
  check(json_records == records, "the JSON record count", runs[JSON].out);
  check(listed.size() == marks.size(), "the cut list and the JSON document", runs[JSON].out);
  for (std::size_t i = 0; i < marks.size(); ++i) {
    check(listed[i].kind == marks[i].kind && listed[i].time == marks[i].time,
          "a mark of the cut list and of the JSON document", listed[i].time);
  }

  const std::string& graph = runs[GRAPH].out;
  check(graph.ends_with("\n" + runs[CUT_LIST].out), "the cut list after the graph", graph);
  std::uint64_t record_lines = 0;
  std::string_view lines(graph.data(), graph.size() - runs[CUT_LIST].out.size() - 1);
  check(fz::take_line(&lines) == "Timestamp : T Video Lvl | Audio Lvl\n", "the graph's header");
  while (!lines.empty()) record_lines += fz::take_line(&lines) != "----------:\n";
  check(record_lines == records, "a graph line for each record", graph);

  const std::vector<std::string> edl = fz::check_edl(runs[EDL].out);
  check(edl.size() == marks.size(), "a scene marker for each mark", runs[EDL].out);
  for (std::size_t i = 0; i < edl.size(); ++i) {
    check(edl[i] == fz::seconds_text(marks[i].ns), "a scene marker's time", runs[EDL].out);
  }

  // A chapter begins at the first mark of each later millisecond.
  const std::vector<fz::chapter> chapters = fz::check_chapters(runs[CHAPTERS].out);
  check(chapters.empty() == marks.empty(), "chapters without marks", runs[CHAPTERS].out);
  std::size_t next = 0;
  for (const fz::chapter& c : chapters) {
    if (c.title == "Start") continue;
    while (next < marks.size() && marks[next].kind + (" " + marks[next].time) != c.title) ++next;
    check(next < marks.size() && marks[next].ns / 1000000 == c.start_ms,
          "a chapter of no mark, or out of order", c.title);
    ++next;
  }

  // The picture's groups take the marks in order.
  std::size_t taken = 0;
  for (const fz::mark_group& g : fz::check_svg(runs[SVG].out)) {
    check(g.count <= marks.size() - taken && g.ns == marks[taken].ns &&
              g.last_ns == marks[taken + g.count - 1].ns,
          "a mark group of the picture", runs[SVG].out);
    bool any_d = false;
    for (std::size_t i = taken; i < taken + g.count; ++i) any_d = any_d || marks[i].kind == 'D';
    check(g.kind == (any_d ? 'D' : 'A'), "a mark group's kind", runs[SVG].out);
    taken += g.count;
  }
  check(taken == marks.size(), "the picture's marks", runs[SVG].out);
}

// One input. A function of this file's own, not the entry point itself, so that its
// lambdas get names of their own.
int test_one_input(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const auto header = [&](std::size_t i) { return i < size ? data[i] : 0u; };
  const std::size_t block_records = header(0) == 255 ? 8192 : 1 + header(0);
  const std::size_t source = header(3) % std::size(SOURCES);
  cutspot::byte_sink* const to = sink(header(4));
  const std::uint64_t records = size < 8 ? 0 : (size - 8) / 24;

  std::vector<std::string> args;
  const unsigned words = header(1) | header(2) << 8;
  for (std::size_t k = 0; k < std::size(OPTION_WORDS); ++k) {
    if ((words >> k & 1) != 0) args.emplace_back(OPTION_WORDS[k]);
  }
  const std::size_t leftover = size < 8 ? 0 : (size - 8) % 24;
  const std::size_t reach = std::min<std::size_t>(header(6) | header(7) << 8, records * 24);
  std::string_view tail = file.substr(size - leftover - reach);
  const bool verbatim = tail.find('\0') != tail.npos;
  for (std::size_t end = tail.find('\0'); verbatim && !tail.empty(); end = tail.find('\0')) {
    if (end != 0) args.emplace_back(tail.substr(0, end));
    tail.remove_prefix(end == tail.npos ? tail.size() : end + 1);
  }
  std::string name(tail);
  if (name.find(".evt") == std::string::npos) name += ".evt";
  // C0 and DEL would break the cut list's lines: a name may not hold them.
  const bool control =
      name.find_first_of(fz::CONTROL_BYTES) != name.npos || name.find('\n') != name.npos;
  auto open = [&] { return SOURCES[source](file); };

  if (verbatim || source > 1 || to) {
    // One run, of the document that byte 5 picks.
    if (!verbatim && !DOCUMENT_OPTION[header(5) % DOCUMENTS].empty()) {
      args.emplace_back(DOCUMENT_OPTION[header(5) % DOCUMENTS]);
    }
    if (!verbatim) args.push_back(name);
    run_with(args, open, to, block_records);
    return 0;
  }
  run runs[DOCUMENTS];
  for (int k = 0; k < DOCUMENTS; ++k) {
    std::vector<std::string> command = args;
    if (!DOCUMENT_OPTION[k].empty()) command.emplace_back(DOCUMENT_OPTION[k]);
    command.push_back(name);
    runs[k] = run_with(command, open, nullptr, block_records);
    check(runs[k].status == runs[0].status, "the documents' runs end differently", runs[k].err);
    // The cut list holds the name's bytes as they are; the documents, only clean text.
    check(k <= GRAPH || fz::is_clean_text(runs[k].out, k == EDL, k == JSON),
          "a control character or ill-formed UTF-8", runs[k].out);
  }
  if (runs[0].status == cutspot::EXIT_USAGE) {
    // Refused for the name alone exactly when it holds a control character.
    args.emplace_back("x.evt");
    const bool options_refused =
        run_with(args, open, nullptr, block_records).status == cutspot::EXIT_USAGE;
    check(options_refused || control, "a name refused for nothing", name);
    return 0;
  }
  check(!control, "a name with a control character accepted", name);
  check(runs[0].status == 0, "a run in memory failed", runs[0].err);
  for (std::string_view line = runs[0].err; !line.empty();) {
    check(fz::take_line(&line).starts_with("cutspot: warning: "), "a run with an error");
  }
  check_agreement(runs, records);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return test_one_input(data, size);
}
