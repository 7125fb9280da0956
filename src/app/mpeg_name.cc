#include "app/mpeg_name.h"

namespace cutspot {

std::string derive_mpeg_name(std::string_view event_file_name) {
  std::size_t at = event_file_name.rfind(".evt");
  std::string name(event_file_name.substr(0, at));
  name += ".mpg";
  return name;
}

std::string recording_name(std::string_view event_file_name,
                           const std::function<bool(const std::string&)>& exists) {
  const std::string stem(event_file_name.substr(0, event_file_name.rfind(".evt")));
  std::string found = stem + ".mpg";
  for (const char* extension : {".ts", ".mkv", ".mp4", ".m2ts"}) {
    if (exists(stem + extension)) {
      found = stem + extension;
      break;
    }
  }
  const std::size_t slash = found.rfind('/');
  return slash == std::string::npos ? found : found.substr(slash + 1);
}

}  // namespace cutspot
