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

// "" when the source is a regular file (or a link to one; a block device too when the
// user named it on the command line); otherwise one line naming it and what it is
// ("film.mkv is not a regular file (a FIFO)"). The first tool would wait for ever for a
// FIFO's writer, and read a device without end.
std::string WhyNotASource(const std::string& path, bool blockDeviceAllowed = false);

// True when the source can be converted; otherwise shows WhyNotASource in a box.
bool AcceptSourceFile(App& app, const std::string& path, bool blockDeviceAllowed = false);

}  // namespace quillet
