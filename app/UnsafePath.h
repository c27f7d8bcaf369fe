#pragma once
// Paths the tools cannot be handed: every path goes into a command line inside double
// quotes, so one that holds a double quote or a line break, or ends in a backslash, is
// refused up front.

#include <string>

#include "app/App.h"

namespace quillet {

inline constexpr const char* kUnsafePathTitle = "Unsafe path";

// True when the path can be used. Otherwise shows a box naming the path and what it is
// ("source file", "subtitle file", "output folder") and returns false.
bool AcceptPathForTools(App& app, const std::string& path, const std::string& what);

}  // namespace quillet
