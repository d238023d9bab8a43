#include "listing/listing_types.h"

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

}  // namespace tf::listing
