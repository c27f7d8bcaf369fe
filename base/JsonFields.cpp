#include "base/JsonFields.h"

#include "base/Text.h"

namespace quillet {
namespace {

const JsonValue& Null() {
  static const JsonValue null;
  return null;
}

}  // namespace

std::optional<JsonValue> ParseJson(const std::string& text, std::string* error) {
  try {
    return JsonValue::parse(text);
  } catch (const JsonValue::exception& e) {
    if (error) *error = e.what();
    return std::nullopt;
  }
}

const JsonValue& Member(const JsonValue& object, const char* key) {
  if (!object.is_object()) return Null();
  auto it = object.find(key);
  return it == object.end() ? Null() : *it;
}

const JsonValue& Elements(const JsonValue& array) {
  static const JsonValue empty = JsonValue::array();
  return array.is_array() ? array : empty;
}

long long IntOf(const JsonValue& value, long long fallback) {
  if (value.is_number_integer()) return value.get<long long>();
  if (value.is_number_float()) return static_cast<long long>(value.get<double>());
  if (value.is_string()) return ParseInt(value.get<std::string>()).value_or(fallback);
  return fallback;
}

double NumberOf(const JsonValue& value, double fallback) {
  if (value.is_number()) return value.get<double>();
  if (value.is_string()) return ParseDecimal(value.get<std::string>()).value_or(fallback);
  return fallback;
}

bool BoolOf(const JsonValue& value, bool fallback) {
  return value.is_boolean() ? value.get<bool>() : fallback;
}

std::string StringOf(const JsonValue& value, const std::string& fallback) {
  return value.is_string() ? value.get<std::string>() : fallback;
}

std::string TextOf(const JsonValue& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_unsigned()) return std::to_string(value.get<unsigned long long>());
  if (value.is_number_integer()) return std::to_string(value.get<long long>());
  if (value.is_number_float()) return value.dump();
  return "";
}

}  // namespace quillet
