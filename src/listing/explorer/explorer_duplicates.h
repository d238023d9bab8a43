#pragma once
// Groups of files with the same content, by the rules of the duplicates
// report (`--duplicates`): the same size and the same whole-file hash,
// empty files left out by the caller; hard links of one file are one file,
// the first of their paths standing for all. A group's files are in path
// order (bytes), the groups by the bytes they waste (size × (count − 1)),
// most first, then by their first path.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tf::listing {

struct DuplicateCandidate {
    std::uint64_t size = 0;
    std::uint64_t inode = 0;   // with several links: the file they share, else 0
    std::uint64_t entry = 0;   // the caller's number for it
    std::uint32_t folder = 0;  // the caller's numbers for its folder and name
    std::uint32_t nameSize = 0;
    std::size_t nameAt = 0;
    std::size_t digestAt = 0;  // its digest's bytes, in the caller's digests
    std::uint32_t digestSize = 0;
};

struct DuplicateGroup {
    std::uint64_t size = 0;
    std::vector<std::size_t> files;  // candidates, in path order
    std::uint64_t Wasted() const { return size * (files.size() - 1); }
};

// `digests` holds the candidates' digests; `pathOf` gives a candidate's path.
std::vector<DuplicateGroup> FindDuplicateGroups(const std::vector<DuplicateCandidate>& candidates,
                                                std::string_view digests,
                                                const std::function<std::string(std::size_t)>& pathOf);

}  // namespace tf::listing
