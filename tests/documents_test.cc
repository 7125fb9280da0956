// The documents as exact bytes: the shipped sample's, and two small files that reach the
// picture's odd corners (gap mode with pauses, a record back in time and less than 1.5 s
// in all; times at the far ends of the 64-bit range). The expected documents are in
// tests/golden/; after a deliberate change, run the tests with CUTSPOT_UPDATE_GOLDEN=1
// to rewrite them, and review the difference before committing it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "event_file_writer.h"
#include "in_memory_run.h"
#include "process.h"

namespace cutspot {
namespace {

using namespace testing;

const std::string SOURCE = CUTSPOT_SOURCE_DIR;

std::string gap_mode_file() {
  return event_file({audio(10 * MS, 20000), video(20 * MS, 220), audio(50 * MS, 0),
                     video(60 * MS, 0), video(100 * MS, 0), audio(80 * MS, 0),  // Back in time.
                     video(300 * MS, 250),
                     // A pause of 1.1 s, then a stretch still dark at the end.
                     audio(1400 * MS, 0), video(1410 * MS, 5), video(1450 * MS, 5)});
}

std::string extreme_times_file() {
  return event_file({audio(1, 100), video(2, 0), audio(INT64_MAX - 1, 5000), video(INT64_MAX, 250),
                     audio(INT64_MIN, 100), video(-1, 0)});
}

void expect_golden(const std::string& name, const std::string& actual) {
  const std::string path = SOURCE + "/tests/golden/" + name;
  if (std::getenv("CUTSPOT_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  EXPECT_EQ(actual, read_file(path)) << path;
}

TEST(Documents, SmallFilesAsGolden) {
  const std::map<std::string, std::string> files = {{"gap.evt", gap_mode_file()},
                                                    {"extreme.evt", extreme_times_file()}};
  const std::vector<std::pair<std::string, std::string>> formats = {
      {"-svg", "svg"}, {"-json", "json"}, {"-edl", "edl"}, {"-chapters", "ffmeta"}, {"", "cut"}};
  for (const char* name : {"gap", "extreme"}) {
    for (const auto& [option, extension] : formats) {
      std::vector<std::string> args;
      if (!option.empty()) args.push_back(option);
      args.push_back(std::string(name) + ".evt");
      const run_result r = run_in_memory(args, files);
      EXPECT_EQ(r.status, 0) << name << option;
      EXPECT_EQ(r.err, "") << name << option;
      expect_golden(std::string(name) + "." + extension, r.out);
    }
  }
}

TEST(Documents, TheSampleAsShipped) {
  const std::map<std::string, std::string> files = {
      {"examples/sample.evt", read_file(SOURCE + "/examples/sample.evt")}};
  // The picture that the README shows.
  EXPECT_EQ(run_in_memory({"-svg", "examples/sample.evt"}, files, 8192).out,
            read_file(SOURCE + "/examples/sample.svg"));
  // The cut lists that the README shows.
  EXPECT_EQ(run_in_memory({"examples/sample.evt"}, files).out,
            "Fexamples/sample.mpg\nA000:26.508\nA000:59.083\nD001:45.021\nA002:27.286\n"
            "A003:10.355\nA004:11.403\nA004:55.206\nE\n");
  EXPECT_EQ(run_in_memory({"-i60", "examples/sample.evt"}, files).out,
            "Fexamples/sample.mpg\nA000:26.508\nA000:59.083\nD001:45.021\nA004:11.403\nE\n");
  for (const auto& [option, extension] : std::map<std::string, std::string>{
           {"-json", "json"}, {"-edl", "edl"}, {"-chapters", "ffmeta"}}) {
    const run_result r = run_in_memory({option, "examples/sample.evt"}, files);
    expect_golden("sample." + extension, r.out);
  }
}

}  // namespace
}  // namespace cutspot
