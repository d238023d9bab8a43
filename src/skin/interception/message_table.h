#pragma once
// The message tables of the interception layer: for each intercepted window
// one table of messages its handler sees before the window's own procedure
// and one of messages it sees after it. Portable: plain numbers.
#include <array>
#include <cstdint>
#include <string>

namespace tf::skin {

inline constexpr int MSG_ENTRIES = 32;
// As a message number: every message. As a table count: the table holds
// every message.
inline constexpr std::uint32_t ALL_MESSAGES = 0xFFFFFFFFu;

class MessageTable {
public:
    enum class AddResult { kAdded, kAlreadyThere, kOverflow };

    // ALL_MESSAGES makes this a table of every message. A specific message
    // takes the first freed slot, else the next one; a table of every
    // message becomes a table of that one message.
    AddResult Add(std::uint32_t message);
    // ALL_MESSAGES empties the table. A specific message frees its slot
    // (the count stays, so the slot is reused by the next Add). False when
    // the message is not in the table.
    bool Delete(std::uint32_t message);
    void Clear() { count_ = 0; }
    bool Contains(std::uint32_t message) const;

    // -1 for every message, else the slots in use or freed.
    int count() const { return count_; }
    std::uint32_t slot(int index) const { return slots_[static_cast<std::size_t>(index)]; }

private:
    int count_ = 0;
    std::array<std::uint32_t, MSG_ENTRIES> slots_{};  // 0 marks a freed slot
};

// "&H" notation: upper-case hexadecimal without leading zeros.
std::string HexText(std::uint32_t value);

}  // namespace tf::skin
