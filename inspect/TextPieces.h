#pragma once
// Safe pieces of fixed-layout text lines. Positions are 1-based character positions as
// the report layout counts them; a position beyond the text gives an empty piece, never
// an error.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quillet {

// The text from 1-based position `start` on; empty when the text is shorter.
std::string MidFrom(const std::string& text, std::size_t start);

// At most `count` characters from 1-based position `start`.
std::string Mid(const std::string& text, std::size_t start, std::size_t count);

// The last `count` characters; the whole text when it is shorter.
std::string Right(const std::string& text, std::size_t count);

// The text without blanks at either end (tabs and other characters stay).
std::string TrimBlanks(const std::string& text);

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A whole decimal number, optionally signed and surrounded by blanks; nothing when the
// text is no such number or the number does not fit.
std::optional<int16_t> ToInt16(const std::string& text);
std::optional<int32_t> ToInt32(const std::string& text);

}  // namespace quillet
