#include <filesystem>
#include <system_error>

#include "app/AppTools.h"
#include "base/Files.h"
#include "convert/ConvertSteps.h"
#include "sys/FileAPI.h"

namespace quillet {

void RunStep(App& app, const std::string& commandLine) {
  IgnoringErrors([&] { RunTool(app, commandLine); });
}

void DeleteWorkFile(const ConvertRun& run, const std::string& name) {
  IgnoringErrors([&] { DeleteFileQuietly(run.folder + name); });
}

void MoveWorkFile(const ConvertRun& run, const std::string& from, const std::string& to) {
  std::error_code ec;
  std::filesystem::rename(run.folder + from, run.folder + to, ec);
}

bool CanOpenFile(const std::string& path, int64_t* size) {
  int handle = kInvalidFileHandle;
  int64_t bytes = 0;
  IgnoringErrors([&] { GetFileSize64(path, handle, bytes); });
  const bool opened = handle != kInvalidFileHandle;
  IgnoringErrors([&] { CloseFile(handle); });
  if (size) *size = opened ? bytes : 0;
  return opened;
}

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
  if (what.empty()) return text;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

}  // namespace quillet
