#include "in_memory_run.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "app/run.h"
#include "report/output_buffer.h"

namespace cutspot::testing {

run_result run_in_memory(const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& files, std::size_t block_records,
                         bool together) {
  const source_opener open = [&](const std::string& name) {
    const auto found = files.find(name);
    if (found != files.end())
      return opening([&] { return std::make_unique<memory_source>(found->second); })(name);
    open_result missing;
    missing.reason = "No such file or directory";
    return missing;
  };
  const existence_check exists = [&](const std::string& name) { return files.contains(name); };
  return run_with_opener(args, open, block_records, exists, together);
}

run_result run_with_opener(const std::vector<std::string>& args, const source_opener& open,
                           std::size_t block_records, const existence_check& exists,
                           bool together) {
  std::vector<const char*> argv = {"cutspot"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  string_sink out, err;
  run_result r;
  r.status = run_cutspot(static_cast<int>(argv.size()), argv.data(), open, out,
                         together ? out : err, run_options{block_records, exists});
  r.out = std::move(out.text);
  r.err = std::move(err.text);
  return r;
}

source_opener opening(const std::function<std::unique_ptr<byte_source>()>& make) {
  return [make](const std::string&) {
    open_result opened;
    opened.status = open_status::opened;
    opened.source = make();
    return opened;
  };
}

bool faulty_source::rewind() {
  pos_ = 0;
  ++passes_;
  return true;
}

std::size_t faulty_source::read(unsigned char* buf, std::size_t n) {
  // A few bytes at a time, so that the reader must put records together.
  const bool faulty = whole_passes_ == 0 || passes_ > whole_passes_;
  const std::size_t end = faulty ? fail_at_ : bytes_.size();
  const std::size_t count = std::min({n, std::size_t{5}, end - std::min(pos_, end)});
  if (count == 0) {
    if (faulty && how_ == read_error) error_ = "Input/output error";
    return 0;
  }
  std::memcpy(buf, bytes_.data() + pos_, count);
  pos_ += count;
  if (delivered != nullptr) *delivered += count;
  return count;
}

}  // namespace cutspot::testing
