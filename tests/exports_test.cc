// The JSON, edit decision list and chapter documents: their exact bytes, the refusal of
// -graph beside them, failures like a plain run's, and the same marks as the cut list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/run.h"
#include "event_file_writer.h"
#include "process.h"
#include "report/exports.h"
#include "report/json_text.h"
#include "report/output_buffer.h"

namespace cutspot::testing {
namespace {

using std::string;
using std::vector;

// ---------------------------------------------------------------------------------------
// Building inputs and running.

// Bright picture, loud sound.
vector<test_record> programme(std::int64_t t) {
  return {video(t, 250), audio(t + 10 * MS, 5000)};
}

// With programme() around it, one quiet-dark interval [s, e] of its own node (e - s must
// exceed a second): quiet sound, a dark picture at s, the picture going stale at e, loud
// sound and a bright picture after.
vector<test_record> quiet_break(std::int64_t s, std::int64_t e) {
  return {audio(s - 10 * MS, 100), video(s, 10), audio(e, 100), audio(e + 10 * MS, 5000),
          video(e + 20 * MS, 250)};
}

vector<test_record> join(const vector<vector<test_record>>& parts) {
  vector<test_record> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct run_output {
  int status = -1;
  string out;
  string err;
};

// Serves its bytes, except that every read after the rewind numbered fail_pass fails.
class failing_source final : public byte_source {
 public:
  failing_source(string bytes, int fail_pass) : bytes_(std::move(bytes)), fail_pass_(fail_pass) {}
  bool rewind() override {
    pos_ = 0;
    ++passes_;
    return true;
  }
  std::size_t read(unsigned char* buf, std::size_t n) override {
    if (passes_ >= fail_pass_) return 0;
    std::size_t count = std::min(n, bytes_.size() - pos_);
    bytes_.copy(reinterpret_cast<char*>(buf), count, pos_);
    pos_ += count;
    return count;
  }
  string error() const override { return passes_ >= fail_pass_ ? "Input/output error" : ""; }

 private:
  string bytes_;
  int fail_pass_;
  int passes_ = 0;
  std::size_t pos_ = 0;
};

// Runs cutspot in memory: whatever name is given opens `bytes`; fail_pass > 0 makes that
// pass over the file fail.
run_output run_in_memory(const vector<string>& args, const string& bytes, int fail_pass = 0) {
  vector<const char*> argv{"cutspot"};
  for (const string& a : args) argv.push_back(a.c_str());
  string_sink out;
  string_sink err;
  auto open = [&](const string&, string*, bool*) -> std::unique_ptr<byte_source> {
    if (fail_pass > 0) return std::make_unique<failing_source>(bytes, fail_pass);
    return std::make_unique<memory_source>(bytes);
  };
  run_output r;
  r.status = ::cutspot::run_cutspot(static_cast<int>(argv.size()), argv.data(), open, out, err);
  r.out = out.text;
  r.err = err.text;
  return r;
}

// ---------------------------------------------------------------------------------------
// Exact documents for small hand-built files, next to the cut list of the same file.

struct document_case {
  const char* what;
  vector<string> options;
  string file;
  string cut_list;
  string json;
  string edl;
  string chapters;
};

const string JSON_LEVEL_HEAD =
    R"({"file": "show.mpg", "event_file": "show.evt", "mode": "level", "audio_scale": 2, )"
    R"("silence_threshold": 1180, )";

// Marks at 11.0015 s and 41 s (lead-in, A), 71.0005 s (the first D), 201 s (A) and
// 601.4995 s (D): times that truncate, and every kind of classification.
const vector<test_record> SEVERAL =
    join({programme(1 * SEC), quiet_break(10 * SEC, 12 * SEC + 3 * MS + 1),
          quiet_break(40 * SEC, 42 * SEC), quiet_break(70 * SEC + 1 * MS, 72 * SEC),
          quiet_break(200 * SEC, 202 * SEC), quiet_break(600 * SEC, 602 * SEC + 999 * MS),
          programme(700 * SEC)});

string chapter(const string& start, const string& end, const string& title) {
  return "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" + start + "\nEND=" + end + "\ntitle=" + title + "\n";
}

const vector<document_case> DOCUMENT_CASES = {
    {"no marks",
     {},
     event_file(join({programme(1 * SEC), programme(2 * SEC)})),
     "Fshow.mpg\nE\n",
     R"({"file": "show.mpg", "event_file": "show.evt", "mode": "level", "audio_scale": 2, )"
     R"("silence_threshold": 10000, "period_seconds": 300, "ignore_seconds": 0, "records": 4, )"
     R"("marks": []})"
     "\n",
     "",
     ";FFMETADATA1\n"},
    {"no records: gap mode, every level quiet",
     {"-p0", "-i7"},
     event_file({}, 23),
     "Fshow.mpg\nE\n",
     R"({"file": "show.mpg", "event_file": "show.evt", "mode": "gap", "audio_scale": 1, )"
     R"("silence_threshold": 4294967295, "period_seconds": 210, "ignore_seconds": 7, )"
     R"("records": 0, "marks": []})"
     "\n",
     "",
     ";FFMETADATA1\n"},
    {"one mark, and a partial record at the end that is not counted",
     {},
     event_file(join({programme(1 * SEC), quiet_break(100 * SEC, 102 * SEC), programme(200 * SEC)}),
                23),
     "Fshow.mpg\nD001:41.000\nE\n",
     JSON_LEVEL_HEAD +
         R"("period_seconds": 300, "ignore_seconds": 0, "records": 9, "marks": [)"
         R"({"kind": "D", "ns": 101000000000, "time": "001:41.000", "start_ns": 100000000000, )"
         R"("end_ns": 102000000000}]})"
         "\n",
     "101.000\t101.000\t2\n",
     ";FFMETADATA1\n" + chapter("0", "101000", "Start") +
         chapter("101000", "200010", "D 001:41.000")},
    {"lead-in marks and several others",
     {},
     event_file(SEVERAL),
     "Fshow.mpg\nA000:11.001\nA000:41.000\nD001:11.000\nA003:21.000\nD010:01.499\nE\n",
     JSON_LEVEL_HEAD +
         R"("period_seconds": 300, "ignore_seconds": 0, "records": 29, "marks": [)"
         R"({"kind": "A", "ns": 11001500000, "time": "000:11.001", "start_ns": 10000000000, )"
         R"("end_ns": 12003000001}, )"
         R"({"kind": "A", "ns": 41000000000, "time": "000:41.000", "start_ns": 40000000000, )"
         R"("end_ns": 42000000000}, )"
         R"({"kind": "D", "ns": 71000500000, "time": "001:11.000", "start_ns": 70001000000, )"
         R"("end_ns": 72000000000}, )"
         R"({"kind": "A", "ns": 201000000000, "time": "003:21.000", "start_ns": 200000000000, )"
         R"("end_ns": 202000000000}, )"
         R"({"kind": "D", "ns": 601499500000, "time": "010:01.499", "start_ns": 600000000000, )"
         R"("end_ns": 602999000000}]})"
         "\n",
     "11.001\t11.001\t2\n41.000\t41.000\t2\n71.000\t71.000\t2\n201.000\t201.000\t2\n"
     "601.499\t601.499\t2\n",
     ";FFMETADATA1\n" + chapter("0", "11001", "Start") + chapter("11001", "41000", "A 000:11.001") +
         chapter("41000", "71000", "A 000:41.000") + chapter("71000", "201000", "D 001:11.000") +
         chapter("201000", "601499", "A 003:21.000") + chapter("601499", "700010", "D 010:01.499")},
    {"a mark in the first millisecond opens the chapters instead of Start",
     {},
     event_file(join({{audio(1, 100), video(2, 10), video(1 * MS, 250), audio(2 * SEC, 5000),
                       video(2 * SEC + 20 * MS, 250)},
                      quiet_break(100 * SEC, 102 * SEC),
                      programme(150 * SEC)})),
     "Fshow.mpg\nA000:00.000\nD001:41.000\nE\n",
     JSON_LEVEL_HEAD +
         R"("period_seconds": 300, "ignore_seconds": 0, "records": 12, "marks": [)"
         R"({"kind": "A", "ns": 500001, "time": "000:00.000", "start_ns": 2, "end_ns": 1000000}, )"
         R"({"kind": "D", "ns": 101000000000, "time": "001:41.000", "start_ns": 100000000000, )"
         R"("end_ns": 102000000000}]})"
         "\n",
     "0.000\t0.000\t2\n101.000\t101.000\t2\n",
     ";FFMETADATA1\n" + chapter("0", "101000", "A 000:00.000") +
         chapter("101000", "150010", "D 001:41.000")},
};

TEST(ExportDocuments, ExactBytesNextToTheCutList) {
  for (const document_case& c : DOCUMENT_CASES) {
    SCOPED_TRACE(c.what);
    auto run = [&](const char* format) {
      vector<string> args = c.options;
      if (format != nullptr) args.push_back(format);
      args.push_back("show.evt");
      run_output r = run_in_memory(args, c.file);
      EXPECT_EQ(r.status, EXIT_OK);
      EXPECT_EQ(r.err, "");
      return r.out;
    };
    EXPECT_EQ(run(nullptr), c.cut_list);
    EXPECT_EQ(run("-json"), c.json);
    EXPECT_EQ(run("-edl"), c.edl);
    EXPECT_EQ(run("-chapters"), c.chapters);
  }
}

// ---------------------------------------------------------------------------------------
// Documents straight from a detector, for what no event file can produce.

struct detector_case {
  const char* what;
  vector<quiet_interval> nodes;
  audio_range range;
  mark_settings settings;
  std::uint64_t records;
  std::int64_t last_record_ns;
  string json;
  string edl;
  string chapters;
};

using printer = void (*)(const report_context&, output_buffer*);

string render(printer print, const detector_case& c) {
  // mark_chooser rewrites the nodes it passes, so each document gets a fresh detector.
  auto detector = std::make_unique<interval_detector>();
  detector->intervals.assign(c.nodes.begin(), c.nodes.end());
  detector->records = c.records;
  detector->last_record_ns = c.last_record_ns;
  const report_context context{"x.evt", "x.mpg", c.settings, c.range, detector.get()};
  string_sink sink;
  auto out = std::make_unique<output_buffer>(sink);
  print(context, out.get());
  EXPECT_TRUE(out->flush());
  return sink.text;
}

constexpr std::int64_t MAX_NS = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t MIN_NS = std::numeric_limits<std::int64_t>::min();
constexpr std::uint32_t MAX_U32 = std::numeric_limits<std::uint32_t>::max();

quiet_interval node(std::int64_t start_ns, std::int64_t end_ns) {
  quiet_interval q;
  q.start_ns = start_ns;
  q.end_ns = end_ns;
  return q;
}

const vector<detector_case> DETECTOR_CASES = {
    {"two marks in one millisecond, the last record before the last mark and negative",
     {node(61 * SEC, 61 * SEC), quiet_interval{}, node(61 * SEC + 100, 61 * SEC + 300),
      node(90 * SEC, 90 * SEC)},
     audio_range{5000, 100, 2, 1180},
     {},
     7,
     -5,
     R"({"file": "x.mpg", "event_file": "x.evt", "mode": "level", "audio_scale": 2, )"
     R"("silence_threshold": 1180, "period_seconds": 300, "ignore_seconds": 0, "records": 7, )"
     R"("marks": [)"
     R"({"kind": "D", "ns": 61000000000, "time": "001:01.000", "start_ns": 61000000000, )"
     R"("end_ns": 61000000000}, )"
     R"({"kind": "A", "ns": 61000000200, "time": "001:01.000", "start_ns": 61000000100, )"
     R"("end_ns": 61000000300}, )"
     R"({"kind": "A", "ns": 90000000000, "time": "001:30.000", "start_ns": 90000000000, )"
     R"("end_ns": 90000000000}]})"
     "\n",
     "61.000\t61.000\t2\n61.000\t61.000\t2\n90.000\t90.000\t2\n",
     ";FFMETADATA1\n" + chapter("0", "61000", "Start") + chapter("61000", "90000", "D 001:01.000") +
         chapter("90000", "90000", "A 001:30.000")},
    {"the extremes of every number",
     {node(MIN_NS, MIN_NS), node(MAX_NS, MAX_NS)},
     audio_range{1, 0, MAX_U32, MAX_U32},
     {MAX_U32, MAX_U32},
     std::numeric_limits<std::uint64_t>::max(),
     MIN_NS,
     R"({"file": "x.mpg", "event_file": "x.evt", "mode": "level", "audio_scale": 4294967295, )"
     R"("silence_threshold": 4294967295, "period_seconds": 4294967295, )"
     R"("ignore_seconds": 4294967295, "records": 18446744073709551615, "marks": [)"
     R"({"kind": "A", "ns": -9223372036854775808, "time": "-153722867:16.854", )"
     R"("start_ns": -9223372036854775808, "end_ns": -9223372036854775808}, )"
     R"({"kind": "D", "ns": 9223372036854775807, "time": "153722867:16.854", )"
     R"("start_ns": 9223372036854775807, "end_ns": 9223372036854775807}]})"
     "\n",
     "-9223372036.854\t-9223372036.854\t2\n9223372036.854\t9223372036.854\t2\n",
     ";FFMETADATA1\n" + chapter("0", "9223372036854", "A -153722867:16.854") +
         chapter("9223372036854", "9223372036854", "D 153722867:16.854")},
};

TEST(ExportDocuments, FromDetectorsNoFileCanProduce) {
  for (const detector_case& c : DETECTOR_CASES) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(render(print_json, c), c.json);
    EXPECT_EQ(render(print_edl, c), c.edl);
    EXPECT_EQ(render(print_chapters, c), c.chapters);
  }
}

// ---------------------------------------------------------------------------------------
// JSON strings.

string json_string(const string& bytes) {
  string_sink sink;
  auto out = std::make_unique<output_buffer>(sink);
  append_json_string(bytes, out.get());
  EXPECT_TRUE(out->flush());
  return sink.text;
}

TEST(JsonText, Strings) {
  struct string_case {
    string bytes;
    string json;
  };
  const vector<string_case> cases = {
      {"", R"("")"},
      {"show.mpg", R"("show.mpg")"},
      {"/a b/\x7f", "\"/a b/\x7f\""},  // No escapes needed for '/' or DEL.
      {R"(say "hi" \ bye)", R"("say \"hi\" \\ bye")"},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
      {string("\0\x01\x1f\x1b", 4), R"("\u0000\u0001\u001f\u001b")"},
      {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\""},
      {"a\xffz", R"("a\ufffdz")"},
      {"\xed\xa0\x80", R"("\ufffd\ufffd\ufffd")"},  // Each byte of a surrogate.
      {"\xe2\x82"
       "A\xf0\x9f\x98",
       R"("\ufffdA\ufffd")"},  // A truncated sequence is one replacement.
      // Overlong forms, and past U+10FFFF.
      {"\xc0\x80", R"("\ufffd\ufffd")"},
      {"\xe0\x9f\xbf\xf0\x8f\xbf\xbf", R"("\ufffd\ufffd\ufffd\ufffd\ufffd\ufffd\ufffd")"},
      {"\xf4\x8f\xbf\xbf\xf4\x90", "\"\xf4\x8f\xbf\xbf\\ufffd\\ufffd\""},
  };
  for (const string_case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    EXPECT_EQ(json_string(c.bytes), c.json);
  }
}

string hex(const string& bytes) {
  static const char digits[] = "0123456789abcdef";
  string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 0xF];
  }
  return out;
}

// Python's decoder replaces ill-formed UTF-8 the way Unicode recommends, one U+FFFD per
// maximal part, so it can judge every string: each line of the file is the bytes in hex,
// a tab, and our JSON string, and the whole file must be strict UTF-8.
constexpr char CHECK_STRINGS_PY[] = R"(
import json, sys
text = open(sys.argv[1], 'rb').read().decode('utf-8')
n = 0
for line in text.split('\n')[:-1]:
    raw, js = line.split('\t', 1)
    want = bytes.fromhex(raw).decode('utf-8', 'replace')
    if json.loads(js) != want:
        print('mismatch', raw, js)
        sys.exit(1)
    n += 1
print('ok', n)
)";

TEST(JsonText, AgreesWithPythonOnAllShortSequences) {
  vector<string> inputs;
  for (int a = 0; a < 256; ++a) {
    inputs.push_back(string(1, static_cast<char>(a)));
    for (int b = 0; b < 256; ++b) inputs.push_back({static_cast<char>(a), static_cast<char>(b)});
  }
  // Longer ones around the edges of every range a lead byte allows after it.
  const unsigned char edges[] = {0x00, 0x41, 0x7f, 0x80, 0x8f, 0x90, 0x9f, 0xa0, 0xbf, 0xc0, 0xff};
  for (int a = 0xe0; a <= 0xff; a += a < 0xf5 ? 1 : 0xff - 0xf5) {
    for (int b = 0x7f; b <= 0xc0; ++b) {
      for (unsigned char c : edges) {
        inputs.push_back({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
        for (unsigned char d : edges) {
          inputs.push_back({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c),
                            static_cast<char>(d)});
        }
      }
    }
  }
  string_sink sink;
  auto out = std::make_unique<output_buffer>(sink);
  for (const string& in : inputs) {
    out->append(hex(in));
    out->append('\t');
    append_json_string(in, out.get());
    out->append('\n');
  }
  ASSERT_TRUE(out->flush());
  temp_dir dir;
  const string path = dir.write("strings.txt", sink.text);
  process_result r = run_process("/usr/bin/env", {"python3", "-c", CHECK_STRINGS_PY, path});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "ok " + std::to_string(inputs.size()) + "\n");
}

// ---------------------------------------------------------------------------------------
// The command line and failures.

TEST(ExportOptions, GraphIsRefusedBesideEveryDocument) {
  struct refusal_case {
    vector<string> args;
    string named;
  };
  const vector<refusal_case> cases = {
      {{"-json", "-graph", "show.evt"}, "-json"},
      {{"-graph", "-edl", "show.evt"}, "-edl"},
      {{"-chapters", "show.evt", "-graph"}, "-chapters"},
      {{"-json", "-p60", "-edl", "-graph", "-chapters", "show.evt"}, "-chapters"},
      {{"-graph", "-chapters", "-json", "show.evt"}, "-json"},  // The last one wins.
  };
  temp_dir dir;
  const string file = dir.write("show.evt", event_file(SEVERAL));
  for (const refusal_case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    vector<string> args = c.args;
    for (string& a : args) {
      if (a == "show.evt") a = file;
    }
    process_result r = run_cutspot(args);
    EXPECT_EQ(r.status, EXIT_USAGE);
    EXPECT_EQ(r.out, USAGE);
    EXPECT_EQ(r.err, "cutspot: -graph cannot be combined with " + c.named + "\n");
  }
}

TEST(ExportOptions, TheLastDocumentOptionWins) {
  const string file = event_file(SEVERAL);
  EXPECT_EQ(run_in_memory({"-json", "-edl", "show.evt"}, file).out,
            run_in_memory({"-edl", "show.evt"}, file).out);
  EXPECT_EQ(run_in_memory({"-edl", "-p200", "-chapters", "-i150", "show.evt"}, file).out,
            run_in_memory({"-p200", "-i150", "-chapters", "show.evt"}, file).out);
  EXPECT_EQ(run_in_memory({"-chapters", "-json", "show.evt"}, file).out.substr(0, 9),
            "{\"file\": ");
}

TEST(ExportFailures, LikeAPlainRunButWithoutADocument) {
  temp_dir dir;
  const string good = dir.write("show.evt", event_file(SEVERAL));
  const string directory = dir.path() + "/folder.evt";
  dir.write("folder.evt/inside", "");
  struct failure_case {
    const char* what;
    vector<string> args;
    stdout_target target;
    int status;
  };
  const vector<failure_case> cases = {
      {"missing file", {dir.path() + "/absent.evt"}, {}, EXIT_USAGE},
      {"a name without .evt", {dir.path() + "/show.txt"}, {}, EXIT_USAGE},
      {"a directory", {directory}, {}, EXIT_FAILED},
      {"standard output full", {good}, {stdout_target::file, "/dev/full"}, EXIT_FAILED},
      {"standard output closed", {good}, {stdout_target::closed, ""}, EXIT_FAILED},
  };
  for (const failure_case& c : cases) {
    SCOPED_TRACE(c.what);
    process_result plain = run_cutspot(c.args, c.target);
    EXPECT_EQ(plain.status, c.status);
    for (const char* format : {"-json", "-edl", "-chapters"}) {
      SCOPED_TRACE(format);
      vector<string> args = c.args;
      args.insert(args.begin(), format);
      process_result r = run_cutspot(args, c.target);
      EXPECT_EQ(r.status, plain.status);
      EXPECT_EQ(r.err, plain.err);
      // Only the usage message, never part of a document.
      EXPECT_EQ(r.out, c.status == EXIT_USAGE ? string(USAGE) : "");
    }
  }
}

TEST(ExportFailures, AReadErrorPrintsNoDocument) {
  const string file = event_file(SEVERAL);
  for (int pass : {1, 2}) {
    SCOPED_TRACE(pass);
    run_output plain = run_in_memory({"show.evt"}, file, pass);
    EXPECT_EQ(plain.status, EXIT_FAILED);
    EXPECT_EQ(plain.err, "cutspot: error reading show.evt: Input/output error\n");
    for (const char* format : {"-json", "-edl", "-chapters"}) {
      SCOPED_TRACE(format);
      run_output r = run_in_memory({format, "show.evt"}, file, pass);
      EXPECT_EQ(r.status, EXIT_FAILED);
      EXPECT_EQ(r.err, plain.err);
      EXPECT_EQ(r.out, "");
    }
  }
}

// ---------------------------------------------------------------------------------------
// Whole runs of the binary: real parsers, and the marks of each document against the cut
// list on generated recordings.

// Reads a cut list, the JSON, the edit decision list and the chapters of one run, and the
// time of the last record; checks each document against the cut list's marks, which must
// all be later than 0 ms and apart, and prints how many there were.
constexpr char CHECK_DOCUMENTS_PY[] = R"(
import json, sys
cut, js, edl, chapters = (open(f, 'rb').read().decode('utf-8') for f in sys.argv[1:5])
last_ms = int(sys.argv[5])
lines = cut.split('\n')
assert lines[0].startswith('F') and lines[-2:] == ['E', ''], lines
marks = []
for line in lines[1:-2]:
    minutes, rest = line[1:].split(':')
    seconds, millis = rest.split('.')
    assert len(minutes) >= 3 and len(seconds) == 2 and len(millis) == 3, line
    marks.append((line[0], int(minutes) * 60000 + int(seconds) * 1000 + int(millis), line[1:]))
ms = [m for _, m, _ in marks]
assert ms and ms[0] > 0 and ms == sorted(set(ms)), ms

doc = json.loads(js)
assert list(doc) == ['file', 'event_file', 'mode', 'audio_scale', 'silence_threshold',
                     'period_seconds', 'ignore_seconds', 'records', 'marks'], list(doc)
assert [(m['kind'], m['time']) for m in doc['marks']] == [(k, t) for k, _, t in marks]
for m, want_ms in zip(doc['marks'], ms):
    assert list(m) == ['kind', 'ns', 'time', 'start_ns', 'end_ns'], m
    assert m['ns'] // 10**6 == want_ms and m['ns'] == (m['start_ns'] + m['end_ns']) // 2, m

assert edl == ''.join('%d.%03d\t%d.%03d\t2\n' % (m // 1000, m % 1000, m // 1000, m % 1000)
                      for m in ms), edl

starts = [0] + ms
ends = ms + [max(last_ms, ms[-1])]
titles = ['Start'] + [k + ' ' + t for k, _, t in marks]
assert chapters == ';FFMETADATA1\n' + ''.join(
    '[CHAPTER]\nTIMEBASE=1/1000\nSTART=%d\nEND=%d\ntitle=%s\n' % c
    for c in zip(starts, ends, titles)), chapters
print(len(marks), 'marks')
)";

// The time of the last whole record of an event file, in milliseconds.
std::int64_t last_record_ms(const string& file) {
  const std::size_t last = 8 + ((file.size() - 8) / 24 - 1) * 24;
  std::uint64_t ns = 0;
  for (std::size_t i = 0; i < 8; ++i) ns = ns << 8 | static_cast<unsigned char>(file[last + i]);
  return static_cast<std::int64_t>(ns) / MS;
}

string generate(const vector<string>& options) {
  process_result r = run_process(EVTGEN_BINARY, options);
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

void expect_documents_match(const string& bytes) {
  temp_dir dir;
  const string path = dir.write("rec.evt", bytes);
  const vector<vector<string>> settings = {{},        {"-p120"}, {"-p60", "-i30"},
                                           {"-i100"}, {"-p0"},   {"-p1000", "-i999"}};
  for (const vector<string>& options : settings) {
    SCOPED_TRACE(::testing::PrintToString(options));
    vector<string> check = {"python3", "-c", CHECK_DOCUMENTS_PY};
    for (const char* format : {"", "-json", "-edl", "-chapters"}) {
      vector<string> args = options;
      if (*format != '\0') args.push_back(format);
      args.push_back(path);
      process_result r = run_cutspot(args);
      EXPECT_EQ(r.status, 0) << r.err;
      check.push_back(dir.write(string("doc") + format, r.out));
    }
    check.push_back(std::to_string(last_record_ms(bytes)));
    process_result r = run_process("/usr/bin/env", check);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.ends_with(" marks\n")) << r.out;
  }
}

TEST(ExportConsistency, Sample) {
  string sample = read_file(CUTSPOT_SOURCE_DIR "/examples/sample.evt");
  if (sample.empty()) sample = generate({"--seconds", "300", "--break-every", "40"});
  expect_documents_match(sample);
}

TEST(ExportConsistency, AnHourInLevelMode) {
  expect_documents_match(generate({"--seconds", "3600"}));
}

TEST(ExportConsistency, GapMode) {
  expect_documents_match(generate({"--seconds", "600", "--loudest", "9000", "--seed", "7"}));
}

TEST(ExportClients, JsonParsesWithOddNamesAndJqFindsTheBreaks) {
  temp_dir dir;
  const string name = "we\"ird\\\xff\xe2\x82\xac\t.evt";
  const string path = dir.write(name, event_file(SEVERAL));
  process_result json = run_cutspot({"-json", path});
  ASSERT_EQ(json.status, 0) << json.err;
  const string doc = dir.write("doc.json", json.out);
  const string escaped = dir.path() + "/we\\\"ird\\\\\\ufffd\xe2\x82\xac\\t";
  EXPECT_EQ(json.out.substr(0, json.out.find(", \"mode\"")),
            "{\"file\": \"" + escaped + ".mpg\", \"event_file\": \"" + escaped + ".evt\"");

  // Strict UTF-8 and JSON, and the names come back with only the bad byte replaced.
  process_result py = run_process(
      "/usr/bin/env",
      {"python3", "-c",
       "import json, sys\n"
       "d = json.loads(open(sys.argv[1], 'rb').read().decode('utf-8'))\n"
       "print(json.dumps([d['file'], d['event_file'], d['records'], len(d['marks'])]))\n",
       doc});
  ASSERT_EQ(py.status, 0) << py.err;
  const string stem = dir.path() + "/we\\\"ird\\\\\\ufffd\\u20ac\\t";
  EXPECT_EQ(py.out, "[\"" + stem + ".mpg\", \"" + stem + ".evt\", 29, 5]\n");

  process_result jq =
      run_process("/usr/bin/env", {"jq", "-r", ".marks[] | select(.kind==\"D\") | .time", doc});
  ASSERT_EQ(jq.status, 0) << jq.err;
  EXPECT_EQ(jq.out, "001:11.000\n010:01.499\n");
}

}  // namespace
}  // namespace cutspot::testing
