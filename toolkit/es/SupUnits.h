#pragma once
// A presentation-graphics stream as a .sup file holds it, one segment per access unit.

#include <memory>
#include <string>

#include "toolkit/es/Units.h"

namespace quillet::toolkit::es {

// Each unit is a segment from its type on (type, size, data), at the times its "PG"
// header gives; a decoding time of 0 stands for none, and the unit is decoded when shown.
// nullptr with a one-line reason when the file cannot be read or does not start with a
// segment.
std::unique_ptr<UnitReader> OpenSupUnits(const std::string& path, std::string* error);

}  // namespace quillet::toolkit::es
