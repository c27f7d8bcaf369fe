#include "toolkit/pgs/SubtitleStyle.h"

#include <cstdlib>

#include "base/Text.h"

namespace quillet::toolkit::pgs {
namespace {

bool Whole(const std::map<std::string, std::string>& fields, const char* key, int low, int high,
           int* value, std::string* error) {
  auto it = fields.find(key);
  if (it == fields.end()) return true;
  auto n = ParseInt(Trim(it->second));
  if (!n || *n < low || *n > high) {
    if (error) *error = Format("%s=%s is out of range", key, it->second.c_str());
    return false;
  }
  *value = static_cast<int>(*n);
  return true;
}

std::string Unquoted(std::string text) {
  text = Trim(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    text = text.substr(1, text.size() - 2);
  return text;
}

}  // namespace

std::optional<SubtitleStyle> StyleFromFields(const std::map<std::string, std::string>& fields,
                                             std::string* error) {
  SubtitleStyle style;
  if (auto it = fields.find("font-name"); it != fields.end() && !Unquoted(it->second).empty())
    style.fontName = Unquoted(it->second);
  if (!Whole(fields, "font-size", 4, 400, &style.fontSize, error) ||
      !Whole(fields, "font-border", 0, 20, &style.border, error) ||
      !Whole(fields, "bottom-offset", 0, 4096, &style.bottomOffset, error) ||
      !Whole(fields, "video-width", 16, 4096, &style.width, error) ||
      !Whole(fields, "video-height", 16, 4096, &style.height, error))
    return std::nullopt;
  if (auto it = fields.find("font-color"); it != fields.end()) {
    std::string text = Lower(Trim(it->second));
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, StartsWith(text, "0x") ? 16 : 10);
    if (text.empty() || *end != '\0' || value > 0xFFFFFFFFul) {
      if (error) *error = "font-color=" + it->second + " is no colour";
      return std::nullopt;
    }
    style.color = static_cast<uint32_t>(value);
    if ((style.color >> 24) == 0) style.color |= 0xFF000000u;
  }
  if (auto it = fields.find("text-align"); it != fields.end()) {
    std::string a = Lower(Trim(it->second));
    style.align = a == "left"    ? TextAlign::kLeft
                  : a == "right" ? TextAlign::kRight
                                 : TextAlign::kCenter;
  }
  return style;
}

}  // namespace quillet::toolkit::pgs
