#pragma once
// Reading the JSON that mkvmerge -J and ffprobe print, with Debian's nlohmann JSON.
// The tools leave out what a file lacks and write some numbers as text ("sample_rate":
// "48000"), so every read names its fallback instead of throwing.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace quillet {

using JsonValue = nlohmann::json;

// Parses a whole document; nullopt (and a message in *error) when it is not valid JSON.
std::optional<JsonValue> ParseJson(const std::string& text, std::string* error = nullptr);

// The member of an object, or null when it is absent or the value is no object.
const JsonValue& Member(const JsonValue& object, const char* key);
// The elements of an array, or an empty array for anything else.
const JsonValue& Elements(const JsonValue& array);

long long IntOf(const JsonValue& value, long long fallback = 0);
double NumberOf(const JsonValue& value, double fallback = 0);
bool BoolOf(const JsonValue& value, bool fallback = false);
std::string StringOf(const JsonValue& value, const std::string& fallback = "");
// A number as written, unsigned 64-bit values included ("18446744073709551615"), or a
// string's text.
std::string TextOf(const JsonValue& value);

}  // namespace quillet
