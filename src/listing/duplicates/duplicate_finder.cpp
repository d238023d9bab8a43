// Collecting the candidates and grouping them; the reading that confirms
// them is in duplicate_reading.cpp.
#include "listing/duplicates/duplicate_finder.h"

#include <algorithm>
#include <numeric>
#include <tuple>
#include <unordered_set>

#include "listing/formats/record_text.h"

namespace tf::listing {
namespace {

std::string Hex(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

}  // namespace

DuplicateFinder::DuplicateFinder(platform::HashAlgorithm listed, bool emptyFiles)
    : listed_(listed), digestBytes_(platform::HashHexLength(listed) / 2), emptyFiles_(emptyFiles) {}

platform::HashAlgorithm DuplicateFinder::Algorithm() const {
    return listed_ == platform::HashAlgorithm::kNone ? platform::HashAlgorithm::kXxh128 : listed_;
}

void DuplicateFinder::Folder(std::string_view path) {
    folder_.assign(path);
    folderKept_ = false;
}

void DuplicateFinder::Add(const ListedFile& file, std::uint64_t key) {
    if (file.kind != EntryKind::kFile || file.unhashed != platform::ContentStatus::kRead) return;
    if (file.special != platform::SpecialFile::kNone) return;
    if (file.size == 0 && !emptyFiles_) return;
    const std::size_t at = names_.size();
    names_.append(file.name);
    if (digestBytes_ && !DigestBytes(file.digest, digestBytes_, names_)) {
        names_.resize(at);
        return;
    }
    if (!folderKept_) {
        folders_.push_back(folder_);
        folderKept_ = true;
    }
    Candidate c;
    c.size = file.size;
    c.inode = file.links > 1 ? file.inode : 0;
    c.key = key;
    c.name = at;
    c.nameLength = static_cast<std::uint32_t>(file.name.size());
    c.folder = static_cast<std::uint32_t>(folders_.size() - 1);
    files_.push_back(c);
}

std::string DuplicateFinder::PathOf(std::size_t file) const {
    const Candidate& c = files_[file];
    return folders_[c.folder] + names_.substr(c.name, c.nameLength);
}

std::string_view DuplicateFinder::ListedDigest(const Candidate& c) const {
    return std::string_view(names_).substr(c.name + c.nameLength, digestBytes_);
}

void DuplicateFinder::Find(platform::FileSystem* fs, CloseHost* host) {
    fs_ = fs;
    host_ = host;
    // By size, and in the order listed within one size.
    std::sort(files_.begin(), files_.end(),
              [](const Candidate& a, const Candidate& b) { return std::tie(a.size, a.name) < std::tie(b.size, b.name); });
    // A run stopped before this reads nothing more: listed digests still
    // make their groups.
    Stop();
    // What is to be read is known now: every file that shares its size.
    if (!digestBytes_) {
        ForEachSharedSize([&](std::size_t begin, std::size_t end) {
            progress_.files += end - begin;
            progress_.bytes += (end - begin) * files_[begin].size;
        });
    }
    Show(std::string());
    if (digestBytes_) {
        ForEachSharedSize([&](std::size_t begin, std::size_t end) { SameSize(begin, end, nullptr); });
    } else {
        ReadAndGroup();
    }
    Show(std::string());
    std::vector<std::string> first(groups_.size());
    for (std::size_t i = 0; i < groups_.size(); ++i) first[i] = PathOf(groups_[i].files.front());
    std::vector<std::size_t> rank(groups_.size());
    std::iota(rank.begin(), rank.end(), std::size_t{0});
    std::sort(rank.begin(), rank.end(), [&](std::size_t a, std::size_t b) {
        if (groups_[a].Wasted() != groups_[b].Wasted()) return groups_[a].Wasted() > groups_[b].Wasted();
        return first[a] < first[b];
    });
    std::vector<DuplicateGroup> sorted;
    sorted.reserve(groups_.size());
    for (const std::size_t r : rank) sorted.push_back(std::move(groups_[r]));
    groups_ = std::move(sorted);
}

void DuplicateFinder::InPathOrder(std::size_t begin, std::size_t end) {
    std::vector<std::pair<std::string, Candidate>> keyed;
    keyed.reserve(end - begin);
    for (std::size_t k = begin; k < end; ++k) keyed.emplace_back(PathOf(k), files_[k]);
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t k = begin; k < end; ++k) files_[k] = keyed[k - begin].second;
}

// Files [begin, end) all have one size.
void DuplicateFinder::SameSize(std::size_t begin, std::size_t end, FirstLooks* looks) {
    if (!looks) {
        ListedGroups(begin, end);
        return;
    }
    Hashed hashed;
    ReadWhereNeeded(begin, end, *looks, hashed);
    // By digest, each group's files staying in path order.
    std::sort(hashed.begin(), hashed.end(),
              [](const auto& a, const auto& b) { return std::tie(a.second, a.first) < std::tie(b.second, b.first); });
    for (std::size_t i = 0; i < hashed.size();) {
        std::size_t j = i;
        while (j < hashed.size() && hashed[j].second == hashed[i].second) ++j;
        if (j - i > 1) {
            DuplicateGroup g;
            g.size = files_[begin].size;
            g.hash = std::string(platform::HashName(Algorithm())) + ":" + hashed[i].second;
            for (std::size_t k = i; k < j; ++k) g.files.push_back(hashed[k].first);
            groups_.push_back(std::move(g));
        }
        i = j;
    }
}

// Files [begin, end) of one size with their listed digests: only files
// that share a digest need their paths, to put them in order and to take
// one path of several hard links (as the listing names them: it knows no
// devices).
void DuplicateFinder::ListedGroups(std::size_t begin, std::size_t end) {
    std::vector<std::size_t> order(end - begin);
    std::iota(order.begin(), order.end(), begin);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return ListedDigest(files_[a]) < ListedDigest(files_[b]);
    });
    std::vector<std::pair<std::string, std::size_t>> paths;
    std::unordered_set<std::uint64_t> inodes;
    for (std::size_t i = 0; i < order.size();) {
        const std::string_view digest = ListedDigest(files_[order[i]]);
        std::size_t j = i + 1;
        while (j < order.size() && ListedDigest(files_[order[j]]) == digest) ++j;
        if (j - i > 1) {
            paths.clear();
            for (std::size_t k = i; k < j; ++k) paths.emplace_back(PathOf(order[k]), order[k]);
            std::sort(paths.begin(), paths.end());
            DuplicateGroup g;
            g.size = files_[begin].size;
            g.hash = std::string(platform::HashName(Algorithm())) + ":" + Hex(digest);
            inodes.clear();
            for (const auto& [path, file] : paths)
                if (files_[file].inode == 0 || inodes.insert(files_[file].inode).second) g.files.push_back(file);
            if (g.files.size() > 1) groups_.push_back(std::move(g));
        }
        i = j;
    }
}

}  // namespace tf::listing
