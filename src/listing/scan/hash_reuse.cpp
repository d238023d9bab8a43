#include "listing/scan/hash_reuse.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "listing/formats/record_text.h"
#include "listing/scan/listing_replay.h"
#include "platform/thread_priority.h"

namespace tf::listing {
namespace {

// Where the next quote or backslash is in `line` from `at`, or npos:
// sixteen bytes a step where the processor has the instructions for it, as
// keys and most values are too short for a call to pay.
std::size_t NextQuoteOrEscape(std::string_view line, std::size_t at) {
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"'), escape = _mm_set1_epi8('\\');
    for (; at + 16 <= line.size(); at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + at));
        const int found =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, escape)));
        if (found) return at + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found)));
    }
#endif
    for (; at < line.size(); ++at)
        if (line[at] == '"' || line[at] == '\\') return at;
    return std::string_view::npos;
}

// The top-level fields of one flat JSON object, as spans of the line: a
// string's without its quotes (escapes left as they are), any other value's
// as written. False when the line is not such an object.
template <typename OnField>
bool ScanObject(std::string_view line, OnField onField) {
    std::size_t at = 0;
    const auto skipBlanks = [&] {
        // Most often there is none: one look at a byte above the blanks.
        while (at < line.size() && static_cast<unsigned char>(line[at]) <= ' ' &&
               (line[at] == ' ' || line[at] == '\t' || line[at] == '\r'))
            ++at;
    };
    const auto string = [&](std::string_view& out) {
        if (at >= line.size() || line[at] != '"') return false;
        const std::size_t start = ++at;
        // A backslash escapes the character after it, whatever it is; the
        // first quote not escaped ends the string.
        for (;;) {
            at = NextQuoteOrEscape(line, at);
            if (at == std::string_view::npos) return false;
            if (line[at] == '"') break;
            at += 2;
        }
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

bool EarlierHashes::Take(std::string_view line, Batch& batch) const {
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
    // Lower-case hex digits only: a table and no branch per digit.
    static const auto kHex = [] {
        std::array<unsigned char, 256> table{};
        for (const char c : std::string_view("0123456789abcdef")) table[static_cast<unsigned char>(c)] = 1;
        return table;
    }();
    const auto lowerHex = [](std::string_view digits) {
        unsigned char all = 1;
        for (const char c : digits) all &= kHex[static_cast<unsigned char>(c)];
        return all != 0;
    };
    if (kind != "file" || !parsed || !ParseCount(size, known.size) || hash.size() != prefix_.size() + digits_ ||
        hash.substr(0, prefix_.size()) != prefix_ || !lowerHex(hash.substr(prefix_.size())))
        return false;
    known.stamp = *parsed;
    known.digest = batch.digests.size();
    batch.digests.append(hash.substr(prefix_.size()));
    batch.known.push_back(known);
    return true;
}

EarlierHashes::EarlierHashes() = default;
EarlierHashes::~EarlierHashes() { Join(); }

void EarlierHashes::Join() {
    abandon_ = true;
    if (reader_.joinable()) reader_.join();
    abandon_ = false;
}

void EarlierHashes::Load(const std::string& listingPath, platform::HashAlgorithm algorithm) {
    auto listing = std::make_unique<ListingInput>();
    listing->Open(listingPath);
    Load(std::move(listing), algorithm);
}

void EarlierHashes::Load(std::unique_ptr<ListingInput> listing, platform::HashAlgorithm algorithm) {
    Join();
    known_.clear();
    byId_.clear();
    digests_.clear();
    next_ = 0;
    complete_ = true;
    algorithm_ = platform::HashAlgorithm::kNone;
    // Nothing to take from a listing of other hashes, or none: it is
    // closed at once.
    if (algorithm == platform::HashAlgorithm::kNone || !listing || !listing->Head().ok ||
        listing->Head().hash != algorithm)
        return;
    listing_ = std::move(listing);
    algorithm_ = algorithm;
    prefix_ = std::string(platform::HashName(algorithm)) + ':';
    digits_ = platform::HashHexLength(algorithm);
    complete_ = false;
    listing_->Rewind();
    try {
        reader_ = std::thread([this] {
            platform::LowerThreadPriority();
            Read();
        });
    } catch (const std::system_error&) {
        Read();  // no thread to spare: read them now
    }
}

void EarlierHashes::Read() {
    Batch batch;
    std::string_view line;
    std::size_t lines = 0;
    // Only what is surely right is kept; anything else is read again. A
    // line without a stamp (a folder's) is refused by Take as it is read:
    // looking for the key first would read every line twice.
    while (!abandon_ && listing_->NextLine(line)) {
        Take(line, batch);
        // Handed over in batches, so that the scan can go on meanwhile.
        if (++lines % 4096 == 0) HandOver(batch, false);
    }
    listing_.reset();  // closed before the last records are handed over
    HandOver(batch, true);
}

void EarlierHashes::HandOver(Batch& batch, bool last) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::size_t base = digests_.size();
        for (Known& k : batch.known) {
            k.digest += base;
            known_.push_back(k);
        }
        digests_ += batch.digests;
        complete_ = last;
    }
    batch.known.clear();
    batch.digests.clear();
    more_.notify_all();
}

std::size_t EarlierHashes::Count() const {
    std::unique_lock<std::mutex> lock(mutex_);
    more_.wait(lock, [this] { return complete_; });
    return known_.size();
}

bool EarlierHashes::Find(std::uint64_t size, const platform::FileStamp& stamp, std::string& digest) const {
    const auto matches = [&](std::size_t i) { return known_[i].size == size && known_[i].stamp == stamp; };
    std::unique_lock<std::mutex> lock(mutex_);
    more_.wait(lock, [this] { return complete_ || next_ < known_.size(); });
    if (next_ < known_.size()) {
        const Known& k = known_[next_];
        if (matches(next_)) {
            digest.assign(digests_, k.digest, digits_);
            ++next_;
            return true;
        }
        // The same file, changed since: nothing to take here, and the next
        // file is looked for after it.
        if (k.stamp.known && stamp.known && k.stamp.device == stamp.device && k.stamp.fileId == stamp.fileId) {
            ++next_;
            return false;
        }
    }
    // Found elsewhere or not at all: that needs every record, by identity.
    more_.wait(lock, [this] { return complete_; });
    if (byId_.size() != known_.size()) {
        // By file id, the key beside each place so that the sort stays in
        // the cache; the device only decides between equal ids. A tree
        // listed again in the same order may never need it.
        byId_.resize(known_.size());
        for (std::size_t i = 0; i < byId_.size(); ++i)
            byId_[i] = {known_[i].stamp.fileId, static_cast<std::uint32_t>(i)};
        std::sort(byId_.begin(), byId_.end(), [this](const IdPlace& a, const IdPlace& b) {
            if (a.first != b.first) return a.first < b.first;
            return known_[a.second].stamp.device < known_[b.second].stamp.device;
        });
    }
    auto it = std::lower_bound(byId_.begin(), byId_.end(), stamp.fileId,
                               [](const IdPlace& place, std::uint64_t id) { return place.first < id; });
    // Hard links share an identity; any of them with the same stamp will do.
    for (; it != byId_.end() && it->first == stamp.fileId; ++it) {
        if (!matches(it->second)) continue;
        next_ = it->second + 1;
        digest.assign(digests_, known_[it->second].digest, digits_);
        return true;
    }
    return false;
}

}  // namespace tf::listing
