#pragma once
// The muxer slot reads what it wrote with the strict reader (toolkit/bluray/Strict*.h) before
// it moves the result into place: a broken rule of those it enforces fails the slot.

#include <string>

#include "toolkit/MuxInputs.h"
#include "toolkit/bluray/StrictRules.h"

namespace quillet::toolkit {

// What the strict reader may not hold against the plan's streams: tracks whose source
// names no language.
bluray::StrictOptions StrictOptionsFor(const MuxPlan& plan);

// False with one line naming the first broken rule the slot enforces, and the file.
bool PassesStrictCheck(const bluray::StrictResult& result, std::string* error);

}  // namespace quillet::toolkit
