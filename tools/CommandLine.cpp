#include "tools/CommandLine.h"

namespace quillet {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The program name: up to the closing quote when it starts with one, else to a blank.
size_t ReadProgramName(const std::string& s, std::string& out) {
  size_t i = 0;
  if (i < s.size() && s[i] == '"') {
    ++i;
    while (i < s.size() && s[i] != '"') out += s[i++];
    if (i < s.size()) ++i;  // closing quote
  } else {
    while (i < s.size() && !IsBlank(s[i])) out += s[i++];
  }
  return i;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& s) {
  std::vector<std::string> args;
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  if (i >= s.size()) return args;
  std::string name;
  i += ReadProgramName(s.substr(i), name);
  args.push_back(name);

  while (true) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i >= s.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < s.size() && (quoted || !IsBlank(s[i]))) {
      if (s[i] == '\\') {
        size_t n = 0;
        while (i < s.size() && s[i] == '\\') ++n, ++i;
        if (i < s.size() && s[i] == '"') {
          arg.append(n / 2, '\\');
          if (n % 2 == 1) {
            arg += '"';
            ++i;
          }
          // an even count leaves the quote for the next round
        } else {
          arg.append(n, '\\');
        }
      } else if (s[i] == '"') {
        if (quoted && i + 1 < s.size() && s[i + 1] == '"') {
          arg += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += s[i++];
      }
    }
    args.push_back(arg);
  }
  return args;
}

bool IsSafeForCommandLine(const std::string& text) {
  return text.find_first_of("\"\r\n") == std::string::npos;
}

std::string WhyUnsafeForCommandLine(const std::string& path) {
  if (!IsSafeForCommandLine(path)) return "its path holds a double quote or a line break";
  if (!path.empty() && path.back() == '\\') return "its name ends in a backslash";
  return "";
}

}  // namespace quillet
