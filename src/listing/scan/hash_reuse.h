#pragma once
// The hashes of an earlier listing, for a run that would otherwise read
// every file again: a file's hash is taken from there only where the file
// provably did not change since (the same size and the same stamp: the same
// file, with the same modified and change times).
#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/content_hash.h"
#include "platform/file_system.h"

namespace tf::listing {

class EarlierHashes {
public:
    // Reads the listing's hashed files that carry a stamp, when its hashes
    // are of `algorithm`. A listing that cannot be read, or one without
    // stamps (made before they were kept), gives nothing to reuse.
    void Load(const std::string& listingPath, platform::HashAlgorithm algorithm);

    // The digest (hex) recorded for the file at `relative` (below the
    // source, in the listing's separator) when its size and stamp are the
    // same; null otherwise.
    const std::string* Find(const std::string& relative, std::uint64_t size, const platform::FileStamp& stamp) const;

    std::size_t Count() const { return known_.size(); }

private:
    struct Known {
        std::uint64_t size = 0;
        platform::FileStamp stamp;
        std::string digest;
    };
    std::unordered_map<std::string, Known> known_;
};

}  // namespace tf::listing
