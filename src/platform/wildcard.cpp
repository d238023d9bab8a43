#include "platform/wildcard.h"

#include <cstddef>

#include "platform/utf8.h"

namespace tf::platform {

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
            n += Utf8CharLength(name, n);
        } else if (p < pattern.size() && FoldAscii(pattern[p]) == FoldAscii(name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP;
            starN += Utf8CharLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace tf::platform
