#pragma once
// Bookkeeping of an image list whose images are found by key. The list
// itself is indexed: removing an image moves every later image down by one.
// Removals therefore come in batches, and the store says which images to
// move where so that the list stays dense and every key finds its image.
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tf::foldertree {

class KeyedImageStore {
public:
    struct Move {
        int from;
        int to;
    };
    // Apply the moves in order, then cut the list to `count` images.
    struct Compaction {
        std::vector<Move> moves;
        int count = 0;
    };

    // Appends `key` and returns its index.
    int Add(const std::string& key);
    std::optional<int> IndexOf(const std::string& key) const;
    int Count() const { return static_cast<int>(keys_.size()); }

    // Forgets these keys (unknown ones are ignored) and closes the gaps.
    Compaction Remove(const std::vector<std::string>& keys);

private:
    std::vector<std::string> keys_;  // by image index
    std::unordered_map<std::string, int> index_;
};

}  // namespace tf::foldertree
