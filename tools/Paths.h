#pragma once
// Path spelling shared by the whole program. The tool table and the working-file names
// are written with the native separator; everything else keeps its exact spelling.

#include <string>

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

// Program folder + relative path, where the relative path is written with '\' as in
// the tool table ("\MKVToolnix\mkvinfo.exe") and turned into native separators here.
inline std::string ProgramPath(const std::string& programFolder, std::string relative) {
  for (char& c : relative)
    if (c == '\\') c = kSep;
  return programFolder + relative;
}

}  // namespace quillet
