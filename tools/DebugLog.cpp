// The debug log beside the program: only ever appended to, lines end in CR LF.
#include <fstream>

#include "tools/FileTests.h"
#include "tools/Paths.h"

namespace quillet {

void AppendDebugLog(const std::string& programFolder, const std::vector<std::string>& lines) {
  // A stream that failed to open ignores the writes: a read-only folder only loses lines.
  std::ofstream log(programFolder + kSepStr + "debug.log", std::ios::binary | std::ios::app);
  for (const std::string& line : lines) log << line << "\r\n";
}

void AppendDebugLog(const std::string& programFolder, const std::string& line) {
  AppendDebugLog(programFolder, std::vector<std::string>{line});
}

}  // namespace quillet
