// quillet-toolkit: one program behind every tool slot of Quillet's program folder. It is
// started through a link named like the slot ("MKVToolnix/mkvinfo.exe") and does that
// slot's job with Debian's tools. Started by its own name, the first argument names the
// slot: quillet-toolkit MKVToolnix/mkvinfo.exe film.mkv -o info.txt
// "quillet-toolkit --slots" (for the build) prints the slots' paths, one a line.

#include <iostream>
#include <string>
#include <vector>

#include "toolkit/Files.h"
#include "toolkit/Process.h"
#include "toolkit/SlotTable.h"
#include "toolkit/progress/ProgressFile.h"

using namespace quillet::toolkit;

int main(int argc, char** argv) {
  InstallSignalForwarding();
  std::string invoked = argc > 0 ? argv[0] : "";
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);

  const Slot* slot = FindSlot(invoked);
  if (!slot) {
    if (!args.empty() && args[0] == "--slots") {
      for (const Slot& s : SlotTable()) std::cout << s.path << "\n";
      return 0;
    }
    if (args.empty() || args[0] == "--list" || args[0] == "--help") {
      std::cout << "usage: quillet-toolkit SLOT [ARGUMENTS]\nslots:\n";
      for (const Slot& s : SlotTable()) std::cout << "  " << s.path << "\n";
      return args.empty() ? 2 : 0;
    }
    slot = FindSlot(args[0]);
    invoked = args[0];
    args.erase(args.begin());
  }
  if (!slot) {
    std::cerr << "quillet-toolkit: " << invoked << " is no tool slot (try --list)\n";
    return 2;
  }
  SetLogName(slot->path);
  int status = slot->run({slot->path, invoked, args});
  if (int sig = Interrupted()) return 128 + sig;
  // A slot whose tools told nothing, or not to the end, is done all the same.
  if (status == 0) ProgressFile::OfProcess().Report(1.0);
  return status;
}
