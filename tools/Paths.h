#pragma once
// Path spelling shared by the whole program. The tool table and the working-file names
// are written with the native separator; everything else keeps its exact spelling.

#include <filesystem>
#include <string>
#include <system_error>

namespace quillet {

#ifdef _WIN32
inline constexpr char kSep = '\\';
inline constexpr const char* kSepStr = "\\";
#else
inline constexpr char kSep = '/';
inline constexpr const char* kSepStr = "/";
#endif

// The folder text with exactly one trailing separator added when it has none.
inline std::string WithTrailingSep(std::string folder) {
  if (folder.empty() || folder.back() != kSep) folder += kSep;
  return folder;
}

// A relative path joined to the current folder, spelt as given otherwise (no link is
// resolved). A path enters the program this way, so a tool never meets a file name that
// starts with a dash where it could take it for an option ("-o.mkv"). An empty or
// absolute path stays as it is.
inline std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path.front() == kSep) return path;
  std::error_code ec;
  const std::filesystem::path current = std::filesystem::current_path(ec);
  return ec ? path : WithTrailingSep(current.string()) + path;
}

// Program folder + relative path, where the relative path is written with '\' as in
// the tool table ("\MKVToolnix\mkvinfo.exe") and turned into native separators here.
inline std::string ProgramPath(const std::string& programFolder, std::string relative) {
  for (char& c : relative)
    if (c == '\\') c = kSep;
  return programFolder + relative;
}

}  // namespace quillet
