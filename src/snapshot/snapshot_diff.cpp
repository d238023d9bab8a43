#include "snapshot/snapshot_diff.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <tuple>
#include <unordered_map>

#include "listing/scan/listing_record.h"
#include "listing/scan/listing_replay.h"

namespace tf::snapshot {
namespace {

using listing::Field;
using listing::InvalidRecord;

// Two independent 64-bit hashes: a collision of both among a few million
// paths is far less likely than a disk error.
struct Key {
    std::uint64_t a = 0, b = 0;
    bool operator<(const Key& o) const { return a != o.a ? a < o.a : b < o.b; }
    bool operator==(const Key& o) const { return a == o.a && b == o.b; }
    Key& operator+=(const Key& o) {
        a += o.a;
        b += o.b;
        return *this;
    }
};
struct KeyHash {
    std::size_t operator()(const Key& k) const { return static_cast<std::size_t>(k.a ^ (k.b << 1)); }
};

std::uint64_t Mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

std::uint64_t Rotate(std::uint64_t x, int by) { return (x << by) | (x >> (64 - by)); }

// Eight bytes a step, two lanes of different multipliers and rotations.
Key KeyOf(std::string_view text, std::uint64_t seed = 0) {
    Key key{0xcbf29ce484222325ull ^ seed, 0x9e3779b97f4a7c15ull + seed};
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, 8);
        key.a = Rotate((key.a ^ word) * 0x87c37b91114253d5ull, 31);
        key.b = Rotate((key.b + word) * 0x4cf5ad432745937full, 27) ^ key.a;
    }
    std::uint64_t last = text.size() - at;  // the tail, and the length through it
    for (std::size_t i = 0; at + i < text.size(); ++i)
        last |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[at + i])) << (8 * (i + 1));
    key.a = Mix(key.a ^ last ^ (static_cast<std::uint64_t>(text.size()) << 56));
    key.b = Mix(key.b + Mix(last + text.size()));
    return key;
}

// What one entry adds to its folder's content: its name there, its kind,
// and its size and time (a folder: its own content instead).
Key ContentOf(std::string_view name, EntryKind kind, std::uint64_t size, platform::FileTicks modified,
              const Key& inside) {
    Key k = KeyOf(name, static_cast<std::uint64_t>(kind) + 1);
    if (kind == EntryKind::kFolder) {
        k.a = Mix(k.a ^ inside.a);
        k.b = Mix(k.b ^ inside.b);
    } else {
        k.a = Mix(k.a ^ Mix(size + 0x51));
        k.b = Mix(k.b ^ Mix(modified + 0x77));
    }
    return k;
}

// One record of a listing as the comparison sees it.
struct Entry {
    std::string path;  // relative, in the listing's separator
    std::string key;   // relative, '/' between names, for matching across platforms
    EntryKind kind = EntryKind::kFile;
    std::uint64_t size = 0;  // a folder's subtree bytes
    platform::FileTicks modified = 0;
    // The content hash, cut to 32 bits (never 0), when both listings carry
    // one of the same kind; 0 otherwise. A changed file goes unseen once in
    // four billion, and the old listing's table stays 48 bytes an entry.
    // A link's is its target's text, where the listing records it.
    std::uint32_t digest = 0;
    // Folders: what is inside, and how many files and links and entries.
    Key content;
    std::uint64_t files = 0, entries = 0;
};

std::string_view ParentKey(std::string_view key) {
    const std::size_t cut = key.rfind('/');
    return cut == std::string_view::npos ? std::string_view() : key.substr(0, cut);
}
std::string_view NameOf(std::string_view key) {
    const std::size_t cut = key.rfind('/');
    return cut == std::string_view::npos ? key : key.substr(cut + 1);
}

// Reads a listing from its first record to its source's, relative to the
// source, and gives each folder what is inside it (records come after
// everything below them, so only the open folders' sums are held).
class ListingReader {
public:
    explicit ListingReader(std::string path) : path_(std::move(path)) {}

    bool Start(std::string& error) {
        listing::ReplayResult result;
        if (!listing::ListingSource(path_, result, separator_)) {
            error = path_ + ":" + std::to_string(result.line) + ": not a valid listing: " + result.reason;
            return false;
        }
        source_ = result.source;
        hash_ = result.hash;
        return true;
    }
    platform::HashAlgorithm Hash() const { return hash_; }
    // Whether entries carry their content hash.
    void UseHashes(bool use) { useHashes_ = use; }
    const std::string& Source() const { return source_; }
    char Separator() const { return separator_; }

    // Every record, with where its line starts and what lies in each folder.
    bool Read(std::string& error, const std::function<void(const Entry&, std::uint64_t at)>& visit) {
        std::ifstream in(path_, std::ios::binary);
        if (!in) {
            error = path_ + ": cannot be read";
            return false;
        }
        sums_.clear();
        std::string line;
        std::uint64_t number = 0, at = 0;
        listing::ListingRecord record;
        Entry entry;
        try {
            while (std::getline(in, line)) {
                ++number;
                if (!record.Parse(line)) throw InvalidRecord{"not a JSON record"};
                Fill(record, entry);
                Sums(entry);
                visit(entry, at);
                at += line.size() + 1;
            }
            if (in.bad()) throw InvalidRecord{"read error"};
        } catch (const InvalidRecord& e) {
            error = path_ + ":" + std::to_string(number) + ": not a valid listing: " + e.reason;
            return false;
        }
        return true;
    }

    // The records whose lines start at `starts` (as Read gave them), read
    // again; nothing is known of what lies in their folders.
    bool ReadAt(std::vector<std::uint64_t> starts, std::string& error,
                const std::function<void(const Entry&)>& visit) {
        std::sort(starts.begin(), starts.end());
        std::ifstream in(path_, std::ios::binary);
        std::string line;
        listing::ListingRecord record;
        Entry entry;
        for (std::uint64_t at : starts) {
            // The file was read through once: a line now missing or changed
            // means it changed under us.
            try {
                if (!in.seekg(static_cast<std::streamoff>(at)) || !std::getline(in, line) || !record.Parse(line))
                    throw InvalidRecord{"the listing changed while it was read"};
                Fill(record, entry);
            } catch (const InvalidRecord& e) {
                error = path_ + ": not a valid listing: " + e.reason;
                return false;
            }
            visit(entry);
        }
        return true;
    }

private:
    struct Sum {
        Key content;
        std::uint64_t files = 0, entries = 0;
    };

    void Fill(const listing::ListingRecord& record, Entry& entry) {
        const std::string path = record.Bytes(Field::kPath, Field::kPathBytes);
        const std::string& kind = record.Text(Field::kKind);
        entry.kind = kind == "folder" ? EntryKind::kFolder
                     : kind == "file" ? EntryKind::kFile
                     : kind == "link" ? EntryKind::kLink
                                      : throw InvalidRecord{"unknown kind \"" + kind + "\""};
        entry.modified = record.Time(Field::kModified);
        if (path == source_) {
            entry.path.clear();
            if (entry.kind != EntryKind::kFolder) throw InvalidRecord{"the source is not a folder"};
        } else {
            const bool rootEndsInSeparator = !source_.empty() && source_.back() == separator_;
            const std::size_t cut = source_.size() + (rootEndsInSeparator ? 0 : 1);
            if (path.size() <= cut || path.compare(0, source_.size(), source_) != 0 ||
                (!rootEndsInSeparator && path[source_.size()] != separator_))
                throw InvalidRecord{path + " lies outside the listing's source " + source_};
            entry.path.assign(path, cut, std::string::npos);
        }
        entry.key = entry.path;
        if (separator_ == '\\') std::replace(entry.key.begin(), entry.key.end(), '\\', '/');

        entry.size = record.Number(entry.kind == EntryKind::kFolder ? Field::kSubtreeBytes : Field::kSize);
        const Field digestOf = entry.kind == EntryKind::kLink ? Field::kTarget : Field::kHash;
        entry.digest = (useHashes_ || entry.kind == EntryKind::kLink) && record.Has(digestOf)
                           ? static_cast<std::uint32_t>(KeyOf(record.Text(digestOf)).a) | 1
                           : 0;
        entry.content = Key{};
        entry.files = entry.entries = 0;
    }

    void Sums(Entry& entry) {
        if (entry.kind == EntryKind::kFolder) {
            const auto open = sums_.find(KeyOf(entry.key));
            const Sum sum = open == sums_.end() ? Sum{} : open->second;
            if (open != sums_.end()) sums_.erase(open);
            entry.content = sum.content;
            entry.files = sum.files;
            entry.entries = sum.entries;
        }
        if (entry.path.empty()) return;
        Sum& parent = sums_[KeyOf(ParentKey(entry.key))];
        parent.content += ContentOf(NameOf(entry.key), entry.kind, entry.size, entry.modified, entry.content);
        parent.files += entry.kind == EntryKind::kFolder ? entry.files : 1;
        parent.entries += 1 + entry.entries;
    }

    std::string path_;
    std::string source_;
    char separator_ = '/';
    platform::HashAlgorithm hash_ = platform::HashAlgorithm::kNone;
    bool useHashes_ = false;
    std::unordered_map<Key, Sum, KeyHash> sums_;
};

// What is kept of each entry of the old listing.
struct Remembered {
    Key key;
    std::uint64_t size;
    platform::FileTicks modified;
    std::uint64_t at;  // where its line starts, to read it again if it was removed
    std::uint32_t digest;
    EntryKind kind;
    bool matched;  // in the new listing with the same kind
};
static_assert(sizeof(Remembered) <= 48, "the old listing's table grows with every entry");

// What lies in a folder of the old listing, kept for those that are gone.
struct Inside {
    Key content;
    std::uint64_t files = 0, entries = 0;
};

// An entry on one side only, kept until moves are matched.
struct OneSided {
    Entry entry;
    bool top = false;       // its folder is in both listings
    bool consumed = false;  // inside a folder that moved, or moved itself
};

bool IsInside(std::string_view key, std::string_view folder) {
    return key.size() > folder.size() && key.compare(0, folder.size(), folder) == 0 && key[folder.size()] == '/';
}

// Marks what lies inside `folder` as part of its move.
void ConsumeInside(std::vector<OneSided>& side, const std::string& folder) {
    // Sorted by key: what lies inside is one run, from "folder/" on.
    const std::string start = folder + '/';
    auto it = std::lower_bound(side.begin(), side.end(), start,
                               [](const OneSided& o, const std::string& k) { return o.entry.key < k; });
    for (; it != side.end() && IsInside(it->entry.key, folder); ++it) it->consumed = true;
}

}  // namespace

DiffResult DiffListings(const std::string& oldPath, const std::string& newPath) {
    DiffResult result;
    ListingReader before(oldPath), after(newPath);
    if (!before.Start(result.error) || !after.Start(result.error)) return result.ok = false, result;
    result.oldSource = before.Source();
    result.newSource = after.Source();
    result.oldSeparator = before.Separator();
    result.newSeparator = after.Separator();
    const bool hashes = before.Hash() != platform::HashAlgorithm::kNone && before.Hash() == after.Hash();
    if (!hashes && before.Hash() != after.Hash()) {
        const auto carries = [](platform::HashAlgorithm h) {
            return h == platform::HashAlgorithm::kNone ? std::string("no hashes")
                                                       : std::string(platform::HashName(h)) + " hashes";
        };
        result.contentNotCompared = "the old listing carries " + carries(before.Hash()) + ", the new one " +
                                    carries(after.Hash());
    }
    before.UseHashes(hashes);
    after.UseHashes(hashes);

    std::vector<Remembered> table;
    std::unordered_map<Key, Inside, KeyHash> oldFolders;
    auto remember = [&](const Entry& e, std::uint64_t at) {
        const Key key = KeyOf(e.key);
        table.push_back({key, e.size, e.modified, at, e.digest, e.kind, false});
        if (e.kind == EntryKind::kFolder) oldFolders[key] = {e.content, e.files, e.entries};
        if (e.kind != EntryKind::kFolder) result.oldTotal.count++, result.oldTotal.bytes += e.size;
    };
    if (!before.Read(result.error, remember)) return result.ok = false, result;
    table.shrink_to_fit();
    std::stable_sort(table.begin(), table.end(), [](const Remembered& x, const Remembered& y) { return x.key < y.key; });
    auto find = [&table](const Key& key) -> Remembered* {
        auto it = std::lower_bound(table.begin(), table.end(), key,
                                   [](const Remembered& r, const Key& k) { return r.key < k; });
        return it != table.end() && it->key == key ? &*it : nullptr;
    };
    auto folderInBoth = [&](std::string_view key) {
        const Remembered* r = find(KeyOf(key));
        return r && r->kind == EntryKind::kFolder && r->matched;
    };

    std::vector<OneSided> added, removed;
    auto compare = [&](const Entry& e, std::uint64_t) {
        if (e.kind != EntryKind::kFolder) result.newTotal.count++, result.newTotal.bytes += e.size;
        Remembered* old = find(KeyOf(e.key));
        // A path that changed kind is one entry removed and another added.
        if (!old || old->kind != e.kind) {
            added.push_back({e});
            return;
        }
        old->matched = true;
        const bool folder = e.kind == EntryKind::kFolder;
        // A link's target counts as its size does: another target is a change.
        const bool retargeted = e.kind == EntryKind::kLink && old->digest && e.digest && old->digest != e.digest;
        const bool same = old->size == e.size && (folder || old->modified == e.modified) && !retargeted;
        if (same && (folder || old->digest == 0 || e.digest == 0 || old->digest == e.digest)) return;
        DiffItem item;
        item.change = folder ? Change::kFolderResized : same ? Change::kContentChanged : Change::kChanged;
        item.kind = e.kind;
        item.path = e.path;
        item.oldSize = old->size;
        item.newSize = e.size;
        item.oldModified = old->modified;
        item.newModified = e.modified;
        result.items.push_back(std::move(item));
    };
    if (!after.Read(result.error, compare)) return result.ok = false, result;
    // Only the lines of what was removed are read again.
    std::vector<std::uint64_t> gone;
    for (const Remembered& r : table)
        if (!r.matched) gone.push_back(r.at);
    auto unmatched = [&](const Entry& e) {
        removed.push_back({e});
        if (e.kind != EntryKind::kFolder) return;
        const auto facts = oldFolders.find(KeyOf(e.key));
        if (facts == oldFolders.end()) return;
        removed.back().entry.content = facts->second.content;
        removed.back().entry.files = facts->second.files;
        removed.back().entry.entries = facts->second.entries;
    };
    if (!before.ReadAt(std::move(gone), result.error, unmatched)) return result.ok = false, result;
    // Parents are known in both listings only now.
    for (auto* side : {&added, &removed})
        for (OneSided& o : *side) o.top = folderInBoth(ParentKey(o.entry.key));

    auto byKey = [](const OneSided& x, const OneSided& y) { return x.entry.key < y.entry.key; };
    std::sort(added.begin(), added.end(), byKey);
    std::sort(removed.begin(), removed.end(), byKey);

    // Whole folders first, the largest first, so a folder inside one that
    // moved is part of that move.
    std::vector<std::size_t> newFolders;
    for (std::size_t i = 0; i < added.size(); ++i)
        if (added[i].entry.kind == EntryKind::kFolder && added[i].entry.entries > 0) newFolders.push_back(i);
    std::stable_sort(newFolders.begin(), newFolders.end(),
                     [&](std::size_t x, std::size_t y) { return added[x].entry.size > added[y].entry.size; });
    std::multimap<std::pair<std::uint64_t, std::uint64_t>, std::size_t> goneFolders;
    for (std::size_t i = 0; i < removed.size(); ++i) {
        const Entry& e = removed[i].entry;
        if (e.kind == EntryKind::kFolder && e.entries > 0) goneFolders.emplace(std::make_pair(e.content.a, e.content.b), i);
    }
    for (std::size_t i : newFolders) {
        OneSided& to = added[i];
        if (to.consumed) continue;
        auto [first, last] = goneFolders.equal_range({to.entry.content.a, to.entry.content.b});
        auto match = std::find_if(first, last, [&](const auto& m) { return !removed[m.second].consumed; });
        if (match == last) continue;
        OneSided& from = removed[match->second];
        to.consumed = from.consumed = true;
        ConsumeInside(added, to.entry.key);
        ConsumeInside(removed, from.entry.key);
        DiffItem item;
        item.change = Change::kMoved;
        item.kind = EntryKind::kFolder;
        item.path = to.entry.path;
        item.from = from.entry.path;
        item.oldSize = from.entry.size;
        item.newSize = to.entry.size;
        item.files = to.entry.files;
        result.items.push_back(std::move(item));
        ++result.foldersMoved;
    }

    // Then files and links with the same name, size and time, each removed
    // one taken once, in the order of their paths.
    // With hashes, a move has the same content too.
    using FileKey = std::tuple<std::string_view, std::uint64_t, platform::FileTicks, EntryKind, std::uint32_t>;
    std::multimap<FileKey, std::size_t> goneFiles;
    for (std::size_t i = 0; i < removed.size(); ++i) {
        const Entry& e = removed[i].entry;
        if (!removed[i].consumed && e.kind != EntryKind::kFolder)
            goneFiles.emplace(FileKey{NameOf(e.key), e.size, e.modified, e.kind, e.digest}, i);
    }
    for (OneSided& to : added) {
        const Entry& e = to.entry;
        if (to.consumed || e.kind == EntryKind::kFolder) continue;
        auto it = goneFiles.find(FileKey{NameOf(e.key), e.size, e.modified, e.kind, e.digest});
        if (it == goneFiles.end()) continue;
        OneSided& from = removed[it->second];
        goneFiles.erase(it);
        to.consumed = from.consumed = true;
        DiffItem item;
        item.change = Change::kMoved;
        item.kind = e.kind;
        item.path = e.path;
        item.from = from.entry.path;
        item.oldSize = item.newSize = e.size;
        item.oldModified = item.newModified = e.modified;
        result.items.push_back(std::move(item));
        result.moved.count++;
        result.moved.bytes += e.size;
    }

    // What is left is added or removed: one item for each outermost entry.
    for (const auto& [side, change] : {std::pair{&added, Change::kAdded}, std::pair{&removed, Change::kRemoved}}) {
        Tally& tally = change == Change::kAdded ? result.added : result.removed;
        std::uint64_t& folders = change == Change::kAdded ? result.foldersAdded : result.foldersRemoved;
        for (const OneSided& o : *side) {
            if (o.consumed) continue;
            const Entry& e = o.entry;
            if (e.kind != EntryKind::kFolder) tally.count++, tally.bytes += e.size;
            if (!o.top) continue;
            if (e.kind == EntryKind::kFolder) ++folders;
            DiffItem item;
            item.change = change;
            item.kind = e.kind;
            item.path = e.path;
            (change == Change::kAdded ? item.newSize : item.oldSize) = e.size;
            (change == Change::kAdded ? item.newModified : item.oldModified) = e.modified;
            item.files = e.files;
            result.items.push_back(std::move(item));
        }
    }
    for (const DiffItem& item : result.items) {
        if (item.change == Change::kContentChanged) {
            result.contentChanged.count++;
            result.contentChanged.bytes += item.newSize;
        }
        if (item.change != Change::kChanged) continue;
        result.changed.count++;
        result.changed.bytes += item.newSize;
        result.changedGrowth += static_cast<std::int64_t>(item.newSize - item.oldSize);
    }

    // Paths in one order whatever each listing's separator.
    auto keyOf = [&](const DiffItem& item) {
        std::string key = item.path;
        const char separator = item.change == Change::kRemoved ? result.oldSeparator : result.newSeparator;
        if (separator == '\\') std::replace(key.begin(), key.end(), '\\', '/');
        return key;
    };
    std::vector<std::pair<std::string, std::size_t>> order;
    order.reserve(result.items.size());
    for (std::size_t i = 0; i < result.items.size(); ++i) order.emplace_back(keyOf(result.items[i]), i);
    std::sort(order.begin(), order.end(), [&](const auto& x, const auto& y) {
        if (x.first != y.first) return x.first < y.first;
        return result.items[x.second].change < result.items[y.second].change;
    });
    std::vector<DiffItem> sorted;
    sorted.reserve(order.size());
    for (const auto& o : order) sorted.push_back(std::move(result.items[o.second]));
    result.items = std::move(sorted);
    return result;
}

}  // namespace tf::snapshot
