#include "listing/formats/report_columns.h"

#include "listing/formats/text_units.h"

namespace tf::listing {
namespace {

constexpr std::size_t kNameLimit = 35;
constexpr std::size_t kTypeLimit = 20;

}  // namespace

std::optional<std::string_view> ColumnTextInPlace(const ListedFile& file, int column, const ListingOptions& options) {
    switch (column) {
        case kName: return CutToChars(file.name, kNameLimit, options.names);
        case kType: return options.recordType ? CutToChars(file.type, kTypeLimit, options.names) : std::string_view();
        default: return std::nullopt;
    }
}

void AppendColumnText(std::string& out, const ListedFile& file, int column, const ListingOptions& options) {
    if (const auto text = ColumnTextInPlace(file, column, options)) {
        out += *text;
        return;
    }
    switch (column) {
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
