#include "listing/scan/listing_record.h"

#include <nlohmann/json.hpp>
#include <vector>

#include "listing/formats/record_text.h"
#include "platform/utf8.h"

namespace tf::listing {

namespace {
constexpr std::string_view kKeys[kFieldCount] = {"path",     "name",     "kind",    "type",      "size",
                                                     "created",  "modified", "skipped", "allocated", "inode",
                                                     "links",    "path_bytes", "name_bytes", "subtree_bytes",
                                                     "listed_at", "hash",   "unhashed", "hashes",
                                                     "target",   "stamp",  "target_bytes"};
}  // namespace

// The library's events, written into one record.
class RecordEvents {
    static constexpr std::size_t kNone = static_cast<std::size_t>(Field::kCount);

public:
    explicit RecordEvents(ListingRecord& record) : record_(record) {}
    bool Flat() const { return flat_; }

    bool null() { return Set(ListingRecord::Value::kOther); }
    bool boolean(bool) { return Set(ListingRecord::Value::kOther); }
    bool number_integer(std::int64_t) { return Set(ListingRecord::Value::kOther); }
    bool number_unsigned(std::uint64_t n) {
        if (current_ < kNone && depth_ == 1) {
            record_.values_[current_].type = ListingRecord::Value::kNumber;
            record_.values_[current_].number = n;
        }
        return true;
    }
    bool number_float(double, const std::string&) { return Set(ListingRecord::Value::kOther); }
    bool string(std::string& text) {
        if (current_ < kNone && depth_ == 1) {
            record_.values_[current_].type = ListingRecord::Value::kText;
            record_.values_[current_].text.swap(text);
        }
        return true;
    }
    bool binary(std::vector<std::uint8_t>&) { return Set(ListingRecord::Value::kOther); }
    bool start_object(std::size_t) { return Nest(); }
    bool end_object() { return --depth_, true; }
    bool start_array(std::size_t) { return Nest(); }
    bool end_array() { return --depth_, true; }
    bool key(std::string& name) {
        current_ = kNone;
        for (std::size_t k = 0; k < kNone; ++k) {
            if (name == kKeys[k]) {
                current_ = k;
                break;
            }
        }
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    bool Set(ListingRecord::Value::Type type) {
        if (current_ < kNone && depth_ == 1) record_.values_[current_].type = type;
        return true;
    }
    bool Nest() {
        if (++depth_ > 1) flat_ = false;  // records hold no objects or arrays
        return true;
    }

    ListingRecord& record_;
    std::size_t current_ = kNone;
    int depth_ = 0;
    bool flat_ = true;
};

bool ListingRecord::Parse(const std::string& line) {
    for (Value& v : values_) v.type = Value::kAbsent;
    RecordEvents events(*this);
    return nlohmann::json::sax_parse(line, &events, nlohmann::detail::input_format_t::json, true) && events.Flat();
}

const std::string& ListingRecord::Text(Field key) const {
    if (At(key).type != Value::kText) throw InvalidRecord{"no text \"" + std::string(kKeys[static_cast<std::size_t>(key)]) + "\""};
    return At(key).text;
}

std::uint64_t ListingRecord::Number(Field key, bool required) const {
    const Value& v = At(key);
    if (v.type == Value::kAbsent && !required) return 0;
    if (v.type != Value::kNumber) throw InvalidRecord{"no whole number \"" + std::string(kKeys[static_cast<std::size_t>(key)]) + "\""};
    return v.number;
}

platform::FileTicks ListingRecord::Time(Field key) const {
    const std::optional<platform::FileTicks> ticks = ParseIsoTime(Text(key));
    if (!ticks) throw InvalidRecord{"\"" + std::string(kKeys[static_cast<std::size_t>(key)]) + "\" is not a time"};
    return *ticks;
}

std::string ListingRecord::Bytes(Field key, Field bytesKey) const {
    if (!Has(bytesKey)) return platform::delete_Null(Text(key));
    std::optional<std::string> bytes = UnescapeBytes(Text(bytesKey));
    if (!bytes) throw InvalidRecord{"\"" + std::string(kKeys[static_cast<std::size_t>(bytesKey)]) + "\" is not escaped bytes"};
    return *bytes;
}

}  // namespace tf::listing
