// Rows for one-line faults that the rest of the suite let through, each seeded once to see
// the row fail: whole runs in memory, compared byte for byte where the fault would show.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "event_file_writer.h"
#include "in_memory_run.h"

namespace cutspot {
namespace {

using namespace testing;

const std::string USAGE_LINE = "Usage: cutspot [-p<sec>] [-i<sec>] [-graph] <evt-file>\n";
const std::string TRY = "Try 'cutspot --help'.\n";

// Loud programme, a record of each kind every `every` from 1 s to `last`, and a dark,
// quiet moment at each of `marks` (in order): quiet sound 10 ms before, a dark picture at
// the time itself, loud sound 1.05 s after. Each gives a mark at exactly its time.
std::string marked(std::int64_t every, std::int64_t last, const std::vector<std::int64_t>& marks) {
  std::vector<event_record> r;
  std::size_t next = 0;
  for (std::int64_t t = SEC; t <= last;) {
    if (next < marks.size() && marks[next] - 10 * MS <= t) {
      const std::int64_t m = marks[next++];
      r.insert(r.end(), {audio(m - 10 * MS, 10), video(m, 5), audio(m + 1050 * MS, 5000)});
      t = m + 1100 * MS;
      continue;
    }
    r.insert(r.end(), {audio(t, 5000), video(t + 20 * MS, 180)});
    t += every;
  }
  r.push_back(audio(last, 5000));
  return event_file(r);
}

// The whole line of `text` that begins with `start`, or "" when none does.
std::string line_of(const std::string& text, const std::string& start) {
  const std::size_t at = text.rfind("\n" + start);
  return at == std::string::npos ? "" : text.substr(at + 1, text.find('\n', at + 1) - at);
}

// The picture's stroke of one pixel column in the video or audio panel, or "" when the
// column is not drawn.
std::string column(const std::string& svg, const std::string& panel, int x) {
  const std::string path = line_of(svg, "<path class=\"" + panel + "\" d=\"M");
  const std::size_t at = path.find("M" + std::to_string(x) + ".5 ");
  return at == std::string::npos ? "" : path.substr(at, path.find_first_of("M\"", at + 1) - at);
}

std::string svg_of(const std::string& file, const std::vector<std::string>& options = {}) {
  std::vector<std::string> args = options;
  args.insert(args.end(), {"-svg", "p.evt"});
  const run_result r = run_in_memory(args, {{"p.evt", file}});
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

TEST(SeededFaults, NamesAtTheEdgesOfControlCharacters) {
  auto refused = [](const std::string& quoted) {
    return "cutspot: " + quoted +
           ": a file name with a control character would corrupt the cut list\n" + TRY;
  };
  auto missing = [](const std::string& quoted) {
    return "cutspot: cannot open " + quoted + ": No such file or directory\n";
  };
  const struct {
    std::string name;
    std::string err;
  } rows[] = {
      {"a\x1f.evt", refused("'a\\x1f.evt'")},  // The last of C0.
      {"a .evt", missing("'a .evt'")},
      {"a~.evt", missing("'a~.evt'")},
      {"a\x7f.evt", refused("'a\\x7f.evt'")},
      // C1 is quoted; U+00A0 after it is a character like any other.
      {"n\xc2\x9f.evt", missing("'n\\xc2\\x9f.evt'")},
      {"n\xc2\xa0.evt", missing("'n\xc2\xa0.evt'")},
      // E0 80 80 is an overlong form of U+0000; E0 A0 80 is U+0800, the first of three bytes.
      {"o\xe0\x80\x80.evt", missing("'o\\xe0\\x80\\x80.evt'")},
      {"o\xe0\x9f\xbf.evt", missing("'o\\xe0\\x9f\\xbf.evt'")},
      {"o\xe0\xa0\x80.evt", missing("'o\xe0\xa0\x80.evt'")},
  };
  for (const auto& row : rows) {
    const run_result r = run_in_memory({row.name}, {});
    EXPECT_EQ(r.status, 2) << row.name;
    EXPECT_EQ(r.out, USAGE_LINE) << row.name;
    EXPECT_EQ(r.err, row.err) << row.name;
  }
  // In the documents: U+00A0 kept, every byte of the overlong form replaced.
  const std::string name = "n\xc2\xa0\xe0\x80\x80.evt";
  const std::map<std::string, std::string> files = {{name, marked(SEC, 80 * SEC, {70 * SEC})}};
  const std::string json =
      "{\"file\": \"n\xc2\xa0\\ufffd\\ufffd\\ufffd.mpg\", \"event_file\": "
      "\"n\xc2\xa0\\ufffd\\ufffd\\ufffd.evt\", ";
  EXPECT_EQ(run_in_memory({"-json", name}, files).out.substr(0, json.size()), json);
  EXPECT_EQ(line_of(run_in_memory({"-svg", name}, files).out, "<title>"),
            "<title>cutspot: n\xc2\xa0\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd.evt</title>\n");
}

TEST(SeededFaults, AnIgnoreEqualToThePeriodIsKept) {
  // Marks at 70 s, 100 s and 160 s: with 50 s ignored the second is dropped and the third
  // is 60 s after it; with nothing ignored the second is an A.
  const std::map<std::string, std::string> files = {
      {"m.evt", marked(SEC, 170 * SEC, {70 * SEC, 100 * SEC, 160 * SEC})}};
  const struct {
    std::vector<std::string> args;
    std::string out;
  } rows[] = {
      {{"-p50", "-i50", "m.evt"}, "Fm.mpg\nD001:10.000\nD002:40.000\nE\n"},
      {{"-p50", "-i49", "m.evt"}, "Fm.mpg\nD001:10.000\nD002:40.000\nE\n"},
      {{"-p50", "-i51", "m.evt"}, "Fm.mpg\nD001:10.000\nA001:40.000\nD002:40.000\nE\n"},
      {{"-p50", "m.evt"}, "Fm.mpg\nD001:10.000\nA001:40.000\nD002:40.000\nE\n"},
  };
  for (const auto& row : rows) {
    const run_result r = run_in_memory(row.args, files);
    EXPECT_EQ(r.out, row.out) << row.args[1];
    EXPECT_EQ(r.err, "") << row.args[1];
  }
  EXPECT_NE(run_in_memory({"-p50", "-i50", "-json", "m.evt"}, files)
                .out.find("\"period_seconds\": 50, \"ignore_seconds\": 50,"),
            std::string::npos);
}

TEST(SeededFaults, GraphQuietRecordsKeepTheirSpanOpen) {
  // Level mode (scale 2, threshold 2800): quiet sound at 10 s and again 1.5 s later, then
  // loud. Only loud sound closes a span, however long it has lasted.
  const std::string file = event_file({audio(5 * SEC, 5000), audio(10 * SEC, 1000),
                                       audio(11500 * MS, 1000), audio(12 * SEC, 5000)});
  const run_result r = run_in_memory({"-graph", "g.evt"}, {{"g.evt", file}});
  std::string shape;
  for (std::size_t at = r.out.find('\n') + 1; at < r.out.size() && r.out[at] != '\n';
       at = r.out.find('\n', at) + 1) {
    shape += r.out.substr(at, 10) + " ";
  }
  EXPECT_EQ(shape, "000:05.000 ---------- 000:10.000 000:11.500 ---------- 000:12.000 ");
}

TEST(SeededFaults, TheLastChapterNeverEndsBeforeItStarts) {
  auto chapters = [](const std::string& last_end) {
    return ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=70000\ntitle=Start\n"
           "[CHAPTER]\nTIMEBASE=1/1000\nSTART=70000\nEND=" +
           last_end + "\ntitle=D 001:10.000\n";
  };
  const std::string mark = marked(SEC, 75 * SEC, {70 * SEC});
  const struct {
    const char* what;
    std::string file;
    std::string out;
  } rows[] = {
      {"ends at the last record", mark, chapters("75000")},
      // The last record read is back at 10 s: the chapter ends where it starts.
      {"back in time", mark + event_file({audio(10 * SEC, 5000)}).substr(8), chapters("70000")},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(run_in_memory({"-chapters", "c.evt"}, {{"c.evt", row.file}}).out, row.out)
        << row.what;
  }
}

TEST(SeededFaults, PictureBinsAtTheEdgeOfTheirSpan) {
  // 4096 bins of 2^20 ns reach 4096 << 20 ns less one; a record at that time itself needs
  // bins twice as wide (2049 of them). The grid lines of whole seconds show the width.
  const std::int64_t edge = std::int64_t{4096} << 20;
  const struct {
    std::int64_t last;
    const char* grid;
  } rows[] = {
      {edge - 1, "M64 60V376M413.2 60V376M762.4 60V376M1111.7 60V376M1460.9 60V376"},
      {edge, "M64 60V376M413 60V376M762.1 60V376M1111.2 60V376M1460.3 60V376"},
  };
  for (const auto& row : rows) {
    const std::string file =
        event_file({audio(1 * MS, 5000), video(2 * MS, 100), audio(row.last, 5000)});
    EXPECT_EQ(line_of(svg_of(file), "<path class=\"grid\""),
              "<path class=\"grid\" d=\"" + std::string(row.grid) + "\"/>\n")
        << row.last;
  }
}

// Level mode, records every 40 ms from 1 s to 2.9 s (picture 100, sound 8000 scaled),
// a pause, `after` at 5.5 s, then records every 40 ms from `resume` to about 7 s (picture
// 200, sound 10000).
std::string paused(const event_record& after, std::int64_t resume) {
  std::vector<event_record> r;
  for (std::int64_t t = SEC; t <= 2900 * MS; t += 40 * MS) {
    r.insert(r.end(), {audio(t, 4000), video(t + 20 * MS, 100)});
  }
  r.push_back(after);
  for (std::int64_t t = resume; t <= 7 * SEC; t += 40 * MS) {
    r.insert(r.end(), {audio(t, 5000), video(t + 20 * MS, 200)});
  }
  return event_file(r);
}

TEST(SeededFaults, PicturePausesAndTheColumnsAroundThem) {
  // Up to 7.02 s: 3348 bins of 2^21 ns, so a time t lies at 64 + t * 1500 / 7.021 s px.
  // The last record before the pause, 2.9 s, is in column 683 and 5.5 s in column 1239:
  // the band covers the columns between. The column after the pause shows its own
  // picture (200: row 85) and sound (10000: row 196), not those from before it.
  const std::string svg = svg_of(paused(video(5500 * MS, 200), 5520 * MS));
  EXPECT_EQ(line_of(svg, "<g class=\"gap\">") + line_of(svg, "<rect x=\"684\""),
            "<g class=\"gap\">\n<rect x=\"684\" y=\"60\" width=\"555\" height=\"316\"/>\n");
  EXPECT_EQ(column(svg, "video", 683), "M683.5 132V133");
  EXPECT_EQ(column(svg, "video", 684), "");
  EXPECT_EQ(column(svg, "video", 1238), "");
  EXPECT_EQ(column(svg, "video", 1239), "M1239.5 85V86");
  EXPECT_EQ(column(svg, "audio", 1239), "M1239.5 196V197");

  // A record back in the column before the pause, after it: that column carries its
  // levels on, but the pause's first column after it (1563, of 5.5 s) still shows its own
  // picture alone, 200.
  std::vector<event_record> back;
  for (std::int64_t t = SEC; t < 2890 * MS; t += 40 * MS) {
    back.insert(back.end(), {audio(t, 4000), video(t + 20 * MS, 100)});
  }
  back.insert(back.end(), {video(2890 * MS, 100), video(5500 * MS, 200), video(2905 * MS, 50)});
  EXPECT_EQ(column(svg_of(event_file(back)), "video", 1563), "M1563.5 85V86");
}

TEST(SeededFaults, PictureLevelsCarriedAcrossAPauseInLevelMode) {
  // A record of another type first after the pause, at 5.5 s (column 1242 of 7.0 s):
  // in level mode it shows the levels from before the pause, picture 100 and sound 8000.
  const std::string svg = svg_of(paused(other(5500 * MS, 3), 6500 * MS));
  EXPECT_EQ(column(svg, "video", 1242), "M1242.5 132V133");
  EXPECT_EQ(column(svg, "audio", 1242), "M1242.5 231V232");
  EXPECT_NE(line_of(svg, "<rect x=\"686\" y=\"60\" width=\"556\""), "");
}

TEST(SeededFaults, PictureMarkLabelsAndGroups) {
  // Up to 251.6 s: 3750 bins of 2^26 ns, so a mark at n * 2^24 ns lies at 64 + n / 10 px.
  // A label needs 13 px clear of the previous one: 4130 has room after 4000, 4259 not.
  const std::string labels =
      svg_of(marked(500 * MS, 251600 * MS, {4000LL << 24, 4130LL << 24, 4259LL << 24}));
  EXPECT_EQ(line_of(labels, "<g class=\"mark A\" data-kind=\"A\" data-ns=\"69289902080\""),
            "<g class=\"mark A\" data-kind=\"A\" data-ns=\"69289902080\"><title>A "
            "001:09.289</title><line x1=\"477\" y1=\"54\" x2=\"477\" y2=\"382\"/><text "
            "transform=\"translate(481 494) rotate(-90)\">A 001:09.289</text></g>\n");
  EXPECT_EQ(line_of(labels, "<g class=\"mark A\" data-kind=\"A\" data-ns=\"71454162944\""),
            "<g class=\"mark A\" data-kind=\"A\" data-ns=\"71454162944\"><title>A "
            "001:11.454</title><line x1=\"489.9\" y1=\"54\" x2=\"489.9\" y2=\"382\"/></g>\n");
  // Up to 4026 s: 3750 bins of 2^30 ns; the A of the first minute at 59.5 s and the D at
  // 60.6 s share pixel column 86: one group, a D.
  const std::string merged = svg_of(marked(2 * SEC, 4026 * SEC, {59500 * MS, 60600 * MS}));
  EXPECT_EQ(line_of(merged, "<g class=\"mark "),
            "<g class=\"mark D\" data-kind=\"D\" data-ns=\"59500000000\" data-count=\"2\" "
            "data-last-ns=\"60600000000\"><title>2 marks from A 000:59.500 to D "
            "001:00.600</title><line x1=\"86.1\" y1=\"54\" x2=\"86.1\" y2=\"382\"/><text "
            "transform=\"translate(90.1 494) rotate(-90)\">D 000:59.500 (2)</text></g>\n");
}

}  // namespace
}  // namespace cutspot
