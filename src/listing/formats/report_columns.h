#pragma once
// The display texts of a row in the text and HTML reports, which are also
// what an order sorts by.
#include <optional>
#include <string>
#include <string_view>

#include "listing/listing_sink.h"

namespace tf::listing {

// Appends the text of `column` for `file`: the name cut to 35 characters,
// the type to 20, the size in KB, dates as DateText. A column that is not
// recorded has no text (so sorting by it keeps the search order).
void AppendColumnText(std::string& out, const ListedFile& file, int column, const ListingOptions& options);

// The text of `column` when it is a piece of the file's own texts (the name
// and type columns), without a copy; nothing for the formatted columns.
std::optional<std::string_view> ColumnTextInPlace(const ListedFile& file, int column, const ListingOptions& options);

}  // namespace tf::listing
