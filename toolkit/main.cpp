// quillet-toolkit: one program behind every tool slot of Quillet's program folder. It is
// started through a link named like the slot ("MKVToolnix/mkvinfo.exe") and does that
// slot's job with Debian's tools. Started by its own name, the first argument names the
// slot: quillet-toolkit MKVToolnix/mkvinfo.exe film.mkv -o info.txt
// "quillet-toolkit --slots" (for the build) prints the slots' paths, one a line;
// "quillet-toolkit --strict PATH..." reads transport streams and Blu-ray folders with the
// muxer slot's strict reader and prints every rule they break.

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "toolkit/Files.h"
#include "toolkit/Process.h"
#include "toolkit/SlotTable.h"
#include "toolkit/bluray/StrictFolder.h"
#include "toolkit/bluray/StrictTransportStream.h"
#include "toolkit/progress/ProgressFile.h"

using namespace quillet::toolkit;

namespace {

// 0: nothing broken, 1: some rule broken, 3: a path is no stream or folder.
int ReadStrictly(const std::vector<std::string>& paths) {
  int status = 0;
  for (const std::string& path : paths) {
    const bool folder = std::filesystem::is_directory(path);
    const bluray::StrictResult result =
        folder ? bluray::CheckBluRayFolder(path)
               : bluray::CheckTransportStreamFile(path, bluray::StreamUse::kPlainStream);
    if (!result.readable) {
      std::cout << path << ": cannot be read: " << result.problem << "\n";
      status = 3;
      continue;
    }
    for (const bluray::BrokenRule& broken : result.broken)
      std::cout << path << ": " << broken.file << ": " << broken.rule << ": " << broken.text
                << "\n";
    if (!result.broken.empty() && status == 0) status = 1;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  InstallSignalForwarding();
  std::string invoked = argc > 0 ? argv[0] : "";
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);

  const Slot* slot = FindSlot(invoked);
  if (!slot) {
    if (!args.empty() && args[0] == "--strict")
      return ReadStrictly(std::vector<std::string>(args.begin() + 1, args.end()));
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
