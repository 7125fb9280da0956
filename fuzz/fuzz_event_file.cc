// Arbitrary bytes as an event file, through every pass of a whole run in memory.
//
// The first byte of the header is never examined by the program, so it picks the command
// line here: the bytes are still exactly the event file, and an input that crashes can be
// replayed with `cutspot` by hand. Bits 0-2 choose the output (plain, -graph before or
// after the name, or one of the documents), bits 3-4 a period and bits 5-7 an ignore span,
// including the values that parse to 0 and to 4294967295.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/run.h"
#include "eventfile/event_record.h"
#include "output_checks.h"

namespace {

using cutspot::fuzzing::check;

constexpr const char* FILE_NAME = "fuzz.evt";

struct outcome {
  int status;
  std::string out;
  std::string err;
};

outcome run(std::string_view file, const std::vector<const char*>& options) {
  std::vector<const char*> argv = {"cutspot"};
  argv.insert(argv.end(), options.begin(), options.end());
  auto opener = [file](const std::string& name, std::string*, bool*) {
    check(name == FILE_NAME, "opened the wrong name", name);
    return std::unique_ptr<cutspot::byte_source>(new cutspot::memory_source(file));
  };
  cutspot::string_sink out;
  cutspot::string_sink err;
  int status = cutspot::run_cutspot(static_cast<int>(argv.size()), argv.data(), opener, out, err);
  return {status, std::move(out.text), std::move(err.text)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const unsigned selector = size > 0 ? data[0] : 0;

  static const char* const PERIODS[] = {nullptr, "-p", "-p60", "-p-1"};
  static const char* const IGNORES[] = {nullptr, nullptr, "-i1",  "-i5",
                                        "-i30",  "-i300", "-i-1", "-i2147483648"};
  std::vector<const char*> options;
  if (const char* p = PERIODS[(selector >> 3) & 3]) options.push_back(p);
  if (const char* i = IGNORES[(selector >> 5) & 7]) options.push_back(i);
  // The same settings without the graph or the document, to compare with.
  std::vector<const char*> plain = options;
  plain.push_back(FILE_NAME);

  const unsigned mode = selector & 7;
  static const char* const DOCUMENTS[] = {"-json", "-edl", "-chapters", "-svg"};
  bool graph = false;
  switch (mode) {
    case 1:
      graph = true;
      options.push_back("-graph");
      options.push_back(FILE_NAME);
      break;
    case 2:
      graph = true;
      options.push_back(FILE_NAME);
      options.push_back("-graph");
      break;
    case 3:
    case 4:
    case 5:
    case 6:
      options.push_back(DOCUMENTS[mode - 3]);
      options.push_back(FILE_NAME);
      break;
    default:
      options.push_back(FILE_NAME);
      break;
  }

  const outcome result = run(file, options);
  cutspot::fuzzing::check_diagnostics(result.err);
  // Memory never fails to read, and a string never fails to take output.
  check(result.status == 0, "exit status", result.err);
  check(result.err.empty(), "quiet stderr", result.err);
  const std::size_t records =
      size < cutspot::EVENT_HEADER_SIZE
          ? 0
          : (size - cutspot::EVENT_HEADER_SIZE) / cutspot::EVENT_RECORD_SIZE;

  if (mode >= 3 && mode <= 6) {
    // Every document has the marks of the cut list for the same settings.
    const outcome listed = run(file, plain);
    check(listed.status == 0, "cut list exit status", listed.err);
    cutspot::fuzzing::check_cut_list(listed.out, "fuzz.mpg");
    const std::vector<std::string> marks = cutspot::fuzzing::mark_lines(listed.out);
    if (mode == 3) {
      check(cutspot::fuzzing::count(result.out, "{\"kind\": \"") == marks.size(), "JSON marks",
            result.out);
      check(result.out.find("\"records\": " + std::to_string(records) + ",") != std::string::npos,
            "JSON record count", result.out);
    } else if (mode == 4) {
      std::string expected;
      for (const std::string& mark : marks) {
        const std::string seconds = cutspot::fuzzing::seconds_text(mark.substr(1));
        expected += seconds + "\t" + seconds + "\t2\n";
      }
      check(result.out == expected, "EDL marks", result.out);
    } else {
      check(!result.out.empty(), "empty document");
    }
    return 0;
  }

  std::string_view list = result.out;
  if (graph) {
    list = cutspot::fuzzing::check_graph(list, records);
    // The graph has no influence on the cut list.
    const outcome without = run(file, plain);
    check(without.status == 0 && without.out == list, "graph changed the cut list", list);
  }
  cutspot::fuzzing::check_cut_list(list, "fuzz.mpg");
  return 0;
}
