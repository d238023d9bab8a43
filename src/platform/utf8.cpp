#include "platform/utf8.h"

namespace tf::platform {
namespace {

bool InRange(std::string_view text, std::size_t at, unsigned char low, unsigned char high) {
    if (at >= text.size()) return false;
    const auto c = static_cast<unsigned char>(text[at]);
    return c >= low && c <= high;
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    unsigned char low = 0x80, high = 0xBF;  // range of the first continuation byte
    std::size_t length;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
        return 0;
    }
    if (!InRange(text, at + 1, low, high)) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!InRange(text, at + i, 0x80, 0xBF)) return 0;
    }
    return length;
}

char32_t NextMultibyteCodePoint(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t n = Utf8SequenceLength(text, at);
    if (n == 0) {
        ++at;
        return kStrayByteBase + lead;
    }
    if (n == 1) {
        ++at;
        return lead;
    }
    char32_t c = lead & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
    at += n;
    return c;
}

}  // namespace tf::platform
