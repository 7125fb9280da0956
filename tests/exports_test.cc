// The JSON, edit decision list and chapter documents: their exact bytes, JSON strings made
// from any bytes, and the same marks as the cut list in whole runs, the JSON read by jq.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "event_file_writer.h"
#include "eventfile/big_endian.h"
#include "process.h"
#include "report/exports.h"
#include "report/json_text.h"

namespace cutspot::testing {
namespace {

using std::string, std::vector;

// The cut list, JSON, edit decision list and chapters of runs of the binary on path.
vector<string> outputs(const vector<string>& options, const string& path) {
  vector<string> out;
  for (const char* format : {"", "-json", "-edl", "-chapters"}) {
    vector<string> args = options;
    if (*format != '\0') args.push_back(format);
    args.push_back(path);
    const process_result r = run_cutspot(args);  // A failed run shows its status and error.
    out.push_back(r.status == 0 ? r.out : "status " + std::to_string(r.status) + ": " + r.err);
  }
  return out;
}

// What `write` appends to a fresh output buffer.
template <typename F>
string render(F write) {
  string_sink sink;
  auto out = std::make_unique<output_buffer>(sink);
  write(out.get());
  EXPECT_TRUE(out->flush());
  return sink.text;
}

string chapter(std::int64_t start, std::int64_t end, const string& title) {
  return "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" + std::to_string(start) +
         "\nEND=" + std::to_string(end) + "\ntitle=" + title + "\n";
}

// An event file of two-second quiet-dark intervals from each start, each of its own node,
// with bright pictures and loud sound between.
string recording(const vector<std::int64_t>& starts) {
  vector<test_record> r;
  for (std::int64_t s : starts) {
    r.insert(r.end(), {audio(s - 10 * MS, 100), video(s, 10), audio(s + 2 * SEC, 100),
                       audio(s + 2 * SEC + 10 * MS, 5000), video(s + 2 * SEC + 20 * MS, 250)});
  }
  return event_file(r);
}

TEST(ExportDocuments, ExactBytes) {
  temp_dir dir;
  const auto json = [&](const string& rest) {
    return R"({"file": ")" + dir.path() + R"(/show.mpg", "event_file": ")" + dir.path() +
           R"(/show.evt", )" + rest + "\n";
  };
  // No records but a partial one: gap mode, no marks. Then a lead-in A at 11.0015 s and a D
  // at 601.4995 s, times that truncate, and a last record at 602.5195 s.
  for (const auto& [file, want] : vector<std::pair<string, vector<string>>>{
           {event_file({}, 23),
            {"F" + dir.path() + "/show.mpg\nE\n",
             json(R"("mode": "gap", "audio_scale": 1, "silence_threshold": 4294967295, )"
                  R"("period_seconds": 300, "ignore_seconds": 0, "records": 0, "marks": []})"),
             "", ";FFMETADATA1\n"}},
           {recording({10 * SEC + 1500 * 1000, 600 * SEC + 499500 * 1000}),
            {"F" + dir.path() + "/show.mpg\nA000:11.001\nD010:01.499\nE\n",
             json(R"("mode": "level", "audio_scale": 2, "silence_threshold": 1180, )"
                  R"("period_seconds": 300, "ignore_seconds": 0, "records": 10, "marks": [)"
                  R"({"kind": "A", "ns": 11001500000, "time": "000:11.001", )"
                  R"("start_ns": 10001500000, "end_ns": 12001500000}, {"kind": "D", )"
                  R"("ns": 601499500000, "time": "010:01.499", "start_ns": 600499500000, )"
                  R"("end_ns": 602499500000}]})"),
             "11.001\t11.001\t2\n601.499\t601.499\t2\n",
             ";FFMETADATA1\n" + chapter(0, 11001, "Start") +
                 chapter(11001, 601499, "A 000:11.001") +
                 chapter(601499, 602519, "D 010:01.499")}}}) {
    EXPECT_EQ(outputs({}, dir.write("show.evt", file)), want);
  }
}

// A mark at 0 ms replaces "Start", a second mark in one millisecond adds nothing, and the
// last chapter ends at its own mark when the last record is earlier, which only a
// detector made by hand can show.
TEST(ExportDocuments, ChapterEdges) {
  auto detector = std::make_unique<interval_detector>();
  detector->intervals = {{1, MS, 0, 0, 0}, {SEC, SEC, 0, 0, 0}, {SEC + 1, SEC + 3, 0, 0, 0}};
  detector->last_record_ns = SEC / 2;
  const report_context context{"x.evt", "x.mpg", {}, {}, detector.get()};
  EXPECT_EQ(
      render([&](output_buffer* out) { print_chapters(context, out); }),
      ";FFMETADATA1\n" + chapter(0, 1000, "A 000:00.000") + chapter(1000, 1000, "A 000:01.000"));
}

TEST(JsonText, Strings) {
  const vector<std::pair<string, string>> cases = {
      {"", R"("")"},
      {string("\"\\\b\f\n\r\t\0\x01\x1f", 10), R"("\"\\\b\f\n\r\t\u0000\u0001\u001f")"},
      // DEL and well-formed UTF-8 up to U+10FFFF are kept.
      {"\x7f\xc3\xa9\xe2\x82\xac\xf4\x8f\xbf\xbf", "\"\x7f\xc3\xa9\xe2\x82\xac\xf4\x8f\xbf\xbf\""},
      // Bytes that begin nothing (FF, F5, a lone continuation), and each byte of a surrogate.
      {"a\xff\xf5\x80\xed\xa0\x80", R"("a\ufffd\ufffd\ufffd\ufffd\ufffd\ufffd")"},
      // A truncated sequence is one replacement.
      {"\xe2\x82\x41\xf0\x9f\x98", R"("\ufffdA\ufffd")"},
      // Overlong forms, and past U+10FFFF: each byte.
      {"\xc0\x80\xe0\x9f\xf0\x8f\xf4\x90", R"("\ufffd\ufffd\ufffd\ufffd\ufffd\ufffd\ufffd\ufffd")"},
  };
  for (const auto& [bytes, json] : cases) {
    EXPECT_EQ(render([&](output_buffer* out) { append_json_string(bytes, out); }), json);
  }
}

// The documents of whole runs on the sample and on an hour's generated recording, for
// three settings, against the cut list of the same run. The file has an odd name, which jq
// must read back from the JSON with only the bad byte replaced.
TEST(ExportConsistency, EveryDocumentHasTheCutListsMarks) {
  temp_dir dir;
  for (const string& bytes : {read_file(CUTSPOT_SOURCE_DIR "/examples/sample.evt"),
                              run_process(EVTGEN_BINARY, {"--seconds", "3600"}).out}) {
    ASSERT_GT(bytes.size(), 32U);
    // The time of the last whole record, at the front of its 24 bytes.
    const std::size_t last = (bytes.size() - 8) / 24 * 24 - 16;
    const auto last_ms = decode_be64(reinterpret_cast<const unsigned char*>(&bytes[last])) / MS;
    for (const vector<string>& options : vector<vector<string>>{{}, {"-p60", "-i30"}, {"-i100"}}) {
      SCOPED_TRACE(std::to_string(bytes.size()) + " bytes, " + ::testing::PrintToString(options));
      const vector<string> out = outputs(options, dir.write("a\"b\\c\xff\t.evt", bytes));
      // The documents as the cut list's marks ("Kmmm:ss.mmm") say they must be.
      string line, marks = dir.path() + "/a\"b\\c\xef\xbf\xbd\t.mpg\n", edl;
      string chapters = ";FFMETADATA1\n", title = "Start";
      long long m = 0, s = 0, ms = 0, start = 0;
      // The cut list after its F line.
      for (std::istringstream in(out[0].substr(out[0].find('\n') + 1));
           std::getline(in, line) && line != "E";) {
        ASSERT_EQ(std::sscanf(line.c_str(), "%*c%lld:%lld.%lld", &m, &s, &ms), 3) << line;
        ms += (m * 60 + s) * 1000;
        marks += line + "\n";
        const string seconds = std::to_string(ms / 1000) + line.substr(line.size() - 4);
        edl += seconds + "\t" + seconds + "\t2\n";
        // Each mark ends the chapter before and begins one titled "K mmm:ss.mmm".
        chapters +=
            chapter(std::exchange(start, ms), ms, std::exchange(title, line.insert(1, " ")));
      }
      ASSERT_TRUE(line == "E" && !edl.empty());
      EXPECT_EQ(out[2], edl);
      EXPECT_EQ(out[3], chapters + chapter(start, last_ms, title));
      const vector<string> jq = {"jq", "-r", ".file, (.marks[] | .kind + .time)",
                                 dir.write("j", out[1])};
      EXPECT_EQ(run_process("/usr/bin/env", jq).out, marks);
    }
  }
}

}  // namespace
}  // namespace cutspot::testing
