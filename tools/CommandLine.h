#pragma once
// Turning one Windows command-line string into argv, by the rules the Microsoft C
// runtime applies, so a tool receives here the arguments it would receive on Windows.

#include <string>
#include <vector>

namespace quillet {

// Blanks and tabs separate arguments; double quotes group and are removed; inside a
// quoted run "" gives one literal quote; backslashes are literal unless they precede a
// quote (2n backslashes + quote: n backslashes and a quote toggle; 2n+1: n backslashes
// and a literal quote). The program name (first argument) ends at the closing quote or
// the first blank, without backslash rules.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// True when the text can stand inside a quoted argument of a command line: it holds no
// double quote and no line break.
bool IsSafeForCommandLine(const std::string& text);

// Why a path cannot stand inside the quotes of a command line, or "" when it can: a
// double quote or a line break ends the argument early, and a trailing backslash turns
// the closing quote into a literal one.
std::string WhyUnsafeForCommandLine(const std::string& path);

}  // namespace quillet
