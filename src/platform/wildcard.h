#pragma once
#include <string_view>

namespace tf::platform {

// Letters compare in either case, as the Windows search does (ASCII only).
inline char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Matches a file name against a directory-search pattern the way the Windows
// search does for ordinary names: "*" any run of characters, "?" exactly one
// character (a well-formed UTF-8 sequence, or one byte that is none), ASCII letters regardless of case, and
// "*.*" standing for every name. An empty pattern matches nothing.
bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace tf::platform
