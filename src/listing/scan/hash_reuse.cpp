#include "listing/scan/hash_reuse.h"

#include <fstream>

#include "listing/formats/record_text.h"
#include "listing/scan/listing_record.h"
#include "listing/scan/listing_replay.h"

namespace tf::listing {

void EarlierHashes::Load(const std::string& listingPath, platform::HashAlgorithm algorithm) {
    known_.clear();
    ReplayResult source;
    char separator = '/';
    if (algorithm == platform::HashAlgorithm::kNone || !ListingSource(listingPath, source, separator) ||
        source.hash != algorithm)
        return;
    const std::string& root = source.source;
    const std::size_t cut = root.size() + (root.back() == separator ? 0 : 1);
    const std::string_view name = platform::HashName(algorithm);
    const std::size_t digits = platform::HashHexLength(algorithm);
    std::ifstream in(listingPath, std::ios::binary);
    std::string line;
    ListingRecord record;
    while (std::getline(in, line)) {
        // Only what is surely right is kept; anything else is read again.
        if (line.find("\"stamp\"") == std::string::npos || !record.Parse(line)) continue;
        try {
            if (record.Text(Field::kKind) != "file") continue;
            const std::string& hash = record.Text(Field::kHash);
            const std::optional<platform::FileStamp> stamp = ParseStamp(record.Text(Field::kStamp));
            if (!stamp || hash.size() != name.size() + 1 + digits || hash.compare(0, name.size(), name) != 0 ||
                hash[name.size()] != ':')
                continue;
            std::string path = record.Bytes(Field::kPath, Field::kPathBytes);
            if (path.size() <= cut || path.compare(0, root.size(), root) != 0) continue;
            known_[path.substr(cut)] = Known{record.Number(Field::kSize), *stamp, hash.substr(name.size() + 1)};
        } catch (const InvalidRecord&) {
            continue;
        }
    }
}

const std::string* EarlierHashes::Find(const std::string& relative, std::uint64_t size,
                                       const platform::FileStamp& stamp) const {
    const auto it = known_.find(relative);
    if (it == known_.end() || it->second.size != size || !(it->second.stamp == stamp)) return nullptr;
    return &it->second.digest;
}

}  // namespace tf::listing
