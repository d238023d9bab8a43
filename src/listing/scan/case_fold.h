#pragma once
// Text order for sorting rows: letters compare without regard to case, for
// ASCII, Latin-1, and the basic Greek and Cyrillic letters.
#include <string_view>

#include "platform/file_system.h"

namespace tf::listing {

// The lower-case partner of a code point, where it has one in those ranges.
char32_t FoldCase(char32_t c);

// <0, 0 or >0 as `a` sorts before, with or after `b`: folded characters
// compared by code point (UTF-8 names) or by byte value (8-bit names, read
// as Latin-1).
int CompareIgnoringCase(std::string_view a, std::string_view b, platform::NameEncoding names);

}  // namespace tf::listing
