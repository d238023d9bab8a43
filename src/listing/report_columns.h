#pragma once
// The display texts of a row in the text and HTML reports, which are also
// what an order sorts by.
#include <string>

#include "listing/listing_sink.h"

namespace tf::listing {

// Appends the text of `column` for `file`: the name cut to 35 characters,
// the type to 20, the size in KB, dates as DateText. A column that is not
// recorded has no text (so sorting by it keeps the search order).
void AppendColumnText(std::string& out, const ListedFile& file, int column, const ListingOptions& options);

}  // namespace tf::listing
