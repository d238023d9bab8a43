#include "foldertree/keyed_image_store.h"

#include <algorithm>

namespace tf::foldertree {

KeyedImageStore::Placement KeyedImageStore::Add(const std::string& key, const std::string& picture) {
    auto known = byKey_.find(key);
    if (known != byKey_.end()) {
        // Re-filing: an image left without users stays until the next
        // removal batch, which closes its gap.
        --slots_[known->second].users;
        byKey_.erase(known);
    }
    auto shared = byPicture_.find(picture);
    if (shared != byPicture_.end()) {
        Slot& slot = slots_[shared->second];
        ++slot.users;
        byKey_[key] = shared->second;
        return {slot.index, false};
    }
    SlotId id;
    if (!freeIds_.empty()) {
        id = freeIds_.back();
        freeIds_.pop_back();
    } else {
        id = static_cast<SlotId>(slots_.size());
        slots_.emplace_back();
    }
    Slot& slot = slots_[id];
    slot.picture = picture;
    slot.users = 1;
    slot.index = Count();
    slotAt_.push_back(id);
    byPicture_[picture] = id;
    byKey_[key] = id;
    return {slot.index, true};
}

std::optional<int> KeyedImageStore::IndexOf(const std::string& key) const {
    auto it = byKey_.find(key);
    if (it == byKey_.end()) return std::nullopt;
    return slots_[it->second].index;
}

bool KeyedImageStore::Release(SlotId id) { return --slots_[id].users <= 0; }

KeyedImageStore::Compaction KeyedImageStore::Remove(const std::vector<std::string>& keys) {
    for (const std::string& key : keys) {
        auto it = byKey_.find(key);
        if (it == byKey_.end()) continue;
        Release(it->second);
        byKey_.erase(it);
    }

    Compaction result;
    int write = 0;
    for (int read = 0; read < Count(); ++read) {
        const SlotId id = slotAt_[read];
        Slot& slot = slots_[id];
        if (slot.users <= 0) {
            byPicture_.erase(slot.picture);
            slot = Slot{};
            freeIds_.push_back(id);
            continue;
        }
        if (read != write) {
            result.moves.push_back({read, write});
            slot.index = write;
            slotAt_[write] = id;
        }
        ++write;
    }
    slotAt_.resize(write);
    result.count = write;
    return result;
}

}  // namespace tf::foldertree
