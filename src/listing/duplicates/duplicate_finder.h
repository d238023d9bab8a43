#pragma once
// Groups of files with the same content: the one finder behind the
// duplicates report (`--duplicates`) and the explorer page's Duplicates
// view. It takes the listed files as a listing hands them on (Add), keeps
// those that may have a twin in a few numbers each, and at the end (Find)
// reads only what it must: files alone in their size need nothing, small
// files are read whole at once, larger ones first at both ends, and only
// what is still together is read whole. Digests a listing already carries
// are used as they are. Hard links of one file are one file, the first of
// their paths in byte order standing for all.
//
// A group's files are in path order (bytes); groups come by the bytes they
// waste (size × (count − 1)), most first, then by their first path.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "listing/listing_sink.h"
#include "platform/content_hash.h"
#include "platform/file_system.h"

namespace tf::listing {

struct DuplicateGroup {
    std::uint64_t size = 0;
    std::string hash;                // "NAME:HEX"
    std::vector<std::size_t> files;  // the finder's numbers, in path order
    std::uint64_t Wasted() const { return size * (files.size() - 1); }
};

// A file that may have had a twin but could not be read.
struct UnreadFile {
    std::string path;
    std::uint64_t size = 0;
    platform::ContentStatus status = platform::ContentStatus::kFailed;
};

class DuplicateFinder {
public:
    // `listed`: the algorithm of the digests the listed files carry (every
    // file read has one), or kNone: the finder reads the files itself.
    DuplicateFinder(platform::HashAlgorithm listed, bool emptyFiles);

    // The folder of the files added next, ended by its separator.
    void Folder(std::string_view path);
    // Takes `file` when it can have a twin: a file read whole (links and
    // files that could not be read have none), not empty unless asked, with
    // a digest of the listed kind where the listing carries them. `key` is
    // the caller's own number for it.
    void Add(const ListedFile& file, std::uint64_t key = 0);

    // Threads besides the caller's that read files ahead of the comparison
    // (0, the default: the caller reads them all). `fs` must then allow
    // OpenContent from several threads at once.
    void ReadAheadOn(unsigned helpers) { helpers_ = helpers; }

    // Reads what must be read through `fs` (none needed where the digests
    // are listed), telling `host` (when given) how far it has come and of
    // each file it cannot read, and stopping with it; then groups. After a
    // stop the groups are those confirmed.
    void Find(platform::FileSystem* fs, CloseHost* host);

    const std::vector<DuplicateGroup>& Groups() const { return groups_; }
    const std::vector<UnreadFile>& Unread() const { return unread_; }
    std::string PathOf(std::size_t file) const;
    std::uint64_t KeyOf(std::size_t file) const { return files_[file].key; }
    // Whether the host's stop came before everything was compared, and
    // how far the comparison came.
    bool Stopped() const { return stopped_; }
    const CompareProgress& Progress() const { return progress_; }
    // The algorithm of the groups' hashes: the listing's, else the fast one.
    platform::HashAlgorithm Algorithm() const;

private:
    // A file that may have a twin: a few numbers, its name in one buffer
    // for all (its listed digest's bytes right after it) and its folder by
    // number.
    struct Candidate {
        std::uint64_t size = 0;
        std::uint64_t inode = 0;  // with several links: the file they share
        std::uint64_t key = 0;
        std::uint64_t name = 0;  // where its name starts in names_
        std::uint32_t nameLength = 0;
        std::uint32_t folder = 0;  // in folders_
    };
    // (file, whole digest) of the files of one size that are one file each.
    using Hashed = std::vector<std::pair<std::size_t, std::string>>;
    // The first reading of every file that shares its size, done ahead of
    // the comparison (duplicate_reading.cpp).
    class FirstLooks;

    template <typename Run>
    void ForEachSharedSize(Run run);
    void InPathOrder(std::size_t begin, std::size_t end);
    void ReadAndGroup();
    void SameSize(std::size_t begin, std::size_t end, FirstLooks* looks);
    void ListedGroups(std::size_t begin, std::size_t end);
    void ReadWhereNeeded(std::size_t begin, std::size_t end, FirstLooks& looks, Hashed& hashed);
    std::string_view ListedDigest(const Candidate& c) const;

    bool Stop();
    void Show(const std::string& path);
    void Settle(std::uint64_t size, std::uint64_t read = 0);
    void Failed(std::size_t file, platform::ContentStatus status);

    const platform::HashAlgorithm listed_;
    const std::size_t digestBytes_;  // of the listed digests; 0: none listed
    const bool emptyFiles_;
    std::vector<std::string> folders_;
    bool folderKept_ = false;  // the last folder given is the last of folders_
    std::string folder_;
    std::string names_;
    std::vector<Candidate> files_;
    std::vector<DuplicateGroup> groups_;
    std::vector<UnreadFile> unread_;
    platform::FileSystem* fs_ = nullptr;
    CloseHost* host_ = nullptr;
    unsigned helpers_ = 0;
    CompareProgress progress_;
    bool stopped_ = false;
};

// Each run [begin, end) of two or more files of one size.
template <typename Run>
void DuplicateFinder::ForEachSharedSize(Run run) {
    for (std::size_t i = 0; i < files_.size();) {
        std::size_t j = i;
        while (j < files_.size() && files_[j].size == files_[i].size) ++j;
        if (j - i > 1) run(i, j);
        i = j;
    }
}

}  // namespace tf::listing
