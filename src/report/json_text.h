// JSON strings made from arbitrary bytes. File names are whatever bytes the command line
// held, but a JSON document must be UTF-8: the strings written here keep every well-formed
// UTF-8 character, escape what JSON requires and replace the rest by U+FFFD, so the
// document parses whatever the names were.
#ifndef CUTSPOT_REPORT_JSON_TEXT_H_
#define CUTSPOT_REPORT_JSON_TEXT_H_

#include <cstddef>
#include <string_view>

#include "report/output_buffer.h"

namespace cutspot {

// The length of the well-formed UTF-8 character at the front of the non-empty bytes, or,
// when there is none, minus the length of the ill-formed part to replace by one U+FFFD:
// the longest prefix that could still have begun a character (at least one byte), as
// Unicode recommends. Overlong forms, surrogates and code points above U+10FFFF are
// ill-formed.
std::ptrdiff_t utf8_step(std::string_view bytes);

// Appends bytes as a JSON string, quotes included: '"' and '\' and the control
// characters escaped (\b \f \n \r \t, others as \u00XX in lower case), well-formed UTF-8
// copied as it is, every ill-formed part written as \ufffd.
void append_json_string(std::string_view bytes, output_buffer* out);

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_JSON_TEXT_H_
