#pragma once
// The one reading of UTF-8 in the program: well-formed sequences only (no
// overlong forms, no surrogates, nothing above U+10FFFF). Names come from
// file systems that do not check them, so any other byte stands alone as a
// character of its own.
#include <cstddef>
#include <string>
#include <string_view>

namespace tf::platform {

// Bytes of the well-formed sequence at text[at], or 0 when none starts there.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

// Bytes of the character at text[at]: a well-formed sequence, or one byte.
inline std::size_t Utf8CharLength(std::string_view text, std::size_t at) {
    const std::size_t n = Utf8SequenceLength(text, at);
    return n ? n : 1;
}

// A byte that starts no well-formed sequence decodes to this plus its
// value: above every code point, so such names still sort in a fixed order.
inline constexpr char32_t kStrayByteBase = 0x110000;

// Decodes the character at text[at] and moves `at` past it. ASCII is read
// here, inline: the sort compares names a character at a time.
char32_t NextMultibyteCodePoint(std::string_view text, std::size_t& at);
inline char32_t NextCodePoint(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    return NextMultibyteCodePoint(text, at);
}

// The text up to, not including, its first NUL; all of it when it has none.
inline std::string delete_Null(std::string_view text) {
    const std::size_t nul = text.find('\0');
    return std::string(nul == std::string_view::npos ? text : text.substr(0, nul));
}

}  // namespace tf::platform
