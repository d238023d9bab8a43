#include "snapshot/snapshot_diff.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <vector>

namespace tf::snapshot {
namespace {

// Two independent 64-bit hashes: a collision of both among a few million
// paths is far less likely than a disk error.
struct PathKey {
    std::uint64_t a = 0, b = 0;
    bool operator<(const PathKey& o) const { return a != o.a ? a < o.a : b < o.b; }
    bool operator==(const PathKey& o) const { return a == o.a && b == o.b; }
};

std::uint64_t Mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

PathKey KeyOf(const std::string& text) {
    PathKey key{0xcbf29ce484222325ull, 0x9e3779b97f4a7c15ull};
    for (unsigned char c : text) {
        key.a = (key.a ^ c) * 0x100000001b3ull;
        key.b = Mix(key.b + c);
    }
    key.b = Mix(key.b ^ text.size());
    return key;
}

struct Remembered {
    PathKey key;
    std::uint64_t size;      // subtree total for folders
    std::uint64_t modified;  // the time text's digits, which sort and print back
    std::uint8_t kind;
    bool matched;
};

std::uint64_t PackTime(const std::string& text) {
    std::uint64_t packed = 0;
    for (char c : text)
        if (c >= '0' && c <= '9') packed = packed * 10 + static_cast<std::uint64_t>(c - '0');
    return packed;
}

// 20091007123456 back to 2009-10-07T12:34:56Z.
std::string UnpackTime(std::uint64_t packed) {
    std::string digits = std::to_string(packed);
    if (digits.size() < 14) digits.insert(0, 14 - digits.size(), '0');
    const std::size_t y = digits.size() - 10;  // the year takes what is left
    return digits.substr(0, y) + "-" + digits.substr(y, 2) + "-" + digits.substr(y + 2, 2) + "T" +
           digits.substr(y + 4, 2) + ":" + digits.substr(y + 6, 2) + ":" + digits.substr(y + 8, 2) + "Z";
}

std::uint8_t KindCode(const std::string& kind) { return kind == "folder" ? 1 : kind == "link" ? 2 : 0; }

// Calls `visit` for each record of a listing; false with `error` set when
// the file cannot be read or a line is not a listing record.
bool ReadListing(const std::string& path, std::string& error, const std::function<void(const ListedEntry&)>& visit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::string line;
    ListedEntry entry;
    for (std::uint64_t number = 1; std::getline(in, line); ++number) {
        if (line.empty()) continue;
        const nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
        try {
            if (record.is_discarded()) throw std::runtime_error("not JSON");
            entry.path = record.at("path").get<std::string>();
            entry.kind = record.at("kind").get<std::string>();
            entry.size = record.at("size").get<std::uint64_t>();
            entry.modified = record.at("modified").get<std::string>();
            entry.subtreeBytes = entry.kind == "folder" ? record.at("subtree_bytes").get<std::uint64_t>() : 0;
        } catch (const std::exception&) {
            error = path + ":" + std::to_string(number) + ": not a listing record";
            return false;
        }
        visit(entry);
    }
    if (in.bad()) {
        error = path + ": read error";
        return false;
    }
    return true;
}

std::uint64_t Compared(const ListedEntry& e) { return e.kind == "folder" ? e.subtreeBytes : e.size; }

}  // namespace

DiffResult DiffListings(const std::string& oldPath, const std::string& newPath, DiffSink& sink) {
    DiffResult result;
    std::vector<Remembered> table;
    auto remember = [&](const ListedEntry& e) {
        table.push_back({KeyOf(e.path), Compared(e), PackTime(e.modified), KindCode(e.kind), false});
        if (e.kind != "folder") result.oldBytes += e.size;
    };
    if (!ReadListing(oldPath, result.error, remember)) return result.ok = false, result;
    table.shrink_to_fit();
    std::stable_sort(table.begin(), table.end(),
                     [](const Remembered& x, const Remembered& y) { return x.key < y.key; });
    auto find = [&table](const PathKey& key) -> Remembered* {
        auto it = std::lower_bound(table.begin(), table.end(), key,
                                   [](const Remembered& r, const PathKey& k) { return r.key < k; });
        return it != table.end() && it->key == key ? &*it : nullptr;
    };

    ListedEntry before;
    auto compare = [&](const ListedEntry& e) {
        if (e.kind != "folder") result.newBytes += e.size;
        Remembered* old = find(KeyOf(e.path));
        // A path that changed kind is one entry removed and another added.
        if (!old || old->kind != KindCode(e.kind)) {
            result.different = true;
            sink.Added(e);
            return;
        }
        old->matched = true;
        const bool folder = e.kind == "folder";
        if (old->size == Compared(e) && (folder || old->modified == PackTime(e.modified))) return;
        result.different = true;
        before = e;
        before.modified = UnpackTime(old->modified);
        (folder ? before.subtreeBytes : before.size) = old->size;
        if (folder)
            sink.FolderResized(before, e);
        else
            sink.Changed(before, e);
    };
    if (!ReadListing(newPath, result.error, compare)) return result.ok = false, result;

    auto removed = [&](const ListedEntry& e) {
        const Remembered* old = find(KeyOf(e.path));
        if (old && old->matched) return;
        result.different = true;
        sink.Removed(e);
    };
    if (!ReadListing(oldPath, result.error, removed)) return result.ok = false, result;
    return result;
}

}  // namespace tf::snapshot
