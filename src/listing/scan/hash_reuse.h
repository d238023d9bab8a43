#pragma once
// The hashes of an earlier listing, for a run that would otherwise read
// every file again: a file's hash is taken from there only where the file
// provably did not change since (the same stamp: the same file, by device
// and file id, with the same modified and change times, and the same size).
// Files are found by their identity, not their path: the table holds no
// paths.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/content_hash.h"
#include "platform/file_system.h"

namespace tf::listing {

class EarlierHashes {
public:
    // Reads the listing's hashed files that carry a stamp, when its hashes
    // are of `algorithm`. A listing that cannot be read, or one without
    // stamps (made before they were kept), gives nothing to reuse.
    void Load(const std::string& listingPath, platform::HashAlgorithm algorithm);

    // The digest (hex) recorded for a file of this size and stamp; empty
    // when there is none.
    std::string_view Find(std::uint64_t size, const platform::FileStamp& stamp) const;

    std::size_t Count() const { return known_.size(); }

private:
    // One record's fields as the listing holds them; false when a field is
    // missing or not the plain form this listing writes.
    bool Take(std::string_view line);

    struct Known {
        platform::FileStamp stamp;
        std::uint64_t size = 0;
        std::size_t digest = 0;  // where its hex digits start in digests_
    };
    std::vector<Known> known_;          // in the listing's order
    // (file id, place in known_), by file id and then device.
    using IdPlace = std::pair<std::uint64_t, std::uint32_t>;
    std::vector<IdPlace> byId_;
    // Where the next file is looked for first: a tree listed again is met
    // in the same order, so most files are found without a search.
    mutable std::size_t next_ = 0;
    std::string digests_;       // every digest's hex digits, each digits_ long
    std::string prefix_;        // "NAME:" of the algorithm
    std::size_t digits_ = 0;
};

}  // namespace tf::listing
