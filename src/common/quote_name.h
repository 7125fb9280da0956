// Names made safe for a diagnostic: file names are whatever bytes the command line held,
// and a terminal must never receive a control byte from a message.
#ifndef CUTSPOT_COMMON_QUOTE_NAME_H_
#define CUTSPOT_COMMON_QUOTE_NAME_H_

#include <string>
#include <string_view>

namespace cutspot {

// A name in single quotes: well-formed printable UTF-8 as it is; '\' and '\'' escaped
// with a backslash; control characters (C0, DEL, C1) and every byte of an ill-formed
// part as \xHH, so nothing in it can command a terminal.
std::string quote_name(std::string_view bytes);

// The same without the quotes, for text that is a whole message (cutspot-probe's):
// only control characters and ill-formed parts are escaped, as \xHH.
std::string printable(std::string_view bytes);

}  // namespace cutspot

#endif  // CUTSPOT_COMMON_QUOTE_NAME_H_
