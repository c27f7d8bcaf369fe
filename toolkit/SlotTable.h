#pragma once
// Which adapter fills which slot of the program folder: the list of the slots there are
// (the build makes their links from it, see toolkit/CMakeLists.txt).

#include <string>
#include <vector>

#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {

using SlotFn = int (*)(const SlotCall&);

struct Slot {
  const char* path;  // relative to the program folder, spelled as the folders are made
  SlotFn run;
};

const std::vector<Slot>& SlotTable();

// The slot a program path names: its last components match a slot's path without
// regard to case ("/opt/quillet/mkvtoolnix/MKVINFO.EXE" is MKVToolnix/mkvinfo.exe).
const Slot* FindSlot(const std::string& invokedPath);

}  // namespace quillet::toolkit
