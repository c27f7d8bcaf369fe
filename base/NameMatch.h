#pragma once
// File names compared the way Windows compares them, which the tool table and the
// folder listings rely on: letters without regard to case, wildcards '*' and '?'.

#include <string>
#include <string_view>

namespace quillet {

bool EqualNoCase(std::string_view a, std::string_view b);

// The order NTFS returns names in: compared upper-cased (so '_' sorts after letters).
// Names equal without case fall back to byte order, so the result is stable.
bool LessNoCase(const std::string& a, const std::string& b);

bool HasWildcard(std::string_view name);

// '*' matches any run of characters, '?' exactly one; a pattern ending in ".*" also
// matches names without that extension ("*.*" matches every name, as on Windows).
bool MatchesWildcardNoCase(std::string_view name, std::string_view pattern);

}  // namespace quillet
