#include "listing/scan/hash_ahead.h"

#include <algorithm>

#include "listing/scan/folder_scan.h"

namespace tf::listing {
namespace {

// Files whose hashes are asked for before the oldest is taken: enough to
// keep every helper busy between two takings.
constexpr std::size_t kFilesAhead = 32;
// Rows held in all, most of them waiting behind a file being read (their
// hashes taken from an earlier listing, or none asked).
constexpr std::size_t kRowsHeld = 4096;

}  // namespace

bool BeforeHashing(const ListingOptions& options, RunTotals& totals, const std::string& path, ListedFile& file,
                   std::string& digest, const EarlierHashes* earlier) {
    digest.clear();
    if (options.hash == platform::HashAlgorithm::kNone || file.kind != EntryKind::kFile) {
        file.stamp = platform::FileStamp{};
        return false;
    }
    totals.bytesToHash += file.size;
    // Taken before the content is read: a write during the reading moves
    // the change time after it, and the next run reads the file again.
    if (!file.stamp.known) file.stamp = platform::StampOf(path);
    if (earlier && file.stamp.known) {
        if (earlier->Find(file.size, file.stamp, digest)) {
            file.digest = digest;
            totals.hashedBytes += file.size;
            return false;
        }
    }
    if (!platform::IsSettled(file.stamp)) file.stamp = platform::FileStamp{};
    return true;
}

platform::ContentStatus ReadHash(platform::FileSystem& fs, const std::string& path, std::uint64_t size,
                                 platform::HashAlgorithm algorithm, const platform::ReadProgress& progress,
                                 std::string& digest) {
    // Opened through the file system, which knows its platform's path rules
    // (and which tests replace).
    std::unique_ptr<platform::ContentFile> content;
    platform::ContentStatus status = fs.OpenContent(path, content);
    if (status == platform::ContentStatus::kRead && content->Size() != size)
        status = platform::ContentStatus::kChanged;
    if (status == platform::ContentStatus::kRead) status = platform::HashWhole(*content, algorithm, progress, digest);
    return status;
}

void AfterHashing(RunTotals& totals, ScanHost& host, const std::string& path, ListedFile& file,
                  const std::string& digest, platform::ContentStatus status, std::uint64_t read) {
    // What was not read still counts as done, so the progress ends whole.
    totals.hashedBytes += file.size - std::min(read, file.size);
    if (status == platform::ContentStatus::kRead) {
        file.digest = digest;
        return;
    }
    file.unhashed = status;
    // A FIFO or device has no content to read, and a stop is no failure.
    if (status == platform::ContentStatus::kNotRegular || status == platform::ContentStatus::kStopped) return;
    ++totals.unreadFiles;
    host.FileUnread(path, status);
}

void HashNow(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host, RunTotals& totals,
             const std::string& path, ListedFile& file, std::string& digest) {
    std::uint64_t read = 0;
    const platform::ContentStatus status =
        ReadHash(fs, path, file.size, options.hash, [&](std::uint64_t bytes) {
            read += bytes;
            totals.hashedBytes += bytes;
            host.SetStatus(path);
            // A large file is read for long: the window stays answerable
            // and its Stop is seen part-way.
            host.PumpEvents();
            return !host.Stopped();
        }, digest);
    AfterHashing(totals, host, path, file, digest, status, read);
}

HashAhead::HashAhead(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host, RunTotals& totals,
                     unsigned helpers, std::function<void(const ListedFile&)> handOn)
    : options_(options),
      fs_(fs),
      host_(host),
      totals_(totals),
      handOn_(std::move(handOn)),
      owner_(std::this_thread::get_id()),
      work_(helpers) {}

void HashAhead::Row(const std::string& path, const ListedFile& file, bool reads) {
    // A file to read now and then among rows that need none (their hashes
    // taken from an earlier listing) is read here, before the rows after it
    // come: holding them back behind a helper costs more than the reading.
    // So is a large file, once the rows before it are out: its hashing
    // keeps two cores busy by itself, and two at once would only contend.
    // Files that come one after another are read ahead.
    const bool large = reads && file.size >= platform::kOverlappedFrom;
    if (large) HandOn(true);
    const bool lone = reads && (large || !lastReads_) && rows_.empty();
    lastReads_ = reads;
    if (lone) {
        ListedFile own = file;
        HashNow(options_, fs_, host_, totals_, path, own, digest_);
        handOn_(own);
        return;
    }
    if (rows_.empty() && !reads) {
        handOn_(file);
        return;
    }
    Pending& row = rows_.emplace_back();
    if (reads) row.path = path;
    row.name = file.name;
    row.type = file.type;
    row.target = file.target;
    row.digest = file.digest;
    row.file = file;
    row.file.name = row.name;
    row.file.type = row.type;
    row.file.target = row.target;
    row.file.digest = row.digest;
    row.reads = reads;
    if (reads) work_.Add([this, &row] { Read(row); });
    HandOn(false);
}

void HashAhead::Flush(bool halted) {
    if (halted) work_.Stop();
    HandOn(true);
}

void HashAhead::HandOn(bool all) {
    while (!rows_.empty()) {
        Pending& row = rows_.front();
        if (row.reads) {
            // The row waits for its file while that is read ahead, and goes on
            // as soon as its hash is in.
            if (!all && work_.Pending() < kFilesAhead && rows_.size() < kRowsHeld && !work_.OldestDone()) return;
            // The oldest job is this row's: jobs are handed in in row order.
            const bool ran = work_.TakeOldest([this, &row] {
                Account(row);
                Answer(row);
            });
            Account(row);
            AfterHashing(totals_, host_, row.path, row.file, row.digest,
                         ran ? row.status : platform::ContentStatus::kStopped, row.read.load());
        }
        handOn_(row.file);
        rows_.pop_front();
    }
}

void HashAhead::Read(Pending& row) {
    const bool owner = std::this_thread::get_id() == owner_;
    row.status = ReadHash(fs_, row.path, row.file.size, options_.hash, [&](std::uint64_t bytes) {
        row.read.fetch_add(bytes, std::memory_order_relaxed);
        // A large file is read for long: on the scan's thread the window
        // stays answerable and its Stop is seen part-way.
        if (owner) {
            Account(row);
            Answer(row);
        }
        return !work_.Stopping();
    }, row.digest);
}

void HashAhead::Account(Pending& row) {
    const std::uint64_t read = row.read.load(std::memory_order_relaxed);
    totals_.hashedBytes += read - row.counted;
    row.counted = read;
}

void HashAhead::Answer(const Pending& row) {
    host_.SetStatus(row.path);
    host_.PumpEvents();
    if (host_.Stopped()) work_.Stop();
}

}  // namespace tf::listing
