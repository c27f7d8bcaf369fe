#pragma once
// A small JSON reader for the identification output of mkvmerge and ffprobe. Numbers keep
// their text, so 64-bit track UIDs survive unchanged.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillet::toolkit {

class Json {
 public:
  enum class Kind { Null, Bool, Number, String, Array, Object };

  // Parses a whole document; nullopt (and a message in *error) when it is not valid JSON.
  static std::optional<Json> Parse(const std::string& text, std::string* error = nullptr);

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::Null; }
  bool IsObject() const { return kind_ == Kind::Object; }
  bool IsArray() const { return kind_ == Kind::Array; }

  // Member of an object, or nullptr when absent (or this is no object).
  const Json* Find(const std::string& key) const;
  // Elements of an array (empty for anything else).
  const std::vector<Json>& Items() const { return items_; }
  const std::vector<std::pair<std::string, Json>>& Members() const { return members_; }

  // Typed views with a fallback for a missing or differently typed value.
  std::string String(const std::string& fallback = "") const;
  long long Int(long long fallback = 0) const;
  double Number(double fallback = 0) const;
  bool Bool(bool fallback = false) const;
  // The number's text as written ("6344841938859929677"), or a string's text.
  std::string Text() const { return text_; }

  // Shorthands for a member: obj.Get("a").Int().
  const Json& Get(const std::string& key) const;

 private:
  friend class JsonReader;
  Kind kind_ = Kind::Null;
  bool bool_ = false;
  std::string text_;  // string value, or number text
  std::vector<Json> items_;
  std::vector<std::pair<std::string, Json>> members_;
};

}  // namespace quillet::toolkit
