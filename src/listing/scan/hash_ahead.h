#pragma once
// The content hashes of a folder's files taken ahead of its rows: each file
// is read and hashed on a helper thread (or on the scan's own when it would
// wait), and its row goes on, with its hash, once every row before it did.
// Files of every size are read ahead, so that the small files of a folder
// keep two cores busy as a large one does.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <thread>

#include "listing/listing_sink.h"
#include "listing/scan/hash_reuse.h"
#include "platform/file_system.h"
#include "platform/work_ahead.h"

namespace tf::listing {

class ScanHost;

// The three steps of hashing a listed file. Before the reading: counts its
// bytes, takes its stamp and, where `earlier` has the file unchanged, its
// hash there (into `digest`, which `file` then shows); false when nothing is
// left to read (no hash asked, not a file, or the hash taken).
bool BeforeHashing(const ListingOptions& options, RunTotals& totals, const std::string& path, ListedFile& file,
                   std::string& digest, const EarlierHashes* earlier);
// The reading: opens `path` through `fs` and hashes it whole, unless its
// size is no longer `size`.
platform::ContentStatus ReadHash(platform::FileSystem& fs, const std::string& path, std::uint64_t size,
                                 platform::HashAlgorithm algorithm, const platform::ReadProgress& progress,
                                 std::string& digest);
// After it: counts what was not read as done, and gives `file` the digest or
// the reason there is none, telling `host` of a file that could not be read.
void AfterHashing(RunTotals& totals, ScanHost& host, const std::string& path, ListedFile& file,
                  const std::string& digest, platform::ContentStatus status, std::uint64_t read);

// The reading and what follows it, on the caller's thread, which keeps
// `host` answering and hears its stop.
void HashNow(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host, RunTotals& totals,
             const std::string& path, ListedFile& file, std::string& digest);

class HashAhead {
public:
    // `handOn` hears each row in the order it came; `helpers` threads hash
    // besides the caller's.
    HashAhead(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host, RunTotals& totals,
              unsigned helpers, std::function<void(const ListedFile&)> handOn);

    // A row of the folder being read, as BeforeHashing left it; `reads`:
    // what it returned. Its strings are copied.
    void Row(const std::string& path, const ListedFile& file, bool reads);
    // Hands on every row held, waiting for their hashes; `halted`: the walk
    // is ending (a stop, or a report that cannot be written), so what was
    // not begun is not read.
    void Flush(bool halted);

private:
    struct Pending {
        std::string path, name, type, target, digest;  // path only where it reads
        ListedFile file;     // its texts are the strings above
        bool reads = false;  // waits for its hash
        platform::ContentStatus status = platform::ContentStatus::kStopped;  // until read
        std::atomic<std::uint64_t> read{0};  // bytes, as the reading goes
        std::uint64_t counted = 0;           // of those, in the totals
    };

    void HandOn(bool all);
    // Runs on any thread.
    void Read(Pending& row);
    // On the scan's thread: the row's bytes read so far into the totals,
    // the host kept answering, and its stop heard.
    void Account(Pending& row);
    void Answer(const Pending& row);

    const ListingOptions& options_;
    platform::FileSystem& fs_;
    ScanHost& host_;
    RunTotals& totals_;
    const std::function<void(const ListedFile&)> handOn_;
    const std::thread::id owner_;
    std::deque<Pending> rows_;  // each stays in place until it is handed on
    bool lastReads_ = false;    // the row before needed reading
    std::string digest_;        // scratch: of a file read here
    platform::WorkAhead work_;  // last: its helpers end before the rows go
};

}  // namespace tf::listing
