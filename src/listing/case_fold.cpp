#include "listing/case_fold.h"


namespace tf::listing {
namespace {

// Decodes the character at text[i] and moves i past it. A byte that does not
// start a well-formed sequence stands for itself, above every code point, so
// such names still sort in a fixed order.
char32_t Next(std::string_view text, std::size_t& i, bool utf8) {
    const unsigned char lead = static_cast<unsigned char>(text[i++]);
    if (!utf8 || lead < 0x80) return lead;
    const int extra = lead >= 0xF0 && lead < 0xF8 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
    if (extra < 0 || i + extra > text.size()) return 0x110000 + lead;
    char32_t c = lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        const unsigned char b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return 0x110000 + lead;
        c = (c << 6) | (b & 0x3F);
    }
    i += extra;
    return c;
}

}  // namespace

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
    const bool utf8 = names == platform::NameEncoding::kUtf8;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t x = FoldCase(Next(a, i, utf8)), y = FoldCase(Next(b, j, utf8));
        if (x != y) return x < y ? -1 : 1;
    }
    if (i < a.size()) return 1;
    return j < b.size() ? -1 : 0;
}

}  // namespace tf::listing
