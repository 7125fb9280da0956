// The recording that an event file belongs to: the event file's name with its last
// ".evt" replaced by ".mpg" and anything after it dropped, so "show.evt.bak" belongs to
// "show.mpg" and "dir.evt/show.evt" to "dir.evt/show.mpg". The name must contain ".evt".
#ifndef CUTSPOT_APP_MPEG_NAME_H_
#define CUTSPOT_APP_MPEG_NAME_H_

#include <string>
#include <string_view>

namespace cutspot {

std::string derive_mpeg_name(std::string_view event_file_name);

}  // namespace cutspot

#endif  // CUTSPOT_APP_MPEG_NAME_H_
