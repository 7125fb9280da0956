#include "app/mpeg_name.h"

namespace cutspot {

std::string derive_mpeg_name(std::string_view event_file_name) {
  std::size_t at = event_file_name.rfind(".evt");
  std::string name(event_file_name.substr(0, at));
  name += ".mpg";
  return name;
}

}  // namespace cutspot
