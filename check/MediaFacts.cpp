#include "check/MediaFacts.h"

#include <cctype>

#include "base/Text.h"

namespace quillet {

const char* ContainerId(Container container) {
  switch (container) {
    case Container::Matroska:
      return "mkv";
    case Container::Avi:
      return "avi";
    case Container::Wmv:
      return "wmv";
    case Container::Mp4:
      return "mp4";
    case Container::Unknown:
      return "";
  }
  return "";
}

const char* ContainerName(Container container) {
  switch (container) {
    case Container::Matroska:
      return "Matroska";
    case Container::Avi:
      return "AVI";
    case Container::Wmv:
      return "WMV";
    case Container::Mp4:
      return "MP4";
    case Container::Unknown:
      return "unknown";
  }
  return "";
}

Container ContainerOfPath(const std::string& path) {
  const std::size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return Container::Unknown;
  const std::string extension = Lower(path.substr(dot + 1));
  if (extension == "mkv") return Container::Matroska;
  if (extension == "avi" || extension == "divx") return Container::Avi;
  if (extension == "wmv" || extension == "asf") return Container::Wmv;
  if (extension == "mp4" || extension == "m4v") return Container::Mp4;
  return Container::Unknown;
}

}  // namespace quillet
