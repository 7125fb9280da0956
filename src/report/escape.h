// Arbitrary bytes made safe for the places they are printed. File names are whatever
// bytes the command line held, but a JSON document and an SVG picture must be UTF-8 and
// well-formed, and a terminal must never receive a control byte from a diagnostic.
#ifndef CUTSPOT_REPORT_ESCAPE_H_
#define CUTSPOT_REPORT_ESCAPE_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "report/text_writer.h"

namespace cutspot {

// The length of the well-formed UTF-8 character at the front of the non-empty bytes, or,
// when there is none, minus the length of the ill-formed part to replace by one U+FFFD:
// the longest prefix that could still have begun a character (at least one byte), as
// Unicode recommends. Overlong forms, surrogates and code points above U+10FFFF are
// ill-formed.
std::ptrdiff_t utf8_step(std::string_view bytes);

// Writes bytes as a JSON string, quotes included: '"' and '\' and the control
// characters escaped (\b \f \n \r \t, others as \u00XX in lower case), well-formed UTF-8
// copied as it is, every ill-formed part written as \ufffd.
void write_json_string(text_writer& w, std::string_view bytes);

// Writes bytes as XML character data that is safe in text and in quoted attributes:
// & < > " ' escaped, well-formed UTF-8 kept, and every ill-formed part, control character
// (C0, DEL, C1) and U+FFFE or U+FFFF written as U+FFFD.
void write_xml_text(text_writer& w, std::string_view bytes);

// A name for a diagnostic, in single quotes: well-formed printable UTF-8 as it is; '\'
// and '\'' escaped with a backslash; control characters (C0, DEL, C1) and every byte of
// an ill-formed part as \xHH, so nothing in it can command a terminal.
std::string quote_name(std::string_view bytes);

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_ESCAPE_H_
