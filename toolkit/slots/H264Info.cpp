// h264info/h264info.exe (no arguments)
// Reads InputPath and OutputPath from h264info.ini beside itself and writes the input
// H.264 stream to the output with level 4.1 in its sequence parameter sets: a plain copy
// in large pieces in which only their level bytes change.

#include <filesystem>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/H264.h"
#include "toolkit/H264Level.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {

std::optional<H264InfoPaths> ParseH264InfoIni(const std::string& text) {
  H264InfoPaths paths;
  bool inPaths = false;
  for (std::string line : Split(text, '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string trimmed = Trim(line);
    if (StartsWith(trimmed, "[")) {
      inPaths = IEquals(trimmed, "[Paths]");
      continue;
    }
    size_t eq = line.find('=');
    if (!inPaths || eq == std::string::npos) continue;
    std::string key = Trim(line.substr(0, eq));
    std::string value = line.substr(eq + 1);
    if (IEquals(key, "InputPath")) paths.input = value;
    if (IEquals(key, "OutputPath")) paths.output = value;
  }
  if (paths.input.empty() || paths.output.empty()) return std::nullopt;
  return paths;
}

int RunH264Info(const SlotCall& call) {
  std::string folder = SlotFilesFolder(call.invokedAs);
  std::string ini = LocateInput((std::filesystem::path(folder) / "h264info.ini").string());
  auto text = ReadBytes(ini);
  if (!text) {
    Log("cannot read " + ini);
    return 1;
  }
  auto paths = ParseH264InfoIni(*text);
  if (!paths) {
    Log(ini + " names no InputPath and OutputPath under [Paths]");
    return 1;
  }
  std::string input = LocateInput(paths->input);
  Staging staging;
  std::string temp = staging.Add(LocateOutput(paths->output));
  if (temp.empty()) return 1;
  std::string error;
  if (!CopyWithSpsLevel(input, temp, 41, &error)) {
    Log(error);
    ReportFullDisk(FolderOf(temp));
    return 1;
  }
  auto head = ReadBytes(temp, 1 << 20);
  auto units = head ? SpsFromAnnexB(*head, 1) : std::vector<std::vector<uint8_t>>{};
  auto sps = units.empty() ? std::nullopt : ParseSps(units[0]);
  if (!sps || sps->levelIdc != 41) {
    Log("the stream written has no level 4.1 sequence parameter set");
    return 1;
  }
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
