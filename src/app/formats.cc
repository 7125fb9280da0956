#include "app/formats.h"

namespace cutspot {
namespace {

const output_format* find_in(std::span<const output_format> table, std::string_view option) {
  for (const output_format& format : table) {
    if (format.option == option) return &format;
  }
  return nullptr;
}

}  // namespace

const output_format* find_format(std::string_view option, bool breaks) {
  return breaks ? find_in(BREAK_FORMATS, option) : find_in(MARK_FORMATS, option);
}

bool is_format_option(std::string_view option) {
  return !option.empty() && (find_format(option, false) != nullptr || find_format(option, true));
}

std::span<const output_format> mark_documents() {
  return std::span(MARK_FORMATS).subspan(1);
}

std::span<const output_format> break_documents() {
  return std::span(BREAK_FORMATS).subspan(1);
}

}  // namespace cutspot
