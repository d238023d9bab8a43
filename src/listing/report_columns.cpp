#include "listing/report_columns.h"

#include "listing/text_units.h"

namespace tf::listing {
namespace {

constexpr std::size_t kNameLimit = 35;
constexpr std::size_t kTypeLimit = 20;

}  // namespace

void AppendColumnText(std::string& out, const ListedFile& file, int column, const ListingOptions& options) {
    switch (column) {
        case kName: out += CutToChars(file.name, kNameLimit, options.names); break;
        case kType:
            if (options.recordType) out += CutToChars(file.type, kTypeLimit, options.names);
            break;
        case kSize:
            if (options.recordSize) out += std::to_string(RoundScaledBytes(file.size, 1));
            break;
        case kCreated:
            if (options.recordCreated) out += DateText(file.created);
            break;
        case kModified:
            if (options.recordModified) out += DateText(file.modified);
            break;
        default: break;
    }
}

}  // namespace tf::listing
