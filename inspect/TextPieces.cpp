#include "inspect/TextPieces.h"

#include <limits>

namespace quillet {
namespace {

std::optional<int64_t> ToWholeNumber(const std::string& text, int64_t lowest, int64_t highest) {
  const std::string digits = TrimBlanks(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) negative = digits[i++] == '-';
  if (i == digits.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < digits.size(); ++i) {
    if (digits[i] < '0' || digits[i] > '9') return std::nullopt;
    value = value * 10 + (digits[i] - '0');
    if (value > highest + 1) return std::nullopt;  // already out of any range we accept
  }
  if (negative) value = -value;
  if (value < lowest || value > highest) return std::nullopt;
  return value;
}

}  // namespace

std::string MidFrom(const std::string& text, std::size_t start) {
  if (start < 1 || start > text.size()) return "";
  return text.substr(start - 1);
}

std::string Mid(const std::string& text, std::size_t start, std::size_t count) {
  if (start < 1 || start > text.size()) return "";
  return text.substr(start - 1, count);
}

std::string Right(const std::string& text, std::size_t count) {
  return count >= text.size() ? text : text.substr(text.size() - count);
}

std::string TrimBlanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::optional<int16_t> ToInt16(const std::string& text) {
  auto value =
      ToWholeNumber(text, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max());
  if (!value) return std::nullopt;
  return static_cast<int16_t>(*value);
}

std::optional<int32_t> ToInt32(const std::string& text) {
  auto value =
      ToWholeNumber(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
  if (!value) return std::nullopt;
  return static_cast<int32_t>(*value);
}

}  // namespace quillet
