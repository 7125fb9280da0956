// The recording that an event file belongs to: the event file's name with its last
// ".evt" replaced by ".mpg" and anything after it dropped, so "show.evt.bak" belongs to
// "show.mpg" and "dir.evt/show.evt" to "dir.evt/show.mpg". The name must contain ".evt".
#ifndef CUTSPOT_APP_MPEG_NAME_H_
#define CUTSPOT_APP_MPEG_NAME_H_

#include <functional>
#include <string>
#include <string_view>

namespace cutspot {

std::string derive_mpeg_name(std::string_view event_file_name);

// The recording a cutting script names: the event file's name with its last ".evt" and
// what follows replaced by the first of .ts, .mkv, .mp4, .m2ts and .mpg that `exists`,
// or by .mpg when none does; without its directory, since the script lies beside it.
std::string recording_name(std::string_view event_file_name,
                           const std::function<bool(const std::string&)>& exists);

}  // namespace cutspot

#endif  // CUTSPOT_APP_MPEG_NAME_H_
