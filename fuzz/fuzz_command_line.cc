// An arbitrary argument vector, split from the input at NUL bytes, through a whole run in
// memory. Names containing ".evt" open a small fixed event file with one break, except
// that a name containing "missing" cannot be opened and one containing "dir" is a
// directory, so that both ways of failing to open are reached too.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/run.h"
#include "output_checks.h"

namespace {

using cutspot::fuzzing::check;

void put_record(std::string* out, std::int64_t ns, std::uint32_t type, std::uint32_t value,
                unsigned char sample) {
  auto put = [out](std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out->push_back(static_cast<char>(v >> (8 * i)));
  };
  put(static_cast<std::uint64_t>(ns), 8);
  put(0, 4);
  put(type, 4);
  put(value, 4);
  out->append(4, static_cast<char>(sample));
}

// Loud and bright programme with a dark, quiet second at 70 s: one mark.
const std::string& event_file() {
  static const std::string file = [] {
    constexpr std::int64_t MS = 1000000;
    std::string f = "HEADER!!";
    for (std::int64_t ms = 1000; ms <= 73000; ms += 500) {
      const bool dark = ms >= 70000 && ms < 71000;
      put_record(&f, ms * MS, 1, dark ? 10 : 4000, 0);
      put_record(&f, (ms + 20) * MS, 2, 0, dark ? 5 : 180);
    }
    return f;
  }();
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args = {"cutspot"};
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  for (std::size_t start = 0; start <= input.size();) {
    std::size_t end = input.find('\0', start);
    if (end == std::string_view::npos) end = input.size();
    args.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }
  if (size == 0) args.pop_back();  // No arguments at all.
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());

  bool opened = false;
  auto opener = [&opened](const std::string& name, std::string* reason,
                          bool* usage_error) -> std::unique_ptr<cutspot::byte_source> {
    check(name.find(".evt") != std::string::npos, "opened a name without .evt", name);
    opened = true;
    *usage_error = false;
    if (name.find("missing") != std::string::npos) {
      *usage_error = true;
      *reason = "No such file or directory";
      return nullptr;
    }
    if (name.find("dir") != std::string::npos) {
      *reason = "is a directory";
      return nullptr;
    }
    return std::make_unique<cutspot::memory_source>(event_file());
  };

  cutspot::string_sink out;
  cutspot::string_sink err;
  const int status =
      cutspot::run_cutspot(static_cast<int>(argv.size()), argv.data(), opener, out, err);

  // A name with a line break is refused before it is printed, so every diagnostic is
  // one line.
  cutspot::fuzzing::check_diagnostics(err.text);
  auto one_line = [](const std::string& text) { return text.find('\n') == text.size() - 1; };
  const std::string_view first = args.size() > 1 ? std::string_view(args[1]) : "";
  if (first == "--help" || first == "-h") {
    check(status == 0 && out.text == cutspot::USAGE && err.text.empty(), "help", out.text);
    return 0;
  }
  if (first == "--version") {
    check(status == 0 && out.text == "cutspot 1.0.0\n" && err.text.empty(), "version", out.text);
    return 0;
  }
  switch (status) {
    case 0:
      check(opened && err.text.empty(), "success without a file", err.text);
      check(!out.text.empty(), "success without output");
      break;
    case 1:
      check(opened && !err.text.empty() && one_line(err.text), "one diagnostic for a failure",
            err.text);
      break;
    case 2:
      check(out.text == cutspot::USAGE, "usage status without the usage", out.text);
      // At most one line saying why.
      check(err.text.empty() || one_line(err.text), "one reason for the usage", err.text);
      break;
    default:
      check(false, "undocumented exit status", out.text);
  }
  return 0;
}
