#include "listing/scan/case_fold.h"

#include "platform/utf8.h"

namespace tf::listing {

char32_t FoldCase(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 0x20;
    if (c < 0xC0) return c;
    if (c <= 0xDE) return c == 0xD7 ? c : c + 0x20;          // Latin-1, not the multiplication sign
    if (c >= 0x391 && c <= 0x3AB) return c == 0x3A2 ? c : c + 0x20;  // Greek capitals
    if (c == 0x3C2) return 0x3C3;                            // final sigma
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;           // Cyrillic capitals with marks
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;           // basic Cyrillic capitals
    return c;
}

int CompareIgnoringCase(std::string_view a, std::string_view b, platform::NameEncoding names) {
    // A byte that is no character stands for itself above every code point
    // (platform::NextCodePoint), so such names still sort in a fixed order.
    const bool utf8 = names == platform::NameEncoding::kUtf8;
    const auto next = [utf8](std::string_view text, std::size_t& at) -> char32_t {
        return utf8 ? platform::NextCodePoint(text, at) : static_cast<unsigned char>(text[at++]);
    };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t x = FoldCase(next(a, i)), y = FoldCase(next(b, j));
        if (x != y) return x < y ? -1 : 1;
    }
    if (i < a.size()) return 1;
    return j < b.size() ? -1 : 0;
}

}  // namespace tf::listing
