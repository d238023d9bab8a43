#pragma once
// The explorer page of a comparison: both listings replayed into one page,
// with the comparison's answer for each entry (docs/explorer-format.md,
// "Changes"), so that the page draws what changed and decides nothing.
#include <string>

#include "listing/listing_run.h"
#include "snapshot/snapshot_diff.h"

namespace tf::snapshot {

// Writes the page of `diff`, the comparison of the two listings, to
// `output` (replaced only when it is complete). A listing that is not valid
// is named in `invalid` and nothing is written.
listing::RunOutcome WriteComparisonPage(const DiffResult& diff, listing::ListingInput& oldListing,
                                        listing::ListingInput& newListing, const std::string& output,
                                        listing::ReplayResult& invalid);

// The same, comparing the listings first.
listing::RunOutcome WriteComparisonPage(const std::string& oldListing, const std::string& newListing,
                                        const std::string& output, listing::ReplayResult& invalid);

}  // namespace tf::snapshot
