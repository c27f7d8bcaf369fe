#include "toolkit/Json.h"

#include <cctype>
#include <cstdlib>

namespace quillet::toolkit {

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : s_(text) {}

  bool Document(Json& out, std::string& error) {
    if (!Value(out, 0)) {
      error = error_.empty() ? "invalid JSON" : error_;
      return false;
    }
    SkipBlanks();
    if (pos_ != s_.size()) {
      error = "text after the JSON value at " + std::to_string(pos_);
      return false;
    }
    return true;
  }

 private:
  bool Fail(const std::string& what) {
    if (error_.empty()) error_ = what + " at " + std::to_string(pos_);
    return false;
  }

  void SkipBlanks() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }

  bool Literal(const char* word) {
    size_t n = std::char_traits<char>::length(word);
    if (s_.compare(pos_, n, word) != 0) return Fail("unexpected text");
    pos_ += n;
    return true;
  }

  bool Value(Json& out, int depth) {
    if (depth > 200) return Fail("nesting too deep");
    SkipBlanks();
    if (pos_ >= s_.size()) return Fail("unexpected end");
    char c = s_[pos_];
    if (c == '{') return Object(out, depth);
    if (c == '[') return Array(out, depth);
    if (c == '"') {
      out.kind_ = Json::Kind::String;
      return String(out.text_);
    }
    if (c == 't') {
      out.kind_ = Json::Kind::Bool;
      out.bool_ = true;
      return Literal("true");
    }
    if (c == 'f') {
      out.kind_ = Json::Kind::Bool;
      out.bool_ = false;
      return Literal("false");
    }
    if (c == 'n') {
      out.kind_ = Json::Kind::Null;
      return Literal("null");
    }
    return NumberValue(out);
  }

  bool NumberValue(Json& out) {
    size_t start = pos_;
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    size_t digits = pos_;
    while (pos_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[pos_])) ||
                                s_[pos_] == '.' || s_[pos_] == 'e' || s_[pos_] == 'E' ||
                                ((s_[pos_] == '+' || s_[pos_] == '-') && pos_ > digits &&
                                 (s_[pos_ - 1] == 'e' || s_[pos_ - 1] == 'E'))))
      ++pos_;
    if (pos_ == digits || !std::isdigit(static_cast<unsigned char>(s_[digits])))
      return Fail("invalid number");
    out.kind_ = Json::Kind::Number;
    out.text_ = s_.substr(start, pos_ - start);
    return true;
  }

  static void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool Hex4(unsigned& code) {
    if (pos_ + 4 > s_.size()) return Fail("short escape");
    code = 0;
    for (int i = 0; i < 4; ++i) {
      char c = s_[pos_++];
      code <<= 4;
      if (c >= '0' && c <= '9')
        code |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        code |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        code |= static_cast<unsigned>(c - 'A' + 10);
      else
        return Fail("bad escape");
    }
    return true;
  }

  bool String(std::string& out) {
    ++pos_;  // opening quote
    while (pos_ < s_.size()) {
      char c = s_[pos_++];
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) break;
      char e = s_[pos_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned code;
          if (!Hex4(code)) return false;
          if (code >= 0xD800 && code < 0xDC00 && s_.compare(pos_, 2, "\\u") == 0) {
            pos_ += 2;
            unsigned low;
            if (!Hex4(low)) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(out, code);
          break;
        }
        default:
          return Fail("bad escape");
      }
    }
    return Fail("unterminated string");
  }

  bool Array(Json& out, int depth) {
    out.kind_ = Json::Kind::Array;
    ++pos_;
    SkipBlanks();
    if (pos_ < s_.size() && s_[pos_] == ']') {
      ++pos_;
      return true;
    }
    while (true) {
      Json item;
      if (!Value(item, depth + 1)) return false;
      out.items_.push_back(std::move(item));
      SkipBlanks();
      if (pos_ >= s_.size()) return Fail("unterminated array");
      char c = s_[pos_++];
      if (c == ']') return true;
      if (c != ',') return Fail("expected ',' in array");
    }
  }

  bool Object(Json& out, int depth) {
    out.kind_ = Json::Kind::Object;
    ++pos_;
    SkipBlanks();
    if (pos_ < s_.size() && s_[pos_] == '}') {
      ++pos_;
      return true;
    }
    while (true) {
      SkipBlanks();
      if (pos_ >= s_.size() || s_[pos_] != '"') return Fail("expected a key");
      std::string key;
      if (!String(key)) return false;
      SkipBlanks();
      if (pos_ >= s_.size() || s_[pos_] != ':') return Fail("expected ':'");
      ++pos_;
      Json value;
      if (!Value(value, depth + 1)) return false;
      out.members_.emplace_back(std::move(key), std::move(value));
      SkipBlanks();
      if (pos_ >= s_.size()) return Fail("unterminated object");
      char c = s_[pos_++];
      if (c == '}') return true;
      if (c != ',') return Fail("expected ',' in object");
    }
  }

  const std::string& s_;
  size_t pos_ = 0;
  std::string error_;
};

std::optional<Json> Json::Parse(const std::string& text, std::string* error) {
  Json out;
  std::string message;
  JsonReader reader(text);
  if (!reader.Document(out, message)) {
    if (error) *error = message;
    return std::nullopt;
  }
  return out;
}

const Json* Json::Find(const std::string& key) const {
  for (const auto& [name, value] : members_)
    if (name == key) return &value;
  return nullptr;
}

const Json& Json::Get(const std::string& key) const {
  static const Json kNull;
  const Json* found = Find(key);
  return found ? *found : kNull;
}

std::string Json::String(const std::string& fallback) const {
  return kind_ == Kind::String ? text_ : fallback;
}

long long Json::Int(long long fallback) const {
  if (kind_ != Kind::Number) return fallback;
  char* end = nullptr;
  long long value = std::strtoll(text_.c_str(), &end, 10);
  if (end && *end == '\0') return value;
  return static_cast<long long>(std::strtod(text_.c_str(), nullptr));
}

double Json::Number(double fallback) const {
  return kind_ == Kind::Number ? std::strtod(text_.c_str(), nullptr) : fallback;
}

bool Json::Bool(bool fallback) const {
  return kind_ == Kind::Bool ? bool_ : fallback;
}

}  // namespace quillet::toolkit
