// Arbitrary bytes made safe for the places they are printed. File names are whatever
// bytes the command line held, but a JSON document and an SVG picture must be UTF-8 and
// well-formed, and a terminal must never receive a control byte from a diagnostic.
#ifndef CUTSPOT_REPORT_ESCAPE_H_
#define CUTSPOT_REPORT_ESCAPE_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "common/quote_name.h"
#include "common/utf8.h"
#include "report/text_writer.h"

namespace cutspot {

// Writes bytes as a JSON string, quotes included: '"' and '\' and the control
// characters escaped (\b \f \n \r \t, others as \u00XX in lower case), well-formed UTF-8
// copied as it is, every ill-formed part written as \ufffd.
void write_json_string(text_writer& w, std::string_view bytes);

// Writes bytes as XML character data that is safe in text and in quoted attributes:
// & < > " ' escaped, well-formed UTF-8 kept, and every ill-formed part, control character
// (C0, DEL, C1) and U+FFFE or U+FFFF written as U+FFFD.
void write_xml_text(text_writer& w, std::string_view bytes);

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_ESCAPE_H_
