#include "base/Text.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace quillet {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool IEquals(std::string_view a, std::string_view b) {
  return Lower(a) == Lower(b);
}

bool IEndsWith(std::string_view text, std::string_view suffix) {
  return EndsWith(Lower(text), Lower(suffix));
}

std::string Trim(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return std::string(text.substr(begin, end - begin));
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t pos = text.find(separator, start);
    if (pos == std::string_view::npos) {
      parts.emplace_back(text.substr(start));
      return parts;
    }
    parts.emplace_back(text.substr(start, pos - start));
    start = pos + 1;
  }
}

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += separator;
    out += parts[i];
  }
  return out;
}

std::optional<long long> ParseInt(std::string_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return std::nullopt;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return text[0] == '-' ? -value : value;
}

std::optional<double> ParseDecimal(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int dots = 0, digits = 0;
  for (char c : text) {
    if (c == '.')
      ++dots;
    else if (std::isdigit(static_cast<unsigned char>(c)))
      ++digits;
    else
      return std::nullopt;
  }
  if (dots > 1 || digits == 0) return std::nullopt;
  return std::strtod(std::string(text).c_str(), nullptr);
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int size = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0) std::vsnprintf(out.data(), out.size() + 1, format, args);
  va_end(args);
  return out;
}

std::string ShowCommand(const std::vector<std::string>& argv) {
  std::string out;
  for (const std::string& arg : argv) {
    if (!out.empty()) out += ' ';
    bool plain = !arg.empty() && arg.find_first_of(" \t\"'\\$") == std::string::npos;
    if (plain) {
      out += arg;
    } else {
      out += '\'';
      for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
      out += '\'';
    }
  }
  return out;
}

std::optional<std::vector<uint8_t>> FromHex(std::string_view hex) {
  if (hex.size() % 2) return std::nullopt;
  std::vector<uint8_t> bytes;
  bytes.reserve(hex.size() / 2);
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return bytes;
}

std::string PercentEncoded(std::string_view text) {
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || std::isalnum(byte) || c == '-' || c == '_' || c == '.')
      out += c;
    else
      out += Format("%%%02X", byte);
  }
  return out;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto bytes = text[i] == '%' ? FromHex(text.substr(i + 1, 2)) : std::nullopt;
    if (bytes && bytes->size() == 1) {
      out += static_cast<char>(bytes->front());
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace quillet
