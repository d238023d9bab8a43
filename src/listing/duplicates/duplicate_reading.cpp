// The reading that confirms duplicates: the files of one size are opened a
// few at a time and their bytes asked for before they are read, so a cold
// disk fetches them side by side; their ends tell most apart, and only
// those still alike are read whole.
#include <algorithm>
#include <memory>
#include <set>
#include <unordered_map>

#include "listing/duplicates/duplicate_finder.h"

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
// Files opened and asked for at once before their ends are read.
constexpr std::size_t kOpenAhead = 32;
// Bytes of the next files asked for while one is read whole.
constexpr std::uint64_t kAskAhead = 16 << 20;

}  // namespace

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
void DuplicateFinder::ReadWhereNeeded(std::size_t begin, std::size_t end, Hashed& hashed) {
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
    for (std::size_t k = begin; k < end && !stopped_;) {
        std::vector<Opened> batch;
        for (const std::size_t last = std::min(end, k + kOpenAhead); k < last && !Stop(); ++k) {
            Opened o{k, nullptr, {}, {}};
            platform::ContentStatus status = fs_->OpenContent(PathOf(k), o.file);
            if (status == platform::ContentStatus::kRead && o.file->Size() != size)
                status = platform::ContentStatus::kChanged;
            if (status != platform::ContentStatus::kRead) {
                Failed(k, status);
                Settle(size);
                continue;
            }
            o.identity = o.file->Identity();
            if (!seen.emplace(o.identity.device, o.identity.inode).second) {
                Settle(size);
                continue;
            }
            if (whole) {
                o.file->WillRead(0, size);
            } else {
                o.file->WillRead(0, kEdgeBytes);
                o.file->WillRead(size - kEdgeBytes, kEdgeBytes);
            }
            batch.push_back(std::move(o));
        }
        for (Opened& o : batch) {
            if (Stop()) break;
            Show(PathOf(o.index));
            const platform::ContentStatus status =
                whole ? platform::HashWhole(*o.file, algorithm, nullptr, o.edges)
                      : platform::HashEdges(*o.file, algorithm, kEdgeBytes, o.edges);
            if (status != platform::ContentStatus::kRead) {
                Failed(o.index, status);
                Settle(size);
                continue;
            }
            if (whole) {
                Settle(size);
                hashed.emplace_back(o.index, std::move(o.edges));
                continue;
            }
            if (opened.size() >= kKeptOpen) o.file.reset();
            opened.push_back(std::move(o));
        }
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
