#pragma once
// The pre-flight report as one JSON document (schema "quillet-check/1", described in
// docs/check.md), written with nlohmann JSON.

#include <string>

#include "check/CheckReport.h"

namespace quillet {

std::string ReportJson(const CheckReport& report);

// A JSON string literal, quotes included: quotes, backslashes and control characters
// escaped, UTF-8 kept, bytes that are not UTF-8 replaced by U+FFFD.
std::string JsonString(const std::string& text);

}  // namespace quillet
