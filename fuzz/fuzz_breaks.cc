// Arbitrary bytes as an event file, through whole runs of `cutspot -breaks` in memory
// (run_cutspot), one for each document of breaks. Each output is checked for its
// structure (fuzz/checks.h), and the documents against one another: the list, the edit
// decision list, the JSON document's advertising parts and the chapters titled
// Advertising N hold the same breaks, in time order, none shorter than the shortest
// break; the programme parts fill the gaps, in the JSON document, the chapters and the
// cutting script alike.
//
// The program never reads the 8-byte header, so its bytes pick the run; the input stays
// exactly the event file: one that fails replays by hand.
//   byte 0  records per read: 1 + the byte, or the default at 255
//   byte 1  the shortest break: a row of SHORTEST (the byte modulo their number)
//   byte 2  the spot grid: a row of GRIDS
//   byte 3  bit 0: -ffconcat without -breaks, which it implies; bit 1: a name with a quote
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/run.h"
#include "checks.h"
#include "eventfile/byte_source.h"

namespace {

namespace fz = cutspot::fuzzing;
using fz::check;

// An option word and the seconds the JSON document shows for it; -1 where the word is
// no plain number.
struct setting {
  std::string_view word;
  std::int64_t seconds;
};
constexpr setting SHORTEST[] = {{"", 30},     {"-m0", 0},   {"-m1", 1},
                                {"-m10", 10}, {"-m30", 30}, {"-m2147483647", 2147483647},
                                {"-m-1", -1}, {"-m", -1},   {"-m99999999999", -1}};
constexpr setting GRIDS[] = {{"", 5},    {"-u0", 0},   {"-u1", 1},   {"-u5", 5},
                             {"-u7", 7}, {"-u-1", -1}, {"-u-5", -1}, {"-u2147483647", 2147483647}};

enum document { LIST, EDL, CHAPTERS, JSON, SVG, FFCONCAT, DOCUMENTS };
constexpr std::string_view DOCUMENT_OPTION[DOCUMENTS] = {"",      "-edl", "-chapters",
                                                         "-json", "-svg", "-ffconcat"};

struct part {
  bool advertising;
  std::int64_t start_ns;
  std::int64_t end_ns;
};

bool is_integer(std::string_view text) {
  return fz::is_digits(text.substr(text.starts_with('-')));
}

// The JSON document's parts: contiguous from 0, in time order, numbered for each kind
// from 1, their times those of their ns; the settings and the counts as they should be.
std::vector<part> check_break_json(std::string_view doc, const setting& shortest,
                                   const setting& grid) {
  check(doc.ends_with("}\n") && doc.find('\n') == doc.size() - 1 &&
            fz::is_clean_text(doc, false, true) && fz::is_json(doc),
        "JSON does not parse", doc);
  std::size_t at = 0;
  const std::string_view m = fz::after(doc, "\"shortest_break_seconds\": ", &at, ",");
  const std::string_view u = fz::after(doc, "\"spot_grid_seconds\": ", &at, ",");
  check((shortest.seconds < 0 || m == std::to_string(shortest.seconds)) &&
            (grid.seconds < 0 || u == std::to_string(grid.seconds)),
        "the JSON document's settings", doc);
  std::vector<part> parts;
  std::uint64_t counts[2] = {0, 0};
  for (std::string_view kind = fz::after(doc, "{\"kind\": \"", &at, "\""); !kind.empty();
       kind = fz::after(doc, "{\"kind\": \"", &at, "\"")) {
    const std::string_view number = fz::after(doc, "\"number\": ", &at, ",");
    const std::string_view start_ns = fz::after(doc, "\"start_ns\": ", &at, ",");
    const std::string_view end_ns = fz::after(doc, "\"end_ns\": ", &at, ",");
    const std::string_view start = fz::after(doc, "\"start\": \"", &at, "\"");
    const std::string_view end = fz::after(doc, "\"end\": \"", &at, "\"");
    const bool ad = kind == "advertising";
    check((ad || kind == "programme") && fz::is_digits(number) && is_integer(start_ns) &&
              is_integer(end_ns),
          "a JSON part", doc);
    parts.push_back({ad, std::stoll(std::string(start_ns)), std::stoll(std::string(end_ns))});
    const part& p = parts.back();
    check(start == fz::time_text(p.start_ns) && end == fz::time_text(p.end_ns),
          "a JSON part's times are not its ns", doc);
    check(number == std::to_string(++counts[ad]), "a JSON part numbered out of turn", doc);
    check(p.start_ns == (parts.size() == 1 ? 0 : parts[parts.size() - 2].end_ns),
          "JSON parts overlap, or leave a gap", doc);
    check(ad ? p.end_ns >= p.start_ns : p.end_ns > p.start_ns, "a JSON part ends too soon", doc);
    check(!ad || shortest.seconds < 0 || p.end_ns - p.start_ns >= shortest.seconds * 1000000000,
          "a break shorter than the shortest", doc);
  }
  check(doc.ends_with("], \"programme_parts\": " + std::to_string(counts[0]) +
                      ", \"breaks\": " + std::to_string(counts[1]) + "}\n"),
        "the JSON document's counts", doc);
  return parts;
}

// What each document must be, given the parts: all but the picture, to the byte. The
// cutting script names the recording in quotes, as ffmpeg reads them.
std::string expected(document d, const std::vector<part>& parts, std::string_view recording) {
  const std::string quoted = recording == "it's.mpg" ? "'it'\\''s.mpg'" : "'show.mpg'";
  std::string text = d == LIST       ? "F" + std::string(recording) + "\n"
                     : d == CHAPTERS ? ";FFMETADATA1\n"
                     : d == FFCONCAT ? "ffconcat version 1.0\n"
                                     : "";
  std::uint64_t counts[2] = {0, 0};
  for (const part& p : parts) {
    const std::int64_t number = static_cast<std::int64_t>(++counts[p.advertising]);
    if (d == LIST && p.advertising) {
      text += "B" + fz::time_text(p.start_ns) + " " + fz::time_text(p.end_ns) + "\n";
    } else if (d == EDL && p.advertising) {
      text += fz::seconds_text(p.start_ns) + "\t" + fz::seconds_text(p.end_ns) + "\t3\n";
    } else if (d == CHAPTERS) {
      text += "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" + std::to_string(p.start_ns / 1000000) +
              "\nEND=" + std::to_string(p.end_ns / 1000000) +
              "\ntitle=" + (p.advertising ? "Advertising " : "Programme ") +
              std::to_string(number) + "\n";
    } else if (d == FFCONCAT && !p.advertising) {
      text += "file " + quoted + "\n";
      if (p.start_ns > 0) text += "inpoint " + fz::seconds_text(p.start_ns) + "\n";
      if (&p != &parts.back()) text += "outpoint " + fz::seconds_text(p.end_ns) + "\n";
    }
  }
  return d == LIST ? text + "E\n" : text;
}

int test_one_input(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const auto header = [&](std::size_t i) { return i < size ? data[i] : 0u; };
  const std::size_t block_records = header(0) == 255 ? 8192 : 1 + header(0);
  const setting& shortest = SHORTEST[header(1) % std::size(SHORTEST)];
  const setting& grid = GRIDS[header(2) % std::size(GRIDS)];
  const bool quote = (header(3) & 2) != 0;
  const std::string name = quote ? "it's.evt" : "show.evt";
  auto open = [&](const std::string& opened) {
    check(opened == name, "another file opened", opened);
    return cutspot::open_result{
        cutspot::open_status::opened, std::make_unique<cutspot::memory_source>(file), {}};
  };
  const cutspot::run_options options{block_records, [](const std::string&) { return false; }};

  cutspot::testing::run_result runs[DOCUMENTS];
  for (int d = 0; d < DOCUMENTS; ++d) {
    std::vector<std::string> args;
    for (std::string_view word :
         {std::string_view(d == FFCONCAT && (header(3) & 1) ? "" : "-breaks"), shortest.word,
          grid.word, DOCUMENT_OPTION[d]}) {
      if (!word.empty()) args.emplace_back(word);
    }
    args.push_back(name);
    runs[d] = fz::run_checked(args, open, nullptr, options);
    check(runs[d].status == runs[0].status && runs[d].status != cutspot::EXIT_USAGE,
          "the documents' runs end differently", runs[d].err);
    check(fz::is_clean_text(runs[d].out, d == EDL, d == JSON),
          "a control character or ill-formed UTF-8", runs[d].out);
  }
  check(runs[LIST].out.ends_with("\nE\n") == (runs[LIST].status == 0),
        "the E line and the status disagree", runs[LIST].out);
  if (runs[0].status != 0) return 0;

  const std::vector<part> parts = check_break_json(runs[JSON].out, shortest, grid);
  for (document d : {LIST, EDL, CHAPTERS, FFCONCAT}) {
    check(runs[d].out == expected(d, parts, quote ? "it's.mpg" : "show.mpg"),
          "a document disagrees with the JSON parts", runs[d].out + "\n" + runs[JSON].out);
  }
  fz::check_chapters(runs[CHAPTERS].out);
  fz::check_svg(runs[SVG].out);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return test_one_input(data, size);
}
