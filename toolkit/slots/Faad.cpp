// FFMpeg/faad.exe [-d] [-s RATE] INPUT.aac -o OUTPUT.wav
// faad as it is. faad ends with status 0 even when it decoded nothing, so the WAV it
// wrote is checked before it counts.

#include <set>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {

int RunFaad(const SlotCall& call) {
  static const std::set<std::string> valued = {"-o", "-a", "-f", "-b", "-s", "-l"};
  std::vector<std::string> args;
  std::string output;
  int outputIndex = -1;
  bool wav = true;
  std::vector<int> inputs;
  for (size_t i = 0; i < call.args.size(); ++i) {
    const std::string& a = call.args[i];
    if (valued.count(a) && i + 1 < call.args.size()) {
      args.push_back(a);
      args.push_back(call.args[++i]);
      if (a == "-o") outputIndex = static_cast<int>(args.size() - 1);
      if (a == "-f" && args.back() != "1") wav = false;
    } else {
      if (a == "-w") {
        Log("-w (output to standard output) is not supported here");
        return 2;
      }
      args.push_back(a);
      if (!StartsWith(a, "-")) inputs.push_back(static_cast<int>(args.size() - 1));
    }
  }
  if (inputs.size() != 1 || outputIndex < 0) {
    Log("usage: faad.exe [options] INPUT -o OUTPUT");
    return 2;
  }
  args[static_cast<size_t>(inputs[0])] = LocateInput(args[static_cast<size_t>(inputs[0])]);
  Staging staging;
  output = staging.Add(LocateOutput(args[static_cast<size_t>(outputIndex)]));
  if (output.empty()) return 1;
  args[static_cast<size_t>(outputIndex)] = output;
  args.insert(args.begin(), "faad");
  ToolResult r = RunProgram(args);
  if (!r.Ok()) return 1;
  if (wav ? !CheckWav(output) : !FileHasData(output)) {
    Log("faad decoded nothing");
    return 1;
  }
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
