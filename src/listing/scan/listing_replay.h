#pragma once
// Replays a saved JSON Lines listing through a sink, as a scan of the same
// tree with the same options would have driven it: the listing's own order,
// filters, excludes, depth and sorting applied again, totals counted anew.
// The listing is read as a stream: memory does not grow with it.
#include <cstdint>
#include <string>

#include "listing/scan/folder_scan.h"

namespace tf::listing {

struct ReplayResult {
    bool ok = true;
    std::uint64_t line = 0;  // where the listing stopped being valid
    std::string reason;      // why
    std::string source;      // the listing's source folder
    platform::FileTicks listedAt = 0;  // when it was listed, where the listing says so
    // The algorithm of the hashes its files carry (its source folder's
    // "hashes"), kNone for a listing without.
    platform::HashAlgorithm hash = platform::HashAlgorithm::kNone;
};

// Drives `sink` from BeginSection to the source's EndFolder; Begin, Totals
// and Close are the caller's. `options.source` is not used: the listing
// names its own. Sink errors go to `writeError` (the first one).
ReplayResult ReplayListing(const std::string& listingPath, const ListingOptions& options, ScanHost& host,
                           RunTotals& totals, ListingSink& sink, WriteError& writeError);

// The source folder a listing was made of (its last record) and when it
// was listed (0 if the record does not say), and the separator of its paths; false with `result` saying why when there is none.
bool ListingSource(const std::string& listingPath, ReplayResult& result, char& separator);

}  // namespace tf::listing
