#include "foldertree/keyed_image_store.h"

#include <algorithm>

namespace tf::foldertree {

int KeyedImageStore::Add(const std::string& key) {
    const int index = Count();
    keys_.push_back(key);
    index_[key] = index;
    return index;
}

std::optional<int> KeyedImageStore::IndexOf(const std::string& key) const {
    auto it = index_.find(key);
    if (it == index_.end()) return std::nullopt;
    return it->second;
}

KeyedImageStore::Compaction KeyedImageStore::Remove(const std::vector<std::string>& keys) {
    std::vector<bool> removed(keys_.size(), false);
    int firstGap = Count();
    for (const std::string& key : keys) {
        auto it = index_.find(key);
        if (it == index_.end()) continue;
        removed[it->second] = true;
        firstGap = std::min(firstGap, it->second);
        index_.erase(it);
    }

    Compaction result;
    int write = firstGap;
    for (int read = firstGap; read < Count(); ++read) {
        if (removed[read]) continue;
        result.moves.push_back({read, write});
        index_[keys_[read]] = write;
        keys_[write] = std::move(keys_[read]);
        ++write;
    }
    keys_.resize(write);
    result.count = write;
    return result;
}

}  // namespace tf::foldertree
