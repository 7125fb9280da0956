// Arbitrary bytes as an event file, through whole runs of cutspot in memory, of marks or
// of breaks. Each output is checked for its structure: lines of ours on stderr, the E
// line exactly when the status is 0, JSON that parses, well-formed XML. On plain bytes
// every document is made from the same options, and all hold the JSON document's marks
// or parts. The program never reads the 8-byte header, so its bytes pick the run, and the
// last records can end the command line: the file's name (".evt" added when it lacks
// one), or with NUL bytes the arguments themselves. An input that fails replays by hand.
//   byte 0     records per read: 1 + the byte, or the default at 255
//   bytes 1-3  a bit for each word of OPTION_WORDS: those go first on the command line
//   byte 4, 5  how the file opens, where standard output goes: a row of SOURCES, of SINKS
//   byte 6     with other arguments, or another source or sink: the document of the run
//   byte 7     how many of the last records the command line takes too
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <libxml/parser.h>

#include <nlohmann/json.hpp>

#include "app/run.h"
#include "checks.h"
#include "event_file_writer.h"
#include "eventfile/byte_source.h"
#include "report/escape.h"

namespace {

using namespace fuzzing;

// The options a run may get, in this order; a new option gets a row (up to 24).
constexpr std::string_view OPTION_WORDS[] = {
    "-breaks", "-p",   "-p0",  "-p50", "-p300", "-p2147483648", "-p-1", "-p +7",
    "-i",      "-i0",  "-i10", "-i50", "-i-1",  "-ix",          "-m",   "-m0",
    "-m10",    "-m-1", "-m1",  "-u0",  "-u1",   "-u7",          "-u5s", "-m99999999999",
};
static_assert(std::size(OPTION_WORDS) <= 24, "three header bytes pick the words");

// The documents, each a run of its own: the list, the graph before it, and the rest.
enum document { LIST, GRAPH, JSON, EDL, CHAPTERS, SVG, FFCONCAT, DOCUMENTS };
constexpr std::string_view DOCUMENT_OPTION[DOCUMENTS] = {"",          "-graph", "-json",    "-edl",
                                                         "-chapters", "-svg",   "-ffconcat"};

// Gives the bytes in short reads (how 'r'), or half of them and then ends ('s') or fails
// ('b'), or fails to rewind for the second pass ('u').
class odd_source final : public cutspot::byte_source {
 public:
  odd_source(std::string_view bytes, char how)
      : bytes_(bytes.substr(0, bytes.size() / (how == 's' || how == 'b' ? 2 : 1))),
        length_(bytes.size()),
        how_(how) {}
  std::uint64_t length() const override { return length_; }
  bool rewind() override { return at_ = 0, how_ != 'u' || ++rewinds_ < 2; }
  std::size_t read(unsigned char* buf, std::size_t n) override {
    const std::size_t count = std::min(bytes_.size() - at_, how_ == 'r' && n > 1 ? n - n / 3 : n);
    std::copy_n(bytes_.data() + at_, count, buf);
    at_ += count;
    return count;
  }
  std::string error() const override {
    if (how_ == 'u' && rewinds_ > 1) return "Illegal seek";
    return how_ == 'b' && at_ == bytes_.size() ? "Input/output error" : "";
  }

 private:
  std::string_view bytes_;
  std::size_t length_, at_ = 0;
  char how_;
  int rewinds_ = 0;
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

template <class source, class... arguments>
cutspot::open_result opened(const arguments&... args) {
  return {cutspot::open_status::opened, std::make_unique<source>(args...), {}};
}

// How the file opens. The first two rows give the plain bytes: their documents are compared.
using source_maker = std::function<cutspot::open_result(std::string_view file)>;
const source_maker SOURCES[] = {
    [](std::string_view f) { return opened<cutspot::memory_source>(f); },
    [](std::string_view f) { return opened<odd_source>(f, 'r'); },
    [](std::string_view f) { return opened<odd_source>(f, 's'); },
    [](std::string_view f) { return opened<odd_source>(f, 'b'); },
    [](std::string_view f) { return opened<odd_source>(f, 'u'); },
    [](std::string_view) { return opened<cutspot::memory_source>(huge_file()); },
    [](std::string_view) -> cutspot::open_result { throw std::bad_alloc(); },
    [](std::string_view f) { return cutspot::open_event_file(real_copy(f)); },
    [](std::string_view) { return cutspot::open_event_file("/"); },
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
  static cutspot::fd_sink dev_full(open("/dev/full", O_WRONLY | O_CLOEXEC));
  static cutspot::counting_sink counting;
  static cutspot::fd_sink slow_pipe(nonblocking_pipe());
  cutspot::byte_sink* const SINKS[] = {nullptr, &dev_full, &counting, &slow_pipe};
  return SINKS[row % std::size(SINKS)];
}

// A mark ('A' or 'D' at ns), or a part of a recording (a break, kind 'B', or programme,
// 'P', from ns to end_ns), as the JSON document tells it.
struct item {
  char kind;
  std::int64_t ns = 0, end_ns = 0;
};

struct run {
  int status = -1;
  std::string out, err;
  std::vector<item> items;  // From the JSON document.
  nlohmann::json json;      // The JSON document.
};

// Standard error: whole lines, each "cutspot: ..." but the hint that follows a refusal.
// Whether it says more than warnings.
bool check_diagnostics(std::string_view err) {
  check(is_clean_text(err) && (err.empty() || err.ends_with('\n')), "stderr's text", err);
  bool after_refusal = false, failed = false;
  for (std::string_view rest = err; !rest.empty();) {
    const std::string_view line = take_line(&rest);
    if (line == "Try 'cutspot --help'.\n") {
      check(after_refusal, "the hint without a refusal", err);
      after_refusal = false;
      continue;
    }
    check(line.starts_with("cutspot: ") && line.size() > 10, "a line of stderr", line);
    after_refusal = !line.starts_with("cutspot: warning: ");
    failed = failed || after_refusal;
  }
  return failed;
}

// The marks or parts of a JSON document: each time that of its ns, the parts numbered for
// each kind from 1. Anything of another type than it should be throws, and aborts.
void read_json(run* r) {
  r->json = nlohmann::json::parse(r->out, nullptr, false);
  check(!r->json.is_discarded() && r->out.find('\n') == r->out.size() - 1 &&
            is_clean_text(r->out, false, true),
        "JSON does not parse", r->out);
  std::int64_t numbers[2] = {0, 0};
  for (const nlohmann::json& j : r->json.contains("marks") ? r->json["marks"] : r->json["parts"]) {
    const std::string kind = j.at("kind");
    if (kind == "A" || kind == "D") {
      r->items.push_back({kind[0], j.at("ns"), j.at("ns")});
      check(j.at("time") == time_text(r->items.back().ns), "a JSON time", r->out);
      continue;
    }
    check(kind == "advertising" || kind == "programme", "a JSON kind", kind);
    r->items.push_back({kind == "advertising" ? 'B' : 'P', j.at("start_ns"), j.at("end_ns")});
    const item& p = r->items.back();
    check(j.at("start") == time_text(p.ns) && j.at("end") == time_text(p.end_ns) &&
              j.at("number") == ++numbers[p.kind == 'B'],
          "a JSON part's times or number", r->out);
  }
}

// Well-formed XML, as libxml2 reads it.
bool is_well_formed_xml(std::string_view doc) {
  xmlDocPtr parsed = xmlReadMemory(doc.data(), static_cast<int>(doc.size()), nullptr, nullptr,
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  xmlFreeDoc(parsed);
  return parsed != nullptr;
}

// A C0 control character but the line feed, or DEL, or also a line feed.
bool has_control(std::string_view text, bool line_feeds) {
  return std::any_of(text.begin(), text.end(), [&](char c) {
    return (static_cast<unsigned char>(c) < 0x20 && (c != '\n' || line_feeds)) || c == 0x7F;
  });
}

// The recording the cutting script names exists when it is a .m2ts, or on disk.
bool recording_exists(const std::string& name) {
  return name.ends_with(".m2ts") || cutspot::file_exists_on_disk(name);
}

// One whole run in memory, `cutspot args...`, standard output kept unless it goes `to` a
// sink, each output checked for what it is.
run run_with(const std::vector<std::string>& args,
             const std::function<cutspot::open_result()>& open, cutspot::byte_sink* to,
             std::size_t block_records) {
  bool opened = false;
  auto opener = [&](const std::string& name) {
    check(!opened && name.find(".evt") != std::string::npos, "opened twice, or no event file");
    opened = true;
    return open();
  };
  std::vector<const char*> argv = {"cutspot"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  const cutspot::run_options options{block_records, recording_exists};
  cutspot::string_sink out, err;
  const int status =
      run_cutspot(static_cast<int>(argv.size()), argv.data(), opener, to ? *to : out, err, options);
  run r{status, std::move(out.text), std::move(err.text), {}, {}};
  check(r.status >= 0 && r.status <= 2 && (r.status != 0) == check_diagnostics(r.err),
        "the status and stderr disagree", r.err);
  const std::string_view text = r.out;
  if (r.status == cutspot::EXIT_USAGE) {
    check(to || text == "Usage: cutspot [-p<sec>] [-i<sec>] [-graph] <evt-file>\n", "the usage",
          text);
  } else if (text.starts_with("Usage: ") || text.starts_with("cutspot ")) {
    check(r.status == 0 && !opened && is_clean_text(text), "help or version", text);
  } else if (text.starts_with('F') || text.starts_with("Timestamp")) {
    // The list holds the name's bytes as they are, but no control character.
    check(!has_control(text, false), "a control byte", text);
    check(text.ends_with("\nE\n") == (r.status == 0), "the E line and the status disagree", text);
  } else if (r.status == 0 && !to) {
    if (text.starts_with('{')) read_json(&r);
    check(!text.starts_with('<') || (is_clean_text(text) && is_well_formed_xml(text)),
          "the picture is not well-formed", text);
  }
  return r;
}

std::string chapter(std::int64_t start_ms, std::int64_t end_ms, std::string_view title) {
  return "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" + std::to_string(start_ms) +
         "\nEND=" + std::to_string(end_ms) + "\ntitle=" + std::string(title) + "\n";
}

// The documents hold the JSON document's marks, or its parts: contiguous from 0, breaks
// none shorter than the shortest break, the programme parts between them. A chapter of
// marks begins at the first mark of each later millisecond, the last one ends at the
// last record read.
void check_documents(const run (&runs)[DOCUMENTS], std::uint64_t records, bool breaks) {
  const std::vector<item>& items = runs[JSON].items;
  const nlohmann::json& json = runs[JSON].json;
  check(breaks || json.at("records") == records, "the JSON record count");
  const std::int64_t shortest = breaks ? json.at("shortest_break_seconds").get<std::int64_t>() : 0;
  // The cutting script names the recording, quoted as ffmpeg reads it, as it finds it.
  std::size_t at = 0;
  const std::string quoted(after(runs[FFCONCAT].out, "\nfile ", &at, "\n"));
  check(quoted.empty() || (quoted.size() > 1 && quoted.starts_with('\'') && quoted.ends_with('\'')),
        "the recording's name in the cutting script", runs[FFCONCAT].out);
  std::string list = "E\n", edl, chapters = ";FFMETADATA1\n", script = "ffconcat version 1.0\n";
  std::string title = "Start";
  std::int64_t start_ms = 0, counts[2] = {0, 0};
  for (const item& p : items) {
    const bool mark = p.kind == 'A' || p.kind == 'D', ad = p.kind == 'B';
    if (p.kind != 'P') {
      list.insert(list.size() - 2,
                  p.kind + time_text(p.ns) + (mark ? "\n" : " " + time_text(p.end_ns) + "\n"));
      edl += seconds_text(p.ns) + "\t" + seconds_text(p.end_ns) + (mark ? "\t2\n" : "\t3\n");
    }
    if (!breaks && mark && p.ns / cutspot::NS_PER_MS > start_ms) {
      chapters += chapter(start_ms, p.ns / cutspot::NS_PER_MS, title);
      start_ms = p.ns / cutspot::NS_PER_MS;
      title = p.kind + (" " + time_text(p.ns));
    } else if (!breaks && mark && title == "Start") {
      title = p.kind + (" " + time_text(p.ns));
    }
    if (!breaks) continue;
    check(!mark && p.ns == (&p == &items[0] ? 0 : (&p)[-1].end_ns) &&
              (ad ? p.end_ns >= p.ns : p.end_ns > p.ns) &&
              (!ad || p.end_ns - p.ns >= shortest * cutspot::NS_PER_SECOND),
          "the JSON document's parts", runs[JSON].out);
    const std::string number = std::to_string(++counts[ad]);
    chapters += chapter(p.ns / cutspot::NS_PER_MS, p.end_ns / cutspot::NS_PER_MS,
                        (ad ? "Advertising " : "Programme ") + number);
    if (ad) continue;
    script += "file " + quoted + "\n";
    if (p.ns > 0) script += "inpoint " + seconds_text(p.ns) + "\n";
    if (&p != &items.back()) script += "outpoint " + seconds_text(p.end_ns) + "\n";
  }
  const std::string& doc = runs[CHAPTERS].out;
  if (!breaks && !items.empty()) {
    at = doc.rfind("\nEND=");
    const std::string_view end = after(doc, "\nEND=", &at, "\n");
    check(is_integer(end) && std::stoll(std::string(end)) >= start_ms, "the last END", doc);
    chapters += chapter(start_ms, std::stoll(std::string(end)), title);
  }
  std::string_view body = runs[LIST].out;
  check(take_line(&body).starts_with('F') && body == list, "the list", runs[LIST].out);
  check(runs[EDL].out == edl, "the edit decision list", runs[EDL].out);
  check(doc == chapters, "the chapters", doc);
  check(!breaks || (runs[FFCONCAT].out == script && json.at("breaks") == counts[1] &&
                    json.at("programme_parts") == counts[0]),
        "the cutting script or the counts of parts", runs[FFCONCAT].out);

  // The picture's groups of marks take the marks in order.
  std::size_t taken = 0;
  const std::string& svg = runs[SVG].out;
  for (at = breaks ? svg.npos : svg.find("<g class=\"mark "); at != svg.npos;
       at = svg.find("<g class=\"mark ", at + 1)) {
    const std::string_view tag = std::string_view(svg).substr(at, svg.find('>', at) - at);
    std::size_t from = 0;
    const std::string_view ns = after(tag, " data-ns=\"", &from, "\"");
    const std::string_view count = after(tag, " data-count=\"", &from, "\"");
    check(taken < items.size() && ns == std::to_string(items[taken].ns) &&
              (count.empty() || is_integer(count)),
          "a mark group of the picture", tag);
    taken += count.empty() ? 1 : std::stoull(std::string(count));
  }
  check(breaks || taken == items.size(), "the picture's marks", svg);
}

// The escapers take any bytes, not only the names a run lets through: JSON reads back as
// the bytes (but for U+FFFD where they are not UTF-8), XML text is well-formed in an
// attribute, and numbers of either sign read back.
void check_escapers(std::string_view bytes, std::int64_t number) {
  cutspot::string_sink json_text, xml_text;
  cutspot::output_buffer json_out(json_text), xml_out(xml_text);
  cutspot::text_writer json(&json_out), xml(&xml_out);
  json << '[';
  cutspot::write_json_string(json, bytes);
  json << ',' << number << ']';
  xml << "<t a=\"";  // Where more must be escaped than in an element.
  cutspot::write_xml_text(xml, bytes);
  xml << "\"/>";
  check(json_out.flush() && xml_out.flush(), "a string sink failed");
  const nlohmann::json read = nlohmann::json::parse(json_text.text, nullptr, false);
  check(!read.is_discarded() && read[1] == number &&
            (read[0] == std::string(bytes) ||
             read[0].get<std::string>().find("\xef\xbf\xbd") != std::string::npos),
        "a JSON string or number", json_text.text);
  check(is_well_formed_xml(xml_text.text), "XML text", xml_text.text);
}

// One input. A function of this file's own, not the entry point itself, so that its
// lambdas get names of their own.
int test_one_input(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const auto header = [&](std::size_t i) { return i < size ? data[i] : 0u; };
  const std::size_t block_records = header(0) == 255 ? 8192 : 1 + header(0);
  const std::size_t source = header(4) % std::size(SOURCES);
  cutspot::byte_sink* const to = sink(header(5));
  const std::uint64_t records = size < 8 ? 0 : (size - 8) / 24;

  std::vector<std::string> args;
  const unsigned words = header(1) | header(2) << 8 | header(3) << 16;
  for (std::size_t k = 0; k < std::size(OPTION_WORDS); ++k) {
    if ((words >> k & 1) != 0) args.emplace_back(OPTION_WORDS[k]);
  }
  const bool breaks = (words & 1) != 0;
  const std::size_t leftover = size < 8 ? 0 : (size - 8) % 24;
  std::string_view tail =
      file.substr(size - leftover - std::min<std::uint64_t>(header(7), records) * 24);
  const bool verbatim = tail.find('\0') != tail.npos;
  for (std::size_t end = tail.find('\0'); verbatim && !tail.empty(); end = tail.find('\0')) {
    if (end != 0) args.emplace_back(tail.substr(0, end));
    tail.remove_prefix(end == tail.npos ? tail.size() : end + 1);
  }
  std::string name(tail);
  std::int64_t number = 0;
  std::memcpy(&number, data, std::min<std::size_t>(size, sizeof number));
  check_escapers(name, number);
  if (name.find(".evt") == std::string::npos) name += ".evt";
  auto open = [&] { return SOURCES[source](file); };

  if (verbatim || source > 1 || to) {
    // One run, of the document that byte 6 picks.
    if (!verbatim && header(6) % DOCUMENTS != LIST) {
      args.emplace_back(DOCUMENT_OPTION[header(6) % DOCUMENTS]);
    }
    if (!verbatim) args.push_back(name);
    run_with(args, open, to, block_records);
    return 0;
  }
  run runs[DOCUMENTS];
  for (int k = 0; k < (breaks ? DOCUMENTS : FFCONCAT); ++k) {
    std::vector<std::string> command = args;
    if (k != LIST) command.emplace_back(DOCUMENT_OPTION[k]);
    command.push_back(name);
    runs[k] = run_with(command, open, nullptr, block_records);
    check(runs[k].status == runs[0].status, "the documents' runs end differently", runs[k].err);
    // The list and the cutting script hold the name's bytes as they are; the other
    // documents, only clean text.
    check(k <= GRAPH || k == FFCONCAT ? !has_control(runs[k].out, false)
                                      : is_clean_text(runs[k].out, k == EDL, k == JSON),
          "a control character or ill-formed UTF-8", runs[k].out);
  }
  // A name with a control character could pose as marks in the list.
  check(runs[0].status == cutspot::EXIT_USAGE || !has_control(name, true),
        "a name with a control character accepted", name);
  if (runs[0].status == cutspot::EXIT_USAGE) return 0;
  check(runs[0].status == 0, "a run in memory failed", runs[0].err);
  // The graph: a line for each record, then the very list.
  const std::string& graph = runs[GRAPH].out;
  check(graph.ends_with("\n" + runs[LIST].out), "the list after the graph", graph);
  std::string_view lines(graph.data(), graph.size() - runs[LIST].out.size() - 1);
  check(take_line(&lines) == "Timestamp : T Video Lvl | Audio Lvl\n", "the graph's header");
  std::uint64_t record_lines = 0;
  while (!lines.empty()) record_lines += take_line(&lines) != "----------:\n";
  check(record_lines == records, "a graph line for each record", graph);
  check_documents(runs, records, breaks);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return test_one_input(data, size);
}
