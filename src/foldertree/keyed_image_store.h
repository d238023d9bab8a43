#pragma once
// Bookkeeping of an image list whose images are found by key. Keys whose
// pictures are identical share one image (a folder of thousands of plain
// folders needs one folder picture, not thousands). The list itself is
// indexed: removing an image moves every later image down by one, so
// removals come in batches and the store says which images to move where,
// keeping the list dense and every key pointing at its picture.
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tf::foldertree {

class KeyedImageStore {
public:
    struct Placement {
        int index;
        bool added;  // a new image: the caller appends the picture at `index`
    };
    struct Move {
        int from;
        int to;
    };
    // Apply the moves in order, then cut the list to `count` images.
    struct Compaction {
        std::vector<Move> moves;
        int count = 0;
    };

    // Files `key` under the image showing `picture` (any bytes that are equal
    // exactly when the pictures are); a key already filed is re-filed.
    Placement Add(const std::string& key, const std::string& picture);
    std::optional<int> IndexOf(const std::string& key) const;
    // Images in the list, and keys filed.
    int Count() const { return static_cast<int>(slotAt_.size()); }
    int KeyCount() const { return static_cast<int>(byKey_.size()); }

    // Forgets these keys (unknown ones are ignored); images no key uses any
    // more are removed and the gaps closed.
    Compaction Remove(const std::vector<std::string>& keys);

private:
    using SlotId = int;
    struct Slot {
        std::string picture;
        int users = 0;
        int index = -1;
    };
    // Drops one user of the slot; true when it has none left.
    bool Release(SlotId id);

    std::vector<Slot> slots_;  // by id; ids are stable while images move
    std::vector<SlotId> freeIds_;
    std::vector<SlotId> slotAt_;  // by image index
    std::unordered_map<std::string, SlotId> byPicture_;
    std::unordered_map<std::string, SlotId> byKey_;
};

}  // namespace tf::foldertree
