// PLACEHOLDER: replaced by the system-services work.
#include "sys/FileAPI.h"
namespace quillet {
void GetFileSize64(const std::string&, int& handle, int64_t& size) {
  handle = -1;
  size = 0;
}
void CloseFile(int) {}
int64_t FileSize64(const std::string&) {
  return 0;
}
std::vector<std::string> ListFiles(const std::string&) {
  return {""};
}
void DeleteFolderTree(const std::string&) {}
std::string ProgramFolderOfExecutable() {
  return ".";
}
std::string ResolvePathNoCase(const std::string& path) {
  return path;
}
}  // namespace quillet
