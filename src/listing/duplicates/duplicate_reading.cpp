// The reading that confirms duplicates. Every file that shares its size is
// first looked at: read whole when small, else at both ends. Those looks
// are taken in batches that run ahead of the comparison on helper threads
// (and on the comparing thread when it would wait): the files of a batch
// are opened and their bytes asked for before they are read, so a cold
// disk fetches them side by side. Their ends tell most apart, and only
// those still alike are read whole, by the comparing thread.
#include <algorithm>
#include <cassert>
#include <deque>
#include <memory>
#include <set>
#include <unordered_map>

#include "listing/duplicates/duplicate_finder.h"
#include "platform/work_ahead.h"

namespace tf::listing {
namespace {

// Bytes read at each end of a file to tell it apart cheaply.
constexpr std::size_t kEdgeBytes = 4096;
// Files up to this size are read whole at once: no more reads than their
// two ends would take.
constexpr std::uint64_t kWholeAtOnce = 16 << 10;
// Files kept open from their ends' reading to their whole reading; past
// that many in one size, a file is opened again (and checked to be the
// same file).
constexpr std::size_t kKeptOpen = 256;
// Files opened and asked for at once before they are read: a batch.
constexpr std::size_t kOpenAhead = 32;
// Batches handed to the helpers and not yet compared; with kKeptOpen this
// bounds the files open at once.
constexpr std::size_t kBatchesAhead = 8;
// Bytes of the next files asked for while one is read whole.
constexpr std::uint64_t kAskAhead = 16 << 20;

}  // namespace

class DuplicateFinder::FirstLooks {
public:
    // What the first reading of a file found.
    struct Look {
        platform::ContentStatus status = platform::ContentStatus::kStopped;  // not read
        platform::ContentIdentity identity;
        std::string digest;                           // whole (small files) or of the ends
        std::unique_ptr<platform::ContentFile> file;  // still open where it may be read whole
    };

    FirstLooks(DuplicateFinder& finder, unsigned helpers) : finder_(finder), work_(helpers) {}
    FirstLooks(const FirstLooks&) = delete;
    FirstLooks& operator=(const FirstLooks&) = delete;

    // The look at file `k`, the next in order of the files that share a
    // size; the host hears from the comparison while it waits.
    Look& Of(std::size_t k) {
        Fill();
        while (!batches_.front().taken) {
            work_.TakeOldest([this] {
                if (finder_.Stop()) work_.Stop();
            });
            batches_.front().taken = true;
            Fill();
        }
        Batch& batch = batches_.front();
        assert(batch.files[at_] == k);
        (void)k;
        return batch.looks[at_];
    }
    // Done with the file Of gave.
    void Next() {
        if (++at_ < batches_.front().files.size()) return;
        batches_.pop_front();
        at_ = 0;
        Fill();
    }
    void Stop() { work_.Stop(); }

private:
    struct Batch {
        std::vector<std::size_t> files;
        std::vector<Look> looks;
        bool taken = false;
    };

    bool Shared(std::size_t i) const {
        const std::vector<Candidate>& files = finder_.files_;
        return (i > 0 && files[i - 1].size == files[i].size) ||
               (i + 1 < files.size() && files[i + 1].size == files[i].size);
    }

    // Hands in batches up to the bound.
    void Fill() {
        const std::size_t count = finder_.files_.size();
        while (next_ < count && work_.Pending() < kBatchesAhead) {
            batches_.emplace_back();
            Batch& batch = batches_.back();
            for (; next_ < count && batch.files.size() < kOpenAhead; ++next_)
                if (Shared(next_)) batch.files.push_back(next_);
            if (batch.files.empty()) {
                batches_.pop_back();
                break;
            }
            batch.looks.resize(batch.files.size());
            work_.Add([this, &batch] { LookAt(batch); });
        }
    }

    // Runs on any thread: reads only what the finder holds unchanged while
    // it compares.
    void LookAt(Batch& batch) {
        const platform::HashAlgorithm algorithm = finder_.Algorithm();
        for (std::size_t i = 0; i < batch.files.size() && !work_.Stopping(); ++i) {
            const std::uint64_t size = finder_.files_[batch.files[i]].size;
            Look& look = batch.looks[i];
            platform::ContentStatus status = finder_.fs_->OpenContent(finder_.PathOf(batch.files[i]), look.file);
            if (status == platform::ContentStatus::kRead && look.file->Size() != size)
                status = platform::ContentStatus::kChanged;
            if (status != platform::ContentStatus::kRead) {
                look.file.reset();
                look.status = status;
                continue;
            }
            look.identity = look.file->Identity();
            if (size <= kWholeAtOnce) {
                look.file->WillRead(0, size);
            } else {
                look.file->WillRead(0, kEdgeBytes);
                look.file->WillRead(size - kEdgeBytes, kEdgeBytes);
            }
        }
        for (std::size_t i = 0; i < batch.files.size(); ++i) {
            Look& look = batch.looks[i];
            if (!look.file) continue;
            if (work_.Stopping()) {
                look.file.reset();
                continue;  // left kStopped
            }
            const bool whole = finder_.files_[batch.files[i]].size <= kWholeAtOnce;
            look.status = whole ? platform::HashWhole(*look.file, algorithm, nullptr, look.digest)
                                : platform::HashEdges(*look.file, algorithm, kEdgeBytes, look.digest);
            if (whole || look.status != platform::ContentStatus::kRead) look.file.reset();
        }
    }

    DuplicateFinder& finder_;
    std::deque<Batch> batches_;  // handed in, not yet compared: each stays in place until then
    std::size_t next_ = 0;       // the first file not yet in a batch
    std::size_t at_ = 0;         // in the front batch, the file compared next
    platform::WorkAhead work_;   // last: its helpers end before the batches go
};

// Whether the run was asked to stop; once it was, nothing more is read.
bool DuplicateFinder::Stop() {
    if (!stopped_ && host_) {
        host_->PumpEvents();
        stopped_ = host_->Stopped();
    }
    return stopped_;
}

void DuplicateFinder::Show(const std::string& path) {
    if (host_ && progress_.files) host_->Comparing(progress_, path);
}

// A file that needs no more reading: its bytes not read count as done.
void DuplicateFinder::Settle(std::uint64_t size, std::uint64_t read) {
    ++progress_.filesDone;
    progress_.bytesDone += size - std::min(read, size);
}

void DuplicateFinder::Failed(std::size_t file, platform::ContentStatus status) {
    UnreadFile unread{PathOf(file), files_[file].size, status};
    if (host_) host_->FileUnread(unread.path, status);
    unread_.push_back(std::move(unread));
}

// Gives each file [begin, end) that may have a twin its whole-file digest;
// leaves out files that cannot be read or changed (named to the host),
// further hard links found on opening, and, after a stop, files not read
// whole.
void DuplicateFinder::ReadAndGroup() {
    // Of several links to one file the first path in byte order stands for
    // all, whatever order the folders were read in; that order is known
    // before any reading, which may then run ahead.
    ForEachSharedSize([&](std::size_t begin, std::size_t end) { InPathOrder(begin, end); });
    FirstLooks looks(*this, helpers_);
    ForEachSharedSize([&](std::size_t begin, std::size_t end) {
        if (!stopped_) SameSize(begin, end, &looks);
    });
    looks.Stop();
}

void DuplicateFinder::ReadWhereNeeded(std::size_t begin, std::size_t end, FirstLooks& looks, Hashed& hashed) {
    struct Opened {
        std::size_t index;
        std::unique_ptr<platform::ContentFile> file;  // while few are open
        platform::ContentIdentity identity;
        std::string edges;
    };
    const std::uint64_t size = files_[begin].size;
    const platform::HashAlgorithm algorithm = Algorithm();
    // Small files are settled by one reading.
    const bool whole = size <= kWholeAtOnce;
    std::vector<Opened> opened;
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    for (std::size_t k = begin; k < end; ++k) {
        if (Stop()) break;
        FirstLooks::Look& look = looks.Of(k);
        if (stopped_ || look.status == platform::ContentStatus::kStopped) break;
        Show(PathOf(k));
        Opened o{k, std::move(look.file), look.identity, std::move(look.digest)};
        const platform::ContentStatus status = look.status;
        looks.Next();
        if (status != platform::ContentStatus::kRead) {
            Failed(k, status);
            Settle(size);
            continue;
        }
        // A further link to a file already looked at.
        if (!seen.emplace(o.identity.device, o.identity.inode).second) {
            Settle(size);
            continue;
        }
        if (whole) {
            Settle(size);
            hashed.emplace_back(k, std::move(o.edges));
            continue;
        }
        if (opened.size() >= kKeptOpen) o.file.reset();
        opened.push_back(std::move(o));
    }
    if (whole || stopped_) return;
    std::unordered_map<std::string, int> edgeCount;
    for (const Opened& o : opened) ++edgeCount[o.edges];
    // Files with ends of their own are told apart already.
    opened.erase(std::remove_if(opened.begin(), opened.end(),
                                [&](const Opened& o) {
                                    if (edgeCount[o.edges] > 1) return false;
                                    Settle(size);
                                    return !Stop();
                                }),
                 opened.end());
    // The next files' bytes are asked for while one is read, up to a bound,
    // from the files still open.
    std::size_t ahead = 0;
    std::uint64_t asked = 0, done = 0;
    for (Opened& o : opened) {
        if (Stop()) return;
        for (; ahead < opened.size() && asked <= done + kAskAhead; ++ahead) {
            if (opened[ahead].file) opened[ahead].file->WillRead(0, std::min(size, kAskAhead));
            asked += std::min(size, kAskAhead);
        }
        done += std::min(size, kAskAhead);
        const std::string path = PathOf(o.index);
        Show(path);
        platform::ContentStatus status = platform::ContentStatus::kRead;
        if (!o.file) {
            status = fs_->OpenContent(path, o.file);
            // Another file put in its place since: not the one compared.
            if (status == platform::ContentStatus::kRead &&
                (o.file->Size() != size || o.file->Identity().device != o.identity.device ||
                 o.file->Identity().inode != o.identity.inode))
                status = platform::ContentStatus::kChanged;
        }
        std::uint64_t read = 0;
        std::string digest;
        if (status == platform::ContentStatus::kRead)
            status = platform::HashWhole(*o.file, algorithm, [&](std::uint64_t bytes) {
                read += bytes;
                progress_.bytesDone += bytes;
                Show(path);
                return !Stop();
            }, digest);
        o.file.reset();
        if (status == platform::ContentStatus::kStopped) {
            // Not settled: what it read is taken back.
            progress_.bytesDone -= read;
            return;
        }
        Settle(size, read);
        if (status != platform::ContentStatus::kRead) {
            Failed(o.index, status);
            continue;
        }
        hashed.emplace_back(o.index, std::move(digest));
    }
}

}  // namespace tf::listing
