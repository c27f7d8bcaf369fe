#pragma once
// Small text helpers shared by the program and the toolkit.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

std::string Lower(std::string_view text);
bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWith(std::string_view text, std::string_view suffix);
bool IEquals(std::string_view a, std::string_view b);
bool IEndsWith(std::string_view text, std::string_view suffix);
std::string Trim(std::string_view text);
std::vector<std::string> Split(std::string_view text, char separator);
std::string Join(const std::vector<std::string>& parts, std::string_view separator);

// A whole decimal number (optional leading '-'), nothing else; nullopt otherwise.
std::optional<long long> ParseInt(std::string_view text);
// A decimal number such as "23.976" or "25"; nullopt when the text is anything else.
std::optional<double> ParseDecimal(std::string_view text);

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// An argv rendered for people: each argument quoted when it holds blanks or quotes.
std::string ShowCommand(const std::vector<std::string>& argv);

// Hex text ("01640028ff") to bytes; an odd length or a non-hex character gives nullopt.
std::optional<std::vector<uint8_t>> FromHex(std::string_view hex);

// Free text on one line that no search for a word, a blank or a colon can match: every
// ASCII character but letters, digits, '-', '_' and '.' as %XX (bytes of other scripts
// stay). PercentDecoded undoes it and leaves text without %XX as it is.
std::string PercentEncoded(std::string_view text);
std::string PercentDecoded(std::string_view text);

}  // namespace quillet
