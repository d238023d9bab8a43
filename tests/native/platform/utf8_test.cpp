// The decoder against an encoder written from the definition of UTF-8: every
// scalar value round-trips, and no other sequence of up to four bytes is
// taken for a character.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/utf8.h"

namespace tf::platform {
namespace {

std::string Encode(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

bool IsScalarValue(char32_t c) { return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF); }

TEST(Utf8, EveryScalarValueRoundTrips) {
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (!IsScalarValue(c)) continue;
        const std::string bytes = Encode(c) + "x";
        std::size_t at = 0;
        ASSERT_EQ(NextCodePoint(bytes, at), c);
        ASSERT_EQ(at, bytes.size() - 1);
    }
}

// What the bit layout alone says the sequence at the start of `bytes` holds
// (its length and value), before any rule about which values are allowed.
std::pair<std::size_t, char32_t> ReadBits(const std::string& bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    const std::size_t n = lead >= 0xF8 ? 0 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (n == 0 || bytes.size() < n) return {0, 0};
    char32_t c = lead & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(bytes[k]);
        if ((b & 0xC0) != 0x80) return {0, 0};
        c = (c << 6) | (b & 0x3F);
    }
    return {n, c};
}

// Every lead byte above ASCII with every second byte: a sequence is a
// character exactly when it is the shortest encoding of a scalar value, which
// rules out overlong forms, surrogates and values above U+10FFFF; otherwise
// its first byte stands alone.
TEST(Utf8, OnlyEncodingsOfScalarValuesAreCharacters) {
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int second = 0; second <= 0xFF; ++second) {
            const std::string bytes{static_cast<char>(lead), static_cast<char>(second), '\x80', '\x80'};
            const auto [n, value] = ReadBits(bytes);
            const bool character = n > 0 && IsScalarValue(value) && Encode(value) == bytes.substr(0, n);
            std::size_t at = 0;
            const char32_t c = NextCodePoint(bytes, at);
            ASSERT_EQ(c, character ? value : kStrayByteBase + lead) << std::hex << lead << ' ' << second;
            ASSERT_EQ(at, character ? n : 1u) << std::hex << lead << ' ' << second;
        }
    }
    // Cut short: the lead byte stands alone.
    std::size_t at = 0;
    EXPECT_EQ(NextCodePoint("\xE6\x97", at), kStrayByteBase + 0xE6);
    EXPECT_EQ(Utf8CharLength("\xE6\x97", 0), 1u);
}

}  // namespace
}  // namespace tf::platform
