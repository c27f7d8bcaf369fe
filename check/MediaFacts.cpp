#include "check/MediaFacts.h"

#include <cctype>
#include <filesystem>
#include <system_error>

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
    case Container::TransportStream:
      return "m2ts";
    case Container::MpegProgram:
      return "mpg";
    case Container::BluRayFolder:
      return "bdmv";
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
    case Container::TransportStream:
      return "MPEG transport stream";
    case Container::MpegProgram:
      return "MPEG program stream";
    case Container::BluRayFolder:
      return "AVCHD / BD folder";
    case Container::Unknown:
      return "unknown";
  }
  return "";
}

std::string BluRayFolderOf(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path folder(path);
  if (fs::is_regular_file(folder / "BDMV" / "index.bdmv", ec)) return folder.string();
  if (Lower(folder.filename().string()) == "bdmv" && fs::is_regular_file(folder / "index.bdmv", ec))
    return folder.parent_path().empty() ? "." : folder.parent_path().string();
  return "";
}

Container ContainerOfPath(const std::string& path) {
  if (!BluRayFolderOf(path).empty()) return Container::BluRayFolder;
  const std::size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return Container::Unknown;
  const std::string extension = Lower(path.substr(dot + 1));
  if (extension == "mkv") return Container::Matroska;
  if (extension == "avi" || extension == "divx") return Container::Avi;
  if (extension == "wmv" || extension == "asf") return Container::Wmv;
  if (extension == "mp4" || extension == "m4v") return Container::Mp4;
  if (extension == "m2ts" || extension == "mts" || extension == "ts" || extension == "mpg" ||
      extension == "mpeg")
    return Container::TransportStream;
  return Container::Unknown;
}

}  // namespace quillet
