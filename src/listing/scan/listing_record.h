#pragma once
// One record of a saved JSON Lines listing, as the replay and the
// comparison read it: the fields they know, filled by the JSON library's
// event interface, so no document is built for each of millions of lines.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tf::listing {

// Thrown while a listing is read when a record is not what a listing holds;
// the reader turns it into "FILE:LINE: reason".
struct InvalidRecord {
    std::string reason;
};

enum class Field {
    kPath, kName, kKind, kType, kSize, kCreated, kModified, kSkipped, kAllocated, kInode, kLinks,
    kPathBytes, kNameBytes, kSubtreeBytes, kListedAt, kHash, kUnhashed, kHashes, kTarget, kStamp,
    kTargetBytes, kCount
};
inline constexpr std::size_t kFieldCount = static_cast<std::size_t>(Field::kCount);

class ListingRecord {
public:
    // False when the line is not one flat JSON object.
    bool Parse(const std::string& line);
    bool Has(Field key) const { return At(key).type != Value::kAbsent; }
    // These throw InvalidRecord when the field is missing or of another type.
    const std::string& Text(Field key) const;
    std::uint64_t Number(Field key, bool required = true) const;
    platform::FileTicks Time(Field key) const;
    // A path or name as it was: its exact bytes where the text could not
    // hold them.
    std::string Bytes(Field key, Field bytesKey) const;

private:
    friend class RecordEvents;
    struct Value {
        enum Type { kAbsent, kText, kNumber, kOther } type = kAbsent;
        std::string text;
        std::uint64_t number = 0;
    };
    const Value& At(Field key) const { return values_[static_cast<std::size_t>(key)]; }
    std::array<Value, kFieldCount> values_;
};

}  // namespace tf::listing
