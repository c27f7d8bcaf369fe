#include <filesystem>
#include <system_error>

#include "sys/FileAPI.h"

namespace quillet {

std::string ProgramFolderOfExecutable() {
  std::error_code ec;
  // The real path, so a program started through a link still finds its tool folders.
  std::filesystem::path exe = std::filesystem::canonical("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec).string();
  return exe.parent_path().string();
}

}  // namespace quillet
