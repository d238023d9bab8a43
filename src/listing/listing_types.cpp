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

namespace {

// "1.2 of 3.4 GB (35%)": one unit for both figures, the one the whole reads
// best in.
std::string ShareOfBytes(std::uint64_t done, std::uint64_t whole) {
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB"};
    // A figure that would print as 1000.0 moves up a unit.
    double scale = 1e3;
    std::size_t unit = 0;
    while (unit + 1 < sizeof kUnits / sizeof *kUnits && static_cast<double>(whole) / scale >= 999.95) {
        scale *= 1e3;
        ++unit;
    }
    done = std::min(done, whole);
    const unsigned percent = whole ? static_cast<unsigned>(done * 100.0 / static_cast<double>(whole)) : 100;
    char text[80];
    std::snprintf(text, sizeof text, "%.1f of %.1f %s (%u%%)", static_cast<double>(done) / scale,
                  static_cast<double>(whole) / scale, kUnits[unit], percent);
    return text;
}

}  // namespace

std::string HashProgressText(const RunTotals& totals) {
    if (totals.bytesToHash == 0) return std::string();
    return "Hashed " + ShareOfBytes(totals.hashedBytes, totals.bytesToHash);
}

std::string CompareProgressText(const CompareProgress& progress) {
    return "Comparing " + std::to_string(std::min(progress.filesDone, progress.files)) + " of " +
           std::to_string(progress.files) + " files, " + ShareOfBytes(progress.bytesDone, progress.bytes);
}

}  // namespace tf::listing
