#include "foldertree/default_icon.h"

#include <cstdint>
#include <vector>

namespace tf::foldertree {
namespace {

constexpr std::string_view kSystemFolder = "C:\\Windows\\System32\\";

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// A signed decimal that fits 32 bits; anything else is malformed.
std::optional<int> ParseIndex(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 0x80000000LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > 0x7FFFFFFFLL) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

std::optional<IconSource> ClsidDefaultIcon(std::string_view value, DefaultIconForm form,
                                           const EnvironmentLookup& environment) {
    value = value.substr(0, value.find('\0'));
    const std::vector<std::string_view> parts = Split(value, ',');
    if (parts.size() < 2) return std::nullopt;
    const std::optional<int> index = ParseIndex(parts[1]);
    if (!index) return std::nullopt;

    const std::vector<std::string_view> components = Split(parts[0], '\\');
    IconSource source;
    source.kind = IconSource::Kind::kModule;
    source.index = *index;
    if (form == DefaultIconForm::kEnvironment) {
        const std::string_view reference = components[0];
        if (reference.size() < 3 || reference.front() != '%' || reference.back() != '%') return std::nullopt;
        const std::optional<std::string> root = environment(std::string(reference.substr(1, reference.size() - 2)));
        if (!root || root->empty()) return std::nullopt;
        source.file = *root;
        for (std::size_t i = 1; i < components.size(); ++i) {
            source.file += '\\';
            source.file += components[i];
        }
    } else {
        if (components.size() < 3 || components[2].empty()) return std::nullopt;
        source.file = std::string(kSystemFolder) + std::string(components[2]);
    }
    return source;
}

std::optional<IconSource> DefaultIconAsWritten(std::string_view value) {
    value = value.substr(0, value.find('\0'));
    const std::vector<std::string_view> parts = Split(value, ',');
    if (parts.size() < 2 || Trim(parts[0]).empty()) return std::nullopt;
    const std::optional<int> index = ParseIndex(parts[1]);
    if (!index) return std::nullopt;
    IconSource source;
    source.kind = IconSource::Kind::kModule;
    source.file = std::string(Trim(parts[0]));
    source.index = *index;
    return source;
}

std::string DefaultIconKeyName(std::string_view classIdKey) {
    // "::{...}" -> "CLSID\{...}\DefaultIcon"
    std::string_view id = classIdKey;
    if (id.substr(0, 2) == "::") id.remove_prefix(2);
    return "CLSID\\" + std::string(id) + "\\DefaultIcon";
}

}  // namespace tf::foldertree
