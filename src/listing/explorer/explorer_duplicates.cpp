#include "listing/explorer/explorer_duplicates.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

namespace tf::listing {

std::vector<DuplicateGroup> FindDuplicateGroups(const std::vector<DuplicateCandidate>& candidates,
                                                std::string_view digests,
                                                const std::function<std::string(std::size_t)>& pathOf) {
    const auto digest = [&](std::size_t i) {
        return digests.substr(candidates[i].digestAt, candidates[i].digestSize);
    };
    // By size and digest: each run of equal ones is a group before hard links.
    std::vector<std::size_t> order(candidates.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (candidates[a].size != candidates[b].size) return candidates[a].size < candidates[b].size;
        return digest(a) < digest(b);
    });
    std::vector<DuplicateGroup> groups;
    std::vector<std::string> firstPaths;
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i + 1;
        while (j < order.size() && candidates[order[j]].size == candidates[order[i]].size &&
               digest(order[j]) == digest(order[i]))
            ++j;
        if (j - i > 1) {
            std::vector<std::pair<std::string, std::size_t>> paths;
            for (std::size_t k = i; k < j; ++k) paths.emplace_back(pathOf(order[k]), order[k]);
            std::sort(paths.begin(), paths.end());
            DuplicateGroup g;
            g.size = candidates[order[i]].size;
            std::unordered_set<std::uint64_t> inodes;
            for (const auto& [path, c] : paths) {
                const std::uint64_t inode = candidates[c].inode;
                if (inode == 0 || inodes.insert(inode).second) g.files.push_back(c);
            }
            if (g.files.size() > 1) {
                firstPaths.push_back(paths.front().first);
                groups.push_back(std::move(g));
            }
        }
        i = j;
    }
    std::vector<std::size_t> rank(groups.size());
    std::iota(rank.begin(), rank.end(), std::size_t{0});
    std::sort(rank.begin(), rank.end(), [&](std::size_t a, std::size_t b) {
        if (groups[a].Wasted() != groups[b].Wasted()) return groups[a].Wasted() > groups[b].Wasted();
        return firstPaths[a] < firstPaths[b];
    });
    std::vector<DuplicateGroup> sorted;
    sorted.reserve(groups.size());
    for (const std::size_t r : rank) sorted.push_back(std::move(groups[r]));
    return sorted;
}

}  // namespace tf::listing
