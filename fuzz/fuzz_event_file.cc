// Arbitrary bytes as an event file: one detection renders every document at once (the
// cut list, -svg, -json, -edl and -chapters, and the graph in its own pass), and each is
// checked against the marks that detection gave: the cut list and the edit decision list
// byte for byte, the JSON parsed strictly, the picture as well-formed XML read back mark
// by mark, the chapters in order. The marks themselves are checked against the checker's
// own rule, the first pass against its own count, and the intervals against detect_step
// run a record at a time.
//
// The program never examines the 8-byte header, so its bytes pick the run here, and the
// bytes after the last whole record, which it ignores too, are the file's name (up to a
// NUL byte, as in an argument; ".evt" is added when they lack it). The input stays exactly
// the event file, and one that fails can be replayed with `cutspot` by hand:
//   byte 0  records per read block: 1 + the byte, or the default at 255
//   byte 1  -p: bits 0-2 pick a form, the rest a number of seconds for the last form
//   byte 2  -i: the same
//   byte 3  where each output buffer first flushes, inside its document: 0 at the end only
//   byte 4  bits 0-2: the whole program too, with one document (0-6) or not (7), when
//           bits 5-6 are 0 (a quarter of the inputs: it costs the passes again);
//           bit 4: its standard output refuses every write
//   byte 5  bit 0: the documents' outputs refuse every write; bit 1: the bytes come in
//           short reads
//   byte 6  how many bytes of the last records the name takes in front of the tail
// A name with a control character must be refused by the command line; the documents get
// it all the same, since they must stay well-formed whatever the bytes.
//
// Buffers live across executions, so one execution costs little more than the passes.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/audio_range.h"
#include "analysis/marks.h"
#include "app/command_line.h"
#include "app/formats.h"
#include "app/mpeg_name.h"
#include "app/run.h"
#include "document_checks.h"
#include "eventfile/byte_source.h"
#include "eventfile/event_record.h"
#include "eventfile/record_reader.h"
#include "output_checks.h"
#include "report/document.h"
#include "report/level_graph.h"
#include "report/output_buffer.h"

namespace {

namespace fz = cutspot::fuzzing;
using fz::check;

constexpr std::size_t DOCUMENT_COUNT = std::size(cutspot::MARK_FORMATS);

// A document's output: drops the first `skip` bytes, which only moved the buffer's flush
// point into the document, and keeps the rest; or refuses every write, as a full disk does.
class document_sink final : public cutspot::byte_sink {
 public:
  void reset(std::size_t skip, bool refuse) {
    text.clear();
    skip_ = skip;
    refuse_ = refuse;
    refused_ = false;
  }
  bool write(const char* data, std::size_t n) override {
    check(!refused_, "written to again after a failed write");
    if (refuse_) {
      refused_ = true;
      return false;
    }
    const std::size_t skipped = std::min(n, skip_);
    skip_ -= skipped;
    text.append(data + skipped, n - skipped);
    return true;
  }
  std::string error() const override { return refuse_ ? "No space left on device" : ""; }
  bool refused() const { return refused_; }

  std::string text;

 private:
  std::size_t skip_ = 0;
  bool refuse_ = false;
  bool refused_ = false;
};

// An output buffer with its sink, made again for every input in the same storage.
struct output {
  document_sink sink;
  std::optional<cutspot::output_buffer> buffer;
};

// How many bytes an output buffer holds before it first passes them on.
std::size_t buffer_capacity() {
  static const std::size_t capacity = [] {
    cutspot::string_sink sink;
    auto buffer = std::make_unique<cutspot::output_buffer>(sink);
    while (sink.text.empty()) buffer->append('.');
    return sink.text.size();
  }();
  return capacity;
}

// Starts an output whose first flush falls `offset` bytes into what is written next.
cutspot::output_buffer* start_output(output* o, std::size_t offset, bool refuse) {
  const std::size_t capacity = buffer_capacity();
  const std::size_t pad = offset == 0 ? 0 : capacity - std::min(offset, capacity);
  o->sink.reset(pad, refuse);
  o->buffer.emplace(o->sink);
  for (std::size_t left = pad; left > 0;) {
    const std::size_t n = std::min(left, cutspot::output_buffer::MAX_RESERVE);
    o->buffer->reserve(n);
    o->buffer->commit(n);
    left -= n;
  }
  return &*o->buffer;
}

// The byte string a run's option takes from its form and the byte's other bits.
std::string option_text(char letter, unsigned byte) {
  static constexpr std::string_view FORMS[] = {"", "", "0", "1", "-1", "2147483648", " +7"};
  const unsigned form = byte & 7;
  if (form == 0) return {};
  std::string text = {'-', letter};
  if (form < 7) return text.append(FORMS[form]);
  return text + std::to_string((byte >> 3) * 10);
}

// The checker's own mark rule, from the intervals alone.
class mark_model {
 public:
  explicit mark_model(const cutspot::mark_settings& s)
      : ignore_ns_(static_cast<__int128>(s.ignore_seconds) * 1000000000),
        period_ns_(static_cast<__int128>(s.period_seconds) * 1000000000) {}

  std::optional<cutspot::cut_mark> next(const cutspot::quiet_interval& interval) {
    const __int128 sum = static_cast<__int128>(interval.start_ns) + interval.end_ns;
    // Floor, also for a negative sum.
    const auto ns = static_cast<std::int64_t>(sum >= 0 ? sum / 2 : (sum - 1) / 2);
    const bool have_reference = reference_ != 0;
    const __int128 distance = static_cast<__int128>(ns) - reference_;
    if (have_reference && distance < ignore_ns_) {
      reference_ = ns;
      return std::nullopt;
    }
    bool a = have_reference && distance < period_ns_;
    if (!have_reference && ns < 60000000000) {
      a = true;
    } else {
      reference_ = ns;
    }
    return cutspot::cut_mark{ns, a ? 'A' : 'D', interval.start_ns, interval.end_ns};
  }

 private:
  __int128 ignore_ns_;
  __int128 period_ns_;
  std::int64_t reference_ = 0;
};

// The checker's own first pass: what every document reports of the whole file.
void check_scan(std::string_view file, const cutspot::recording_scan& scan) {
  const std::uint64_t records = file.size() < 8 ? 0 : (file.size() - 8) / 24;
  check(scan.records == records, "record count");
  std::uint64_t unknown = 0;
  std::uint32_t loudest = 0;
  std::uint32_t quietest = 0xFFFFFFFF;
  std::int64_t earliest = 0;
  std::int64_t latest = 0;
  std::int64_t last = 0;
  for (std::uint64_t i = 0; i < records; ++i) {
    const cutspot::event_record r = fz::record_at(file, i);
    if (r.type == 1) {
      loudest = std::max(loudest, r.value);
      quietest = std::min(quietest, r.value);
    } else if (r.type != 2) {
      ++unknown;
    }
    earliest = i == 0 ? r.timestamp_ns : std::min(earliest, r.timestamp_ns);
    latest = i == 0 ? r.timestamp_ns : std::max(latest, r.timestamp_ns);
    last = r.timestamp_ns;
  }
  check(scan.unknown == unknown, "unknown record count");
  check(scan.earliest_ns == earliest && scan.latest_ns == latest && scan.last_ns == last,
        "time span of the records");
  const cutspot::audio_range& range = scan.range;
  check(range.audio_max == loudest && range.audio_min == quietest, "audio range");
  const std::uint32_t scale = loudest == 0 || loudest > 10000 ? 1 : 10000 / loudest;
  check(range.audio_scale == scale, "audio scale");
  // One tenth of the way up, in the wrapping 32-bit arithmetic of levels.
  check(range.silence_threshold == scale * (quietest + (loudest - quietest) / 10),
        "silence threshold");
}

// A bar: `marks` columns of c from the left, then spaces, `width` columns in all.
bool is_bar_at(const char* p, char c, std::size_t width) {
  std::size_t i = 0;
  while (i < width && p[i] == c) ++i;
  while (i < width && p[i] == ' ') ++i;
  return i == width;
}

// The graph: its header, then for every record in file order a line with its time, its
// kind and the two bars, separators between them, and an empty line. In one pass over
// the text, without allocating: it runs at every execution.
void check_graph_records(std::string_view graph, std::string_view file, std::uint64_t records) {
  constexpr std::string_view HEADER = "Timestamp : T Video Lvl | Audio Lvl\n";
  constexpr std::string_view SEPARATOR = "----------:\n";
  check(graph.starts_with(HEADER), "graph header", graph);
  const char* p = graph.data() + HEADER.size();
  const char* const end = graph.data() + graph.size();
  char time[32];
  for (std::uint64_t i = 0; i < records; ++i) {
    while (static_cast<std::size_t>(end - p) >= SEPARATOR.size() &&
           std::string_view(p, SEPARATOR.size()) == SEPARATOR) {
      p += SEPARATOR.size();
    }
    const cutspot::event_record r = fz::record_at(file, i);
    const std::size_t n = fz::write_time_text(time, r.timestamp_ns);
    const std::size_t length = n + 4 + 9 + 3 + 49 + 1;
    check(static_cast<std::size_t>(end - p) >= length &&
              std::string_view(p, n) == std::string_view(time, n) && p[n] == ':' &&
              p[n + 1] == ' ' && p[n + 2] == (r.type == 1 ? 'A' : 'V') && p[n + 3] == ' ' &&
              is_bar_at(p + n + 4, '#', 9) && std::string_view(p + n + 13, 3) == " | " &&
              is_bar_at(p + n + 16, '=', 49) && p[length - 1] == '\n',
          "graph line of a record", std::string_view(p, std::min<std::size_t>(end - p, 100)));
    p += length;
  }
  // Separators may follow the last record too, then the empty line that ends the graph.
  while (static_cast<std::size_t>(end - p) >= SEPARATOR.size() &&
         std::string_view(p, SEPARATOR.size()) == SEPARATOR) {
    p += SEPARATOR.size();
  }
  check(std::string_view(p, end - p) == "\n", "the end of the graph", std::string_view(p, end - p));
}

struct settings_from_input {
  std::vector<std::string> args;
  std::string name;
};

// The command line that the header and the tail of the file ask for.
settings_from_input command_for(std::string_view file) {
  settings_from_input s;
  const auto byte = [&](std::size_t i) {
    return i < file.size() ? static_cast<unsigned char>(file[i]) : 0u;
  };
  s.args.push_back("cutspot");
  if (std::string p = option_text('p', byte(1)); !p.empty()) s.args.push_back(p);
  if (std::string i = option_text('i', byte(2)); !i.empty()) s.args.push_back(i);
  const std::size_t tail = file.size() < 8 ? 0 : (file.size() - 8) % 24;
  // Longer names reach back into the last records, which they then share.
  const std::size_t reach =
      file.size() < 8 ? 0 : std::min<std::size_t>(byte(6), file.size() - 8 - tail);
  s.name = std::string(file.substr(file.size() - tail - reach));
  // An argument ends at its first NUL byte.
  s.name.resize(std::min(s.name.size(), s.name.find('\0')));
  if (s.name.find(".evt") == std::string::npos) s.name += ".evt";
  return s;
}

std::vector<const char*> argv_of(const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return argv;
}

// The same bytes in short reads, as pipes and some file systems give them: the reader
// must keep reading until its block is full.
class copying_source final : public cutspot::byte_source {
 public:
  explicit copying_source(cutspot::byte_source& inner) : inner_(inner) {}
  std::uint64_t length() const override { return inner_.length(); }
  bool rewind() override { return inner_.rewind(); }
  std::size_t read(unsigned char* buf, std::size_t n) override {
    return inner_.read(buf, n > 1 ? n - n / 3 : n);
  }
  std::string error() const override { return inner_.error(); }

 private:
  cutspot::byte_source& inner_;
};

bool has_control_character(std::string_view name) {
  return std::any_of(name.begin(), name.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F;
  });
}

// The whole program with one document, compared with what the detection above printed.
void check_whole_run(std::string_view file, settings_from_input command, unsigned selector,
                     std::size_t block_records, const std::string& expected,
                     const cutspot::recording_scan& scan) {
  static constexpr std::string_view DOCUMENT_OPTIONS[] = {"", "-svg", "-json", "-edl", "-chapters"};
  unsigned which = selector & 7;
  // After "-graph" the name is no longer last, and one like "-p.evt" would be an option.
  if (which == 6 && (command.name.starts_with("-p") || command.name.starts_with("-i"))) which = 5;
  if (which < 5 && !DOCUMENT_OPTIONS[which].empty()) {
    command.args.emplace_back(DOCUMENT_OPTIONS[which]);
  }
  if (which == 5) command.args.emplace_back("-graph");
  command.args.push_back(command.name);
  if (which == 6) command.args.emplace_back("-graph");
  const std::vector<const char*> argv = argv_of(command.args);

  auto opener = [&](const std::string& name) {
    check(name == command.name, "opened the wrong name", name);
    cutspot::open_result opened;
    opened.status = cutspot::open_status::opened;
    opened.source = std::make_unique<cutspot::memory_source>(file);
    return opened;
  };
  const bool refuse = (selector & 16) != 0 && !has_control_character(command.name);
  static document_sink out;
  out.reset(0, refuse);
  static cutspot::string_sink err;
  err.text.clear();
  const int status = cutspot::run_cutspot(static_cast<int>(argv.size()), argv.data(), opener, out,
                                          err, {block_records});
  fz::check_diagnostics(err.text);
  if (has_control_character(command.name)) {
    check(status == cutspot::EXIT_USAGE && out.text == cutspot::USAGE &&
              err.text ==
                  "cutspot: a file name with a control character would corrupt the cut list\n"
                  "Try 'cutspot --help'.\n",
          "a name with a control character", err.text);
    return;
  }
  std::string_view errors = err.text;
  const std::string_view warning = fz::take_line(&errors);
  if (scan.records == 0) {
    check(warning.starts_with("cutspot: warning: '") &&
              warning.ends_with("' holds no whole record\n"),
          "warning for a file without records", err.text);
  } else if (scan.unknown * 10 > scan.records * 9) {
    // More than nine in ten of another type.
    const std::string counts = ": " + std::to_string(scan.unknown) + " of " +
                               std::to_string(scan.records) +
                               " records are neither audio nor video; is it an event file?\n";
    check(warning.starts_with("cutspot: warning: '") && warning.ends_with(counts),
          "warning for a file of unknown records", err.text);
  } else {
    errors = err.text;
  }
  // A document with nothing in it is never written, so it cannot fail.
  if (refuse && !expected.empty()) {
    check(status == cutspot::EXIT_FAILED && out.text.empty(), "exit status after a failed write",
          err.text);
    check(errors.starts_with("cutspot: error writing standard output: No space left on device\n") &&
              fz::count(errors, "\n") == 1,
          "one message for a failed write", err.text);
    return;
  }
  check(status == cutspot::EXIT_OK && errors.empty(), "exit status", err.text);
  check(out.text == expected, "the program printed other than the detection", out.text);
}

// One input. A function of this file's own, not the entry point itself, so that its
// lambdas and what they instantiate get names no other target shares: the coverage
// report merges the targets by name.
int test_one_input(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const auto header = [&](std::size_t i) {
    return i < 8 && i < size ? static_cast<unsigned char>(data[i]) : 0u;
  };
  const std::size_t block_records =
      header(0) == 255 ? cutspot::record_reader::DEFAULT_BLOCK_RECORDS : 1 + header(0);

  const settings_from_input command = command_for(file);
  // A name with a control character is refused by the command line; the documents get
  // it all the same, as they must stay well-formed for any bytes.
  const bool control = has_control_character(command.name);
  std::vector<std::string> args = command.args;
  args.push_back(command.name);
  const cutspot::command_line refused =
      cutspot::parse_command_line(static_cast<int>(args.size()), argv_of(args).data());
  check((refused.action == cutspot::command::usage) == control, "control characters in a name",
        refused.refusal);
  args.back() = "x.evt";
  const cutspot::command_line cl =
      cutspot::parse_command_line(static_cast<int>(args.size()), argv_of(args).data());
  check(cl.action == cutspot::command::run && cl.warnings.empty(), "the command line of a run",
        cl.refusal);
  const cutspot::mark_settings& settings = cl.settings.marks;

  cutspot::memory_source memory(file);
  copying_source copying(memory);
  cutspot::byte_source& source =
      (header(5) & 2) != 0 ? static_cast<cutspot::byte_source&>(copying) : memory;
  cutspot::record_reader reader(source, block_records);
  cutspot::recording_scan scan;
  check(cutspot::scan_audio_range(&reader, &scan) == cutspot::pass_status::ok, "first pass");
  check_scan(file, scan);
  check(memory.error().empty(), "memory failed");

  const bool refuse = (header(5) & 1) != 0;
  const auto offset = [&](std::size_t k) -> std::size_t {
    return header(3) == 0 ? 0 : 1 + (header(3) * 16 + k * 97) % 4000;
  };

  static output graph;
  cutspot::output_buffer* graph_out = start_output(&graph, offset(DOCUMENT_COUNT), refuse);
  const cutspot::pass_status graphed = cutspot::print_level_graph(&reader, scan.range, graph_out);
  check((graphed == cutspot::pass_status::write_error) == graph.sink.refused(),
        "the graph pass stops exactly when its output fails");
  graph_out->append('\n');
  check(graph_out->flush() == !graph.sink.refused(), "flush after a failed write");

  const std::string mpeg_name = cutspot::derive_mpeg_name(command.name);
  check(mpeg_name == command.name.substr(0, command.name.rfind(".evt")) + ".mpg", "recording name",
        mpeg_name);
  const cutspot::report_context context{command.name, mpeg_name, settings, scan, {}, {}, {}, false};
  static std::array<output, DOCUMENT_COUNT> outputs;
  std::array<std::unique_ptr<cutspot::document_renderer>, DOCUMENT_COUNT> documents;
  for (std::size_t k = 0; k < DOCUMENT_COUNT; ++k) {
    const cutspot::output_format& format = cutspot::MARK_FORMATS[k];
    documents[k] = format.make(context, start_output(&outputs[k], offset(k), refuse));
    if ((format.consumes & cutspot::CONSUMES_LEVELS) != 0) {
      check(documents[k]->level_pass(&reader) == cutspot::pass_status::ok, "level pass");
    }
    documents[k]->begin();
  }

  static std::vector<cutspot::cut_mark> marks;
  marks.clear();
  static std::vector<cutspot::quiet_interval> intervals;
  intervals.clear();
  mark_model model(settings);
  std::optional<cutspot::quiet_interval> previous;
  bool any_failed = false;
  const cutspot::pass_status detected = cutspot::for_each_mark(
      &reader, scan.range, settings,
      [&](const cutspot::quiet_interval& interval, const cutspot::cut_mark* mark) {
        check(!any_failed, "an interval after the output failed");
        check(interval.start_ns > 0 && interval.end_ns >= interval.start_ns, "interval bounds");
        check(!previous || interval.start_ns >= previous->end_ns, "intervals out of order");
        previous = interval;
        intervals.push_back(interval);
        const std::optional<cutspot::cut_mark> want = model.next(interval);
        check(want.has_value() == (mark != nullptr), "a mark dropped or added");
        if (mark != nullptr) {
          check(mark->ns == want->ns && mark->kind == want->kind &&
                    mark->start_ns == interval.start_ns && mark->end_ns == interval.end_ns,
                "the mark of an interval");
          marks.push_back(*mark);
        }
        for (std::size_t k = 0; k < DOCUMENT_COUNT; ++k) {
          documents[k]->interval(interval, mark);
          any_failed = any_failed || outputs[k].buffer->failed();
        }
        return !any_failed;
      });
  check((detected == cutspot::pass_status::write_error) == any_failed,
        "the detection stops exactly when an output fails");
  for (std::size_t k = 0; k < DOCUMENT_COUNT; ++k) {
    documents[k]->end();
    check(outputs[k].buffer->flush() == !outputs[k].sink.refused(), "flush");
  }
  if (refuse) return 0;

  // The same intervals a record at a time, across the blocks the pass read them in.
  {
    cutspot::interval_detector detector(scan.range);
    cutspot::quiet_interval closed;
    std::size_t next = 0;
    auto same = [&](const cutspot::quiet_interval& got) {
      check(next < intervals.size(), "detect_step found more intervals");
      const cutspot::quiet_interval& want = intervals[next++];
      check(got.start_ns == want.start_ns && got.end_ns == want.end_ns &&
                got.start_video_level == want.start_video_level &&
                got.start_audio_level == want.start_audio_level,
            "detect_step found another interval");
    };
    for (std::uint64_t i = 0; i < scan.records; ++i) {
      if (cutspot::detect_step(&detector, fz::record_at(file, i), &closed)) same(closed);
    }
    if (cutspot::finish_detection(&detector, &closed)) same(closed);
    check(next == intervals.size(), "detect_step found fewer intervals");
  }

  const fz::run_facts facts{command.name, mpeg_name, settings, &scan, &marks};
  check_graph_records(graph.sink.text, file, scan.records);
  check(outputs[0].sink.text == fz::expected_cut_list(mpeg_name, marks), "cut list",
        outputs[0].sink.text);
  fz::check_svg_document(outputs[1].sink.text, facts);
  fz::check_json_document(outputs[2].sink.text, facts);
  check(outputs[3].sink.text == fz::expected_edl(marks), "EDL", outputs[3].sink.text);
  fz::check_chapters_document(outputs[4].sink.text, facts);

  const unsigned whole = header(4);
  if ((whole & 7) < 7 && (whole & 0x60) == 0) {
    const unsigned which = whole & 7;
    std::string expected;
    if (which >= 5) expected = graph.sink.text;
    expected += outputs[which >= 5 ? 0 : which].sink.text;
    check_whole_run(file, command, whole, block_records, expected, scan);
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return test_one_input(data, size);
}
