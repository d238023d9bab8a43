#include "skin/interception/message_table.h"

namespace tf::skin {

MessageTable::AddResult MessageTable::Add(std::uint32_t message) {
    if (message == ALL_MESSAGES) {
        count_ = -1;
        return AddResult::kAdded;
    }
    if (count_ < 0) count_ = 0;
    // Look for the message in every slot before reusing a freed one, so that
    // one Delete always removes it; a full table still takes a message into
    // a freed slot.
    int freed = -1;
    for (int i = 0; i < count_; ++i) {
        const std::uint32_t entry = slots_[static_cast<std::size_t>(i)];
        if (entry == message) return AddResult::kAlreadyThere;
        if (entry == 0 && freed < 0) freed = i;
    }
    if (freed >= 0) {
        slots_[static_cast<std::size_t>(freed)] = message;
        return AddResult::kAdded;
    }
    if (count_ >= MSG_ENTRIES) return AddResult::kOverflow;
    slots_[static_cast<std::size_t>(count_++)] = message;
    return AddResult::kAdded;
}

bool MessageTable::Delete(std::uint32_t message) {
    if (message == ALL_MESSAGES) {
        count_ = 0;
        return true;
    }
    for (int i = 0; i < count_; ++i) {
        std::uint32_t& entry = slots_[static_cast<std::size_t>(i)];
        if (entry == message) {
            entry = 0;
            return true;
        }
    }
    return false;
}

bool MessageTable::Contains(std::uint32_t message) const {
    if (count_ < 0) return true;
    // A freed slot holds 0, which must not make WM_NULL a registered message.
    if (message == 0) return false;
    for (int i = 0; i < count_; ++i)
        if (slots_[static_cast<std::size_t>(i)] == message) return true;
    return false;
}

std::string HexText(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

}  // namespace tf::skin
