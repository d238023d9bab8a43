#include "listing/listing_types.h"

#include <algorithm>
#include <cstdio>

namespace tf::listing {

const char* SkipReasonText(SkipReason reason) {
    switch (reason) {
        case SkipReason::kNone: return "";
        case SkipReason::kDenied: return "permission denied";
        case SkipReason::kVanished: return "vanished";
        case SkipReason::kTooLong: return "path too long";
        case SkipReason::kUnreadable: return "cannot be read";
        case SkipReason::kAlreadyListed: return "loop refused: already listed";
        case SkipReason::kOtherFileSystem: return "other file system";
        case SkipReason::kPseudoFileSystem: return "pseudo file system";
        case SkipReason::kExcluded: return "excluded";
    }
    return "";
}

std::string HashProgressText(const RunTotals& totals) {
    if (totals.bytesToHash == 0) return std::string();
    // One unit for both figures, the one the whole reads best in.
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB"};
    // A figure that would print as 1000.0 moves up a unit.
    double scale = 1e3;
    std::size_t unit = 0;
    while (unit + 1 < sizeof kUnits / sizeof *kUnits && static_cast<double>(totals.bytesToHash) / scale >= 999.95) {
        scale *= 1e3;
        ++unit;
    }
    const std::uint64_t done = std::min(totals.hashedBytes, totals.bytesToHash);
    const unsigned percent = static_cast<unsigned>(done * 100.0 / static_cast<double>(totals.bytesToHash));
    char text[80];
    std::snprintf(text, sizeof text, "Hashed %.1f of %.1f %s (%u%%)", static_cast<double>(done) / scale,
                  static_cast<double>(totals.bytesToHash) / scale, kUnits[unit], percent);
    return text;
}

}  // namespace tf::listing
