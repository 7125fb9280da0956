// Whole runs of cutspot in memory, through run_cutspot: the event files are strings and
// both output streams are captured. Sources that fail on purpose stand in for disks that
// fail and files that change while they are read.
#ifndef CUTSPOT_TESTS_IN_MEMORY_RUN_H_
#define CUTSPOT_TESTS_IN_MEMORY_RUN_H_

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/run.h"
#include "eventfile/byte_source.h"

namespace cutspot::testing {

struct run_result {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `cutspot args...`; a name found in `files` opens as those bytes (and exists), any
// other cannot be opened ("No such file or directory"). Small blocks cross block
// boundaries often. `together`: both streams into `out`, as on a terminal.
run_result run_in_memory(const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& files,
                         std::size_t block_records = 3, bool together = false);
// The same with a source of the test's choosing; no other file exists.
run_result run_with_opener(
    const std::vector<std::string>& args, const source_opener& open, std::size_t block_records = 3,
    const existence_check& exists = [](const std::string&) { return false; },
    bool together = false);

// Opens any name as the source that `make` gives.
source_opener opening(const std::function<std::unique_ptr<byte_source>()>& make);

// Delivers the bytes up to `fail_at`, a few at a time, then fails: with a read error, or
// by ending early as a file that shrank would. Its length stays that of all the bytes.
// The first `whole_passes` passes (counted by rewinds) read everything. Adds the bytes it
// delivers to `*delivered` if that is set.
class faulty_source final : public byte_source {
 public:
  enum fault { read_error, shrinks };
  faulty_source(std::string_view bytes, std::size_t fail_at, fault how, int whole_passes = 0)
      : bytes_(bytes), fail_at_(fail_at), how_(how), whole_passes_(whole_passes) {}

  std::uint64_t length() const override { return bytes_.size(); }
  bool rewind() override;
  std::size_t read(unsigned char* buf, std::size_t n) override;
  std::string error() const override { return error_; }
  std::size_t* delivered = nullptr;

 private:
  std::string_view bytes_;
  std::size_t fail_at_;
  fault how_;
  int whole_passes_;
  int passes_ = 0;
  std::size_t pos_ = 0;
  std::string error_;
};

}  // namespace cutspot::testing

#endif  // CUTSPOT_TESTS_IN_MEMORY_RUN_H_
