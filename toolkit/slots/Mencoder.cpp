// Mencoder/Mencoder.exe [options]
// Debian's mencoder as it is, except that its x264 wants a mode for b_pyramid (a bare
// "b_pyramid" stops the encoder): it becomes "b_pyramid=normal". The -o file appears
// only when mencoder succeeded. The passes of a multi-pass encode keep their statistics
// ("divx2pass.log") in the slot's folder, not in whatever folder the program was started
// from, where two conversions would share them.

#include "toolkit/Files.h"
#include "toolkit/Process.h"
#include "toolkit/Text.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {

std::string FixX264EncOpts(const std::string& options) {
  std::vector<std::string> parts = Split(options, ':');
  for (std::string& part : parts)
    if (part == "b_pyramid" || part == "b-pyramid") part += "=normal";
  return Join(parts, ":");
}

MencoderCall TranslateMencoderArgs(const std::vector<std::string>& args) {
  MencoderCall call;
  bool multiPass = false, ownPassLog = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    call.args.push_back(a);
    if (a == "-passlogfile") ownPassLog = true;
    if ((a == "-x264encopts" || a == "-o") && i + 1 < args.size()) {
      call.args.push_back(a == "-o" ? args[i + 1] : FixX264EncOpts(args[i + 1]));
      if (a == "-o") call.outputIndex = static_cast<int>(call.args.size() - 1);
      if (a == "-x264encopts")
        for (const std::string& part : Split(args[i + 1], ':'))
          if (StartsWith(part, "pass=")) multiPass = true;
      ++i;
    }
  }
  call.needsPassLog = multiPass && !ownPassLog;
  return call;
}

int RunMencoder(const SlotCall& call) {
  MencoderCall m = TranslateMencoderArgs(call.args);
  Staging staging;
  std::string temp;
  if (m.outputIndex >= 0) {
    temp = staging.Add(LocateOutput(m.args[static_cast<size_t>(m.outputIndex)]));
    if (temp.empty()) return 1;
    m.args[static_cast<size_t>(m.outputIndex)] = temp;
  }
  std::vector<std::string> argv = {"mencoder"};
  if (m.needsPassLog)
    argv.insert(argv.end(), {"-passlogfile", FolderOf(call.invokedAs) + "/divx2pass.log"});
  argv.insert(argv.end(), m.args.begin(), m.args.end());
  ToolResult r = RunProgram(argv);
  if (!r.Ok()) return 1;
  if (!temp.empty() && !FileHasData(temp)) {
    Log("mencoder wrote nothing");
    return 1;
  }
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
