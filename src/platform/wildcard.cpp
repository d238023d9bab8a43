#include "platform/wildcard.h"

#include <cstddef>

namespace tf::platform {
namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Length of the character starting at name[i]: a lead byte and its trailing
// continuation bytes; stray bytes count as one character each.
std::size_t CharLength(std::string_view name, std::size_t i) {
    std::size_t n = 1;
    while (i + n < name.size() && IsContinuation(name[i + n])) ++n;
    return n;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern.empty()) return false;
    if (pattern == "*.*") return true;

    // Greedy match with a single backtrack point: linear in practice.
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += CharLength(name, n);
        } else if (p < pattern.size() && FoldAscii(pattern[p]) == FoldAscii(name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP;
            starN += CharLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace tf::platform
