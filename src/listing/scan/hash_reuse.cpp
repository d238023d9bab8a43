#include "listing/scan/hash_reuse.h"

#include <algorithm>
#include <tuple>

#include "listing/formats/record_text.h"
#include "listing/scan/listing_replay.h"

namespace tf::listing {
namespace {

auto IdentityOf(const platform::FileStamp& s) { return std::make_tuple(s.device, s.fileId); }

// The top-level fields of one flat JSON object, as spans of the line: a
// string's without its quotes (escapes left as they are), any other value's
// as written. False when the line is not such an object.
template <typename OnField>
bool ScanObject(std::string_view line, OnField onField) {
    std::size_t at = 0;
    const auto skipBlanks = [&] {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
    };
    const auto string = [&](std::string_view& out) {
        if (at >= line.size() || line[at] != '"') return false;
        const std::size_t start = ++at;
        for (; at < line.size() && line[at] != '"'; ++at)
            if (line[at] == '\\') ++at;
        if (at >= line.size()) return false;
        out = line.substr(start, at++ - start);
        return true;
    };
    skipBlanks();
    if (at >= line.size() || line[at++] != '{') return false;
    for (;;) {
        skipBlanks();
        std::string_view key, value;
        if (!string(key)) return false;
        skipBlanks();
        if (at >= line.size() || line[at++] != ':') return false;
        skipBlanks();
        if (at < line.size() && line[at] == '"') {
            if (!string(value)) return false;
        } else {
            const std::size_t start = at;
            while (at < line.size() && line[at] != ',' && line[at] != '}') {
                if (line[at] == '{' || line[at] == '[' || line[at] == '"') return false;  // records are flat
                ++at;
            }
            value = line.substr(start, at - start);
        }
        onField(key, value);
        skipBlanks();
        if (at >= line.size()) return false;
        if (line[at] == '}') return true;
        if (line[at++] != ',') return false;
    }
}

bool ParseCount(std::string_view text, std::uint64_t& value) {
    value = 0;
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9' || value > (UINT64_MAX - 9) / 10) return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

}  // namespace

bool EarlierHashes::Take(std::string_view line) {
    std::string_view kind, size, hash, stamp;
    if (!ScanObject(line, [&](std::string_view key, std::string_view value) {
            if (key == "kind") kind = value;
            else if (key == "size") size = value;
            else if (key == "hash") hash = value;
            else if (key == "stamp") stamp = value;
        }))
        return false;
    Known known;
    const std::optional<platform::FileStamp> parsed = ParseStamp(stamp);
    if (kind != "file" || !parsed || !ParseCount(size, known.size) || hash.size() != prefix_.size() + digits_ ||
        hash.substr(0, prefix_.size()) != prefix_ ||
        hash.find_first_not_of("0123456789abcdef", prefix_.size()) != std::string_view::npos)
        return false;
    known.stamp = *parsed;
    known.digest = digests_.size();
    digests_.append(hash.substr(prefix_.size()));
    known_.push_back(known);
    return true;
}

void EarlierHashes::Load(const std::string& listingPath, platform::HashAlgorithm algorithm) {
    ListingInput listing;
    listing.Open(listingPath);
    Load(listing, algorithm);
}

void EarlierHashes::Load(ListingInput& listing, platform::HashAlgorithm algorithm) {
    known_.clear();
    byId_.clear();
    digests_.clear();
    algorithm_ = platform::HashAlgorithm::kNone;
    if (algorithm == platform::HashAlgorithm::kNone || !listing.Head().ok || listing.Head().hash != algorithm) return;
    algorithm_ = algorithm;
    prefix_ = std::string(platform::HashName(algorithm)) + ':';
    digits_ = platform::HashHexLength(algorithm);
    listing.Rewind();
    std::string line;
    // Only what is surely right is kept; anything else is read again.
    while (listing.NextLine(line))
        if (line.find("\"stamp\"") != std::string::npos) Take(line);
    byId_.resize(known_.size());
    for (std::size_t i = 0; i < byId_.size(); ++i) byId_[i] = static_cast<std::uint32_t>(i);
    std::sort(byId_.begin(), byId_.end(), [this](std::uint32_t a, std::uint32_t b) {
        return IdentityOf(known_[a].stamp) < IdentityOf(known_[b].stamp);
    });
    next_ = 0;
}

std::string_view EarlierHashes::Find(std::uint64_t size, const platform::FileStamp& stamp) const {
    const auto matches = [&](std::size_t i) { return known_[i].size == size && known_[i].stamp == stamp; };
    if (next_ < known_.size() && matches(next_))
        return std::string_view(digests_).substr(known_[next_++].digest, digits_);
    auto it = std::lower_bound(byId_.begin(), byId_.end(), IdentityOf(stamp), [this](std::uint32_t i, const auto& id) {
        return IdentityOf(known_[i].stamp) < id;
    });
    // Hard links share an identity; any of them with the same stamp will do.
    for (; it != byId_.end() && IdentityOf(known_[*it].stamp) == IdentityOf(stamp); ++it) {
        if (!matches(*it)) continue;
        next_ = *it + 1;
        return std::string_view(digests_).substr(known_[*it].digest, digits_);
    }
    return {};
}

}  // namespace tf::listing
