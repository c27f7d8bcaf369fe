// Sounds/soundstretch.exe IN.wav OUT.wav [-pitch=N] [-tempo=N] [-rate=N] ...
// soundstretch as it is; it also ends with status 0 on a file it cannot read, so the
// WAV it wrote is checked.

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {

int RunSoundstretch(const SlotCall& call) {
  std::vector<std::string> files, options;
  for (const std::string& a : call.args) (StartsWith(a, "-") ? options : files).push_back(a);
  if (files.size() != 2) {
    Log("usage: soundstretch.exe IN.wav OUT.wav [options]");
    return 2;
  }
  if (files[1] == "stdout") {
    Log("output to standard output is not supported here");
    return 2;
  }
  Staging staging;
  std::string temp = staging.Add(LocateOutput(files[1]));
  if (temp.empty()) return 1;
  std::vector<std::string> argv = {"soundstretch", LocateInput(files[0]), temp};
  argv.insert(argv.end(), options.begin(), options.end());
  ToolResult r = RunProgram(argv);
  if (!r.Ok() || !CheckWav(temp)) return 1;
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
