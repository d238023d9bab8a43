#pragma once
// The hashes of an earlier listing, for a run that would otherwise read
// every file again: a file's hash is taken from there only where the file
// provably did not change since (the same stamp: the same file, by device
// and file id, with the same modified and change times, and the same size).
// Files are found by their identity, not their path: the table holds no
// paths.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/content_hash.h"
#include "platform/file_system.h"

namespace tf::listing {

class ListingInput;

class EarlierHashes {
public:
    EarlierHashes();
    ~EarlierHashes();
    EarlierHashes(const EarlierHashes&) = delete;
    EarlierHashes& operator=(const EarlierHashes&) = delete;

    // Reads the listing's hashed files that carry a stamp, when its hashes
    // are of `algorithm`. A listing that cannot be read, or one without
    // stamps (made before they were kept), gives nothing to reuse. The
    // records are read on a thread of their own while the scan begins;
    // Find waits for those it needs.
    void Load(const std::string& listingPath, platform::HashAlgorithm algorithm);
    // The same of a listing opened already (it may be a pipe, which can be
    // opened only once), read again from its start.
    void Load(std::unique_ptr<ListingInput> listing, platform::HashAlgorithm algorithm);

    // The digest (hex) recorded for a file of this size and stamp, into
    // `digest`; false when there is none. Called from one thread.
    bool Find(std::uint64_t size, const platform::FileStamp& stamp, std::string& digest) const;

    // The records kept, once all are read.
    std::size_t Count() const;
    // Waits until the listing is read whole and closed, so that a report
    // may replace it (Windows cannot replace a file that is open).
    void WaitUntilRead() const { Count(); }
    // The hashes loaded (kNone before any were).
    platform::HashAlgorithm Algorithm() const { return algorithm_; }

private:
    struct Known {
        platform::FileStamp stamp;
        std::uint64_t size = 0;
        std::size_t digest = 0;  // where its hex digits start in digests_
    };
    // Records read and not yet handed over: the reading thread's own.
    struct Batch {
        std::vector<Known> known;
        std::string digests;
    };
    // One record's fields as the listing holds them, into `batch`; false
    // when a field is missing or not the plain form this listing writes.
    bool Take(std::string_view line, Batch& batch) const;
    void Read();
    void HandOver(Batch& batch, bool last);
    void Join();

    std::string prefix_;  // "NAME:" of the algorithm
    std::size_t digits_ = 0;
    platform::HashAlgorithm algorithm_ = platform::HashAlgorithm::kNone;
    std::unique_ptr<ListingInput> listing_;  // read by reader_
    mutable std::mutex mutex_;
    mutable std::condition_variable more_;  // records handed over, or all read
    std::vector<Known> known_;              // in the listing's order
    std::string digests_;                   // every digest's hex digits, each digits_ long
    // (file id, place in known_), by file id and then device; made when
    // first needed, once every record is read.
    using IdPlace = std::pair<std::uint64_t, std::uint32_t>;
    mutable std::vector<IdPlace> byId_;
    bool complete_ = true;
    std::atomic<bool> abandon_{false};  // the run no longer needs them
    // Where the next file is looked for first: a tree listed again is met
    // in the same order, so most files are found without a search (and
    // without waiting for the records after them).
    mutable std::size_t next_ = 0;
    std::thread reader_;
};

}  // namespace tf::listing
