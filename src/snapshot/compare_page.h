#pragma once
// The explorer page of a comparison: both listings replayed into one page,
// marked so that the page shows what changed from the first to the second.
#include <string>

#include "listing/listing_run.h"

namespace tf::snapshot {

// Writes the page to `output` (replaced only when it is complete). A
// listing that is not valid is named in `invalid` and nothing is written.
listing::RunOutcome WriteComparisonPage(const std::string& oldListing, const std::string& newListing,
                                        const std::string& output, listing::ReplayResult& invalid);

}  // namespace tf::snapshot
