#pragma once
// How the settings file spells its lines: numbers the way a 16-bit integer is printed
// to a file (" 1 ", "-1 "), lines ended by CR LF when written, CR LF or LF when read.

#include <optional>
#include <string>
#include <vector>

namespace quillet {

// A blank (or '-' for a negative value), the digits, one trailing blank.
std::string FormatSettingsNumber(int value);

// The 16-bit integer a line holds: leading blanks, an optional sign, digits, trailing
// blanks. Anything else, or a value outside -32768..32767, is no number.
std::optional<int> ParseSettingsNumber(const std::string& text);

// The lines of a file, each without its CR LF or LF. A last line without an end is
// still a line; the empty text after a final line end is not.
std::vector<std::string> SplitSettingsLines(const std::string& content);

}  // namespace quillet
