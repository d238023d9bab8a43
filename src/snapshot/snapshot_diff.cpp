#include "snapshot/snapshot_diff.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <tuple>
#include <unordered_map>

#include "listing/listing_sink.h"
#include "listing/scan/listing_record.h"
#include "listing/scan/listing_replay.h"

namespace tf::snapshot {
namespace {

using listing::Field;
using listing::InvalidRecord;
using listing::SkipReason;
using platform::ContentStatus;

// Two independent 64-bit hashes: a collision of both among a few million
// paths is far less likely than a disk error.
struct Key {
    std::uint64_t a = 0, b = 0;
    bool operator<(const Key& o) const { return a != o.a ? a < o.a : b < o.b; }
    bool operator==(const Key& o) const { return a == o.a && b == o.b; }
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
Key KeyOf(std::string_view text) {
    Key key{0xcbf29ce484222325ull, 0x9e3779b97f4a7c15ull};
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

// The content hash, cut to 32 bits (never 0); 0 for none. A changed file
// goes unseen once in four billion, and the old listing's table stays 48
// bytes an entry.
std::uint32_t DigestOf(std::string_view hex) {
    return hex.empty() ? 0 : static_cast<std::uint32_t>(KeyOf(hex).a) | 1;
}

std::string_view ParentKey(std::string_view key) {
    const std::size_t cut = key.rfind('/');
    return cut == std::string_view::npos ? std::string_view() : key.substr(0, cut);
}
std::string_view NameOf(std::string_view key) {
    const std::size_t cut = key.rfind('/');
    return cut == std::string_view::npos ? key : key.substr(cut + 1);
}
bool IsInside(std::string_view key, std::string_view folder) {
    if (folder.empty()) return !key.empty();
    return key.size() > folder.size() && key.compare(0, folder.size(), folder) == 0 && key[folder.size()] == '/';
}
std::string Join(std::string_view folder, std::string_view rel) {
    if (folder.empty()) return std::string(rel);
    std::string out(folder);
    out += '/';
    out += rel;
    return out;
}

// One entry of a listing as the comparison sees it.
struct Entry {
    std::string path;  // relative, in the listing's separator; only once it is on one side
    std::string key;   // relative, '/' between names, for matching across platforms
    EntryKind kind = EntryKind::kFile;
    std::uint64_t size = 0;  // a folder's subtree bytes
    platform::FileTicks modified = 0;
    // When both listings carry hashes of one kind; a link's is its target's
    // text, where the listing records it.
    std::uint32_t digest = 0;
    ContentStatus unhashed = ContentStatus::kRead;  // why a hashed listing has none for this file
    SkipReason skipped = SkipReason::kNone;         // a folder not (fully) read
    // Folders: the files and links below, and all entries below.
    std::uint64_t files = 0, entries = 0;
};

// Turns the replay of a listing into entries relative to its source, each
// folder with how much lies in it (records come after everything below
// them, so only the open folders' sums are held).
class EntrySink final : public listing::ListingSink {
public:
    using Visit = std::function<void(const Entry&)>;
    EntrySink(const listing::ListingInput& input, bool useHashes, Visit visit)
        : source_(input.Head().source), separator_(input.Separator()), useHashes_(useHashes),
          visit_(std::move(visit)) {}

    listing::WriteError Begin(const listing::RunHeader&) override { return 0; }
    listing::WriteError BeginSection(const listing::FolderStart& folder) override {
        folderKey_ = Relative(folder.path);
        open_.push_back({});
        return 0;
    }
    listing::WriteError Row(const listing::ListedFile& file) override {
        entry_.kind = file.kind;
        entry_.key.assign(folderKey_);
        if (!folderKey_.empty()) entry_.key += '/';
        entry_.key.append(file.name);
        entry_.size = file.size;
        entry_.modified = file.modified;
        entry_.digest = file.kind == EntryKind::kLink ? DigestOf(file.target) : useHashes_ ? DigestOf(file.digest) : 0;
        entry_.unhashed = useHashes_ && file.kind == EntryKind::kFile && file.digest.empty()
                              ? (file.unhashed == ContentStatus::kRead ? ContentStatus::kFailed : file.unhashed)
                              : ContentStatus::kRead;
        entry_.skipped = SkipReason::kNone;
        entry_.files = entry_.entries = 0;
        if (!open_.empty()) ++open_.back().files, ++open_.back().entries;
        visit_(entry_);
        return 0;
    }
    listing::WriteError EndSection(const listing::SectionTotals&) override { return 0; }
    listing::WriteError EndFolder(const listing::FolderRecord& folder) override {
        // Sections open in pre-order and folders end in post-order: the
        // folder ending is the innermost open one.
        Sum inside;
        if (!open_.empty()) {
            inside = open_.back();
            open_.pop_back();
        }
        Folder(folder, inside);
        return 0;
    }
    listing::WriteError FolderSkipped(const listing::FolderRecord& folder) override {
        Folder(folder, Sum{});
        return 0;
    }
    listing::WriteError Totals(const listing::RunTotals&) override { return 0; }
    listing::WriteError Close() override { return 0; }

private:
    struct Sum {
        std::uint64_t files = 0, entries = 0;
    };

    void Folder(const listing::FolderRecord& folder, const Sum& inside) {
        entry_.kind = EntryKind::kFolder;
        entry_.key = Relative(folder.path);
        entry_.size = folder.subtreeBytes;
        entry_.modified = folder.facts.modified;
        entry_.digest = 0;
        entry_.unhashed = ContentStatus::kRead;
        entry_.skipped = folder.skipped;
        entry_.files = inside.files;
        entry_.entries = inside.entries;
        if (!open_.empty()) open_.back().files += inside.files, open_.back().entries += 1 + inside.entries;
        visit_(entry_);
    }

    // '/' between names, relative to the source.
    std::string Relative(const std::string& path) const {
        if (path == source_) return std::string();
        const bool rootEndsInSeparator = !source_.empty() && source_.back() == separator_;
        std::string key = path.substr(std::min(path.size(), source_.size() + (rootEndsInSeparator ? 0 : 1)));
        if (separator_ == '\\') std::replace(key.begin(), key.end(), '\\', '/');
        return key;
    }

    const std::string source_;
    const char separator_;
    const bool useHashes_;
    Visit visit_;
    std::string folderKey_;
    Entry entry_;
    std::vector<Sum> open_;  // the folders whose sections are open, outermost first
};

// Reads a listing through with the replay's reader and checks.
bool ReadListing(listing::ListingInput& input, bool useHashes, const EntrySink::Visit& visit, std::string& error) {
    class Quiet final : public listing::ScanHost {
        void SetStatus(const std::string&) override {}
        void PumpEvents() override {}
        bool Stopped() override { return false; }
    } host;
    EntrySink sink(input, useHashes, visit);
    listing::RunTotals totals;
    listing::WriteError unused = 0;
    const listing::ReplayResult result =
        listing::ReplayListing(input, listing::ListingOptions{}, host, totals, sink, unused);
    if (result.ok) return true;
    error = input.Path() + ":" + std::to_string(result.line) + ": not a valid listing: " + result.reason;
    return false;
}

// What is kept of each entry of the old listing.
struct Remembered {
    Key key;
    std::uint64_t size;
    platform::FileTicks modified;
    std::uint64_t at;  // where its line starts, to read it again if it was removed
    std::uint32_t digest;
    std::uint8_t kind;
    bool matched;  // in the new listing with the same kind
    std::uint8_t unhashed;
    std::uint8_t skipped;
};
static_assert(sizeof(Remembered) <= 48, "the old listing's table grows with every entry");

// What lies in a folder of the old listing, kept for those that are gone.
struct Inside {
    std::uint64_t files = 0, entries = 0;
};

// An entry on one side only, kept until moves are matched.
struct OneSided {
    Entry entry;
    bool paired = false;  // matched inside a moved folder, or moved itself
    int move = -1;        // the folder move it lies in (the innermost), if any
};

// A not-read folder that was ever one of the sides reports.
bool NotRead(SkipReason reason) { return reason != SkipReason::kNone; }

std::string InListing(Side side) { return side == Side::kOld ? "in the old listing" : "in the new listing"; }

std::string Readable(std::string key, char separator) {
    if (separator == '\\') std::replace(key.begin(), key.end(), '/', '\\');
    return key;
}

}  // namespace

const char* ChangeText(Change change) {
    switch (change) {
        case Change::kAdded: return "added";
        case Change::kRemoved: return "removed";
        case Change::kChanged: return "changed";
        case Change::kMoved: return "moved";
        case Change::kFolderResized: return "folder";
        case Change::kContentChanged: return "content";
        case Change::kContentNotCompared: return "content_not_compared";
        case Change::kNotRead: return "not_read";
    }
    return "";
}

const char* KindText(EntryKind kind) {
    return kind == EntryKind::kFolder ? "folder" : kind == EntryKind::kLink ? "link" : "file";
}

DiffResult DiffListings(const std::string& oldPath, const std::string& newPath) {
    listing::ListingInput before, after;
    before.Open(oldPath);
    after.Open(newPath);
    return DiffListings(before, after);
}

DiffResult DiffListings(listing::ListingInput& before, listing::ListingInput& after) {
    DiffResult result;
    const std::string& oldPath = before.Path();
    auto invalid = [&](const listing::ListingInput& input) {
        const listing::ReplayResult& head = input.Head();
        result.ok = false;
        result.error = input.Path() + ":" + std::to_string(head.line) + ": not a valid listing: " + head.reason;
        if (head.reason == "cannot be read") result.error = input.Path() + ": cannot be read";
        return result;
    };
    if (!before.Head().ok) return invalid(before);
    if (!after.Head().ok) return invalid(after);
    result.oldSource = before.Head().source;
    result.newSource = after.Head().source;
    result.oldSeparator = before.Separator();
    result.newSeparator = after.Separator();
    const platform::HashAlgorithm oldHash = before.Head().hash, newHash = after.Head().hash;
    const bool hashes = oldHash != platform::HashAlgorithm::kNone && oldHash == newHash;
    if (!hashes && oldHash != newHash) {
        const auto carries = [](platform::HashAlgorithm h) {
            return h == platform::HashAlgorithm::kNone ? std::string("no hashes")
                                                       : std::string(platform::HashName(h)) + " hashes";
        };
        result.contentNotComparedNote =
            "the old listing carries " + carries(oldHash) + ", the new one " + carries(newHash);
        result.oldHashesUnmatched = oldHash != platform::HashAlgorithm::kNone;
    }

    // ---- the old listing, kept as a table ----
    std::vector<Remembered> table;
    std::unordered_map<Key, Inside, KeyHash> oldFolders;
    auto remember = [&](const Entry& e) {
        const Key key = KeyOf(e.key);
        table.push_back({key, e.size, e.modified, before.LineStart(), e.digest, static_cast<std::uint8_t>(e.kind),
                         false, static_cast<std::uint8_t>(e.unhashed), static_cast<std::uint8_t>(e.skipped)});
        if (e.kind == EntryKind::kFolder) oldFolders[key] = {e.files, e.entries};
        if (e.kind != EntryKind::kFolder) result.oldTotal.count++, result.oldTotal.bytes += e.size;
    };
    if (!ReadListing(before, hashes, remember, result.error)) return result.ok = false, result;
    table.shrink_to_fit();
    // Kept in the listing's order, found by an index of their keys: the new
    // listing mostly follows the old one's order, so its look-ups walk the
    // table forwards.
    std::size_t slots = 2;
    while (slots < 2 * table.size()) slots *= 2;
    std::vector<std::uint32_t> index(slots, 0);  // table position + 1; 0: free
    for (std::size_t i = 0; i < table.size(); ++i) {
        std::size_t slot = table[i].key.a & (slots - 1);
        while (index[slot]) slot = (slot + 1) & (slots - 1);
        index[slot] = static_cast<std::uint32_t>(i + 1);
    }
    std::size_t expected = 0;  // where the last one found was, plus one: tried first
    auto find = [&](const Key& key) -> Remembered* {
        if (expected < table.size() && table[expected].key == key) return &table[expected++];
        for (std::size_t slot = key.a & (slots - 1); index[slot]; slot = (slot + 1) & (slots - 1)) {
            Remembered& r = table[index[slot] - 1];
            if (r.key == key) {
                expected = index[slot];
                return &r;
            }
        }
        return nullptr;
    };

    // Compares an entry found on both sides; `from` names its old place
    // when that differs (inside a moved folder).
    auto compareBoth = [&](const Entry& e, std::uint64_t oldSize, platform::FileTicks oldModified,
                           std::uint32_t oldDigest, ContentStatus oldUnhashed, SkipReason oldSkipped,
                           const Inside& oldInside, std::string from) {
        DiffItem item;
        item.kind = e.kind;
        item.path = e.path.empty() ? Readable(e.key, result.newSeparator) : e.path;
        item.from = std::move(from);
        item.oldSize = oldSize;
        item.newSize = e.size;
        item.oldModified = oldModified;
        item.newModified = e.modified;
        if (e.kind == EntryKind::kFolder) {
            // Refused alike on both sides (another file system, say): nothing to say.
            const bool alike = oldSkipped == e.skipped && !listing::IsReadFailure(e.skipped);
            if ((NotRead(oldSkipped) || NotRead(e.skipped)) && !alike) {
                item.change = Change::kNotRead;
                item.side = NotRead(oldSkipped) && NotRead(e.skipped) ? Side::kBoth
                            : NotRead(e.skipped)                       ? Side::kNew
                                                                       : Side::kOld;
                const SkipReason why = NotRead(e.skipped) ? e.skipped : oldSkipped;
                item.reason = listing::SkipReasonText(why);
                if (item.side == Side::kBoth && oldSkipped != e.skipped)
                    item.reason = std::string(listing::SkipReasonText(oldSkipped)) + " (old), " +
                                  listing::SkipReasonText(e.skipped) + " (new)";
                item.otherHeld = item.side != Side::kBoth;
                item.otherFiles = item.side == Side::kNew ? oldInside.files : e.files;
                item.otherBytes = item.side == Side::kNew ? oldSize : e.size;
            } else if (oldSize != e.size) {
                item.change = Change::kFolderResized;
            } else {
                return;
            }
        } else if (oldSize != e.size || oldModified != e.modified) {
            item.change = Change::kChanged;
        } else if (e.kind == EntryKind::kLink) {
            // Its target counts as a file's size does; a listing that
            // records none compares as before.
            if (!oldDigest || !e.digest || oldDigest == e.digest) return;
            item.change = Change::kChanged;
        } else if (oldDigest && e.digest) {
            if (oldDigest == e.digest) return;
            item.change = Change::kContentChanged;
        } else if (oldDigest || e.digest) {
            item.change = Change::kContentNotCompared;
            item.side = e.digest ? Side::kOld : Side::kNew;
            const ContentStatus why = e.digest ? oldUnhashed : e.unhashed;
            item.reason = "not read " + InListing(item.side) + ": " + platform::ContentStatusText(why);
        } else {
            return;
        }
        result.items.push_back(std::move(item));
    };

    // ---- the new listing, streamed against it ----
    std::vector<OneSided> added, removed;
    auto compare = [&](const Entry& e) {
        if (e.kind != EntryKind::kFolder) result.newTotal.count++, result.newTotal.bytes += e.size;
        Remembered* old = find(KeyOf(e.key));
        // A path that changed kind is one entry removed and another added.
        if (!old || old->kind != static_cast<std::uint8_t>(e.kind)) {
            added.push_back({e});
            added.back().entry.path = Readable(e.key, result.newSeparator);
            return;
        }
        old->matched = true;
        Inside inside;
        if (e.kind == EntryKind::kFolder) inside = oldFolders[old->key];
        compareBoth(e, old->size, old->modified, old->digest, static_cast<ContentStatus>(old->unhashed),
                    static_cast<SkipReason>(old->skipped), inside, std::string());
    };
    if (!ReadListing(after, hashes, compare, result.error)) return result.ok = false, result;

    // ---- what was removed: only those lines are read again ----
    {
        std::vector<const Remembered*> gone;  // in the listing's order, as the table is
        for (const Remembered& r : table)
            if (!r.matched) gone.push_back(&r);
        const std::string& root = result.oldSource;
        const bool rootEndsInSeparator = !root.empty() && root.back() == result.oldSeparator;
        std::string line;
        listing::ListingRecord record;
        for (const Remembered* r : gone) {
            Entry e;
            try {
                // The file was read through once: a line now missing or
                // changed means it changed under us.
                if (!before.LineAt(r->at, line) || !record.Parse(line))
                    throw InvalidRecord{"the listing changed while it was read"};
                const std::string path = record.Bytes(Field::kPath, Field::kPathBytes);
                if (path != root && (path.size() <= root.size() || path.compare(0, root.size(), root) != 0))
                    throw InvalidRecord{"the listing changed while it was read"};
                if (path != root) e.path.assign(path, root.size() + (rootEndsInSeparator ? 0 : 1), std::string::npos);
            } catch (const InvalidRecord& error) {
                result.ok = false;
                result.error = oldPath + ": not a valid listing: " + error.reason;
                return result;
            }
            e.key = e.path;
            if (result.oldSeparator == '\\') std::replace(e.key.begin(), e.key.end(), '\\', '/');
            if (!(KeyOf(e.key) == r->key)) {
                result.ok = false;
                result.error = oldPath + ": not a valid listing: the listing changed while it was read";
                return result;
            }
            e.kind = static_cast<EntryKind>(r->kind);
            e.size = r->size;
            e.modified = r->modified;
            e.digest = r->digest;
            e.unhashed = static_cast<ContentStatus>(r->unhashed);
            e.skipped = static_cast<SkipReason>(r->skipped);
            if (e.kind == EntryKind::kFolder) {
                const Inside& in = oldFolders[r->key];
                e.files = in.files;
                e.entries = in.entries;
            }
            removed.push_back({std::move(e)});
        }
    }
    std::vector<Remembered>().swap(table);
    std::vector<std::uint32_t>().swap(index);
    auto byKey = [](const OneSided& x, const OneSided& y) { return x.entry.key < y.entry.key; };
    std::sort(added.begin(), added.end(), byKey);
    std::sort(removed.begin(), removed.end(), byKey);
    auto locate = [&](std::vector<OneSided>& side, std::string_view key) -> OneSided* {
        auto it = std::lower_bound(side.begin(), side.end(), key,
                                   [](const OneSided& o, std::string_view k) { return o.entry.key < k; });
        return it != side.end() && it->entry.key == key ? &*it : nullptr;
    };
    // The run of entries inside `folder`, from "folder/" on.
    auto insideOf = [](std::vector<OneSided>& side, std::string_view folder) {
        const std::string start = std::string(folder) + '/';
        auto first = std::lower_bound(side.begin(), side.end(), start,
                                      [](const OneSided& o, const std::string& k) { return o.entry.key < k; });
        auto last = first;
        while (last != side.end() && IsInside(last->entry.key, folder)) ++last;
        return std::pair{first, last};
    };

    // ---- folders not read: what the other side holds there is not a change ----
    {
        std::vector<std::string> unread;  // keys, in order: an outer one before those inside it
        for (auto* side : {&added, &removed})
            for (OneSided& o : *side)
                if (o.entry.kind == EntryKind::kFolder && listing::IsReadFailure(o.entry.skipped))
                    unread.push_back(o.entry.key);
        for (const DiffItem& item : result.items)
            if (item.change == Change::kNotRead) {
                std::string key = item.path;
                if (result.newSeparator == '\\') std::replace(key.begin(), key.end(), '\\', '/');
                unread.push_back(key);
            }
        std::sort(unread.begin(), unread.end());
        auto outermost = [&](std::string_view key) -> const std::string* {
            for (std::string_view up = key; !up.empty();) {
                up = ParentKey(up);
                auto it = std::lower_bound(unread.begin(), unread.end(), up);
                if (it != unread.end() && *it == up && !up.empty()) {
                    // Climb on: an outer unread folder takes it first.
                    const std::string* found = &*it;
                    for (std::string_view higher = ParentKey(up); !higher.empty(); higher = ParentKey(higher)) {
                        auto h = std::lower_bound(unread.begin(), unread.end(), higher);
                        if (h != unread.end() && *h == higher) found = &*h;
                    }
                    return found;
                }
            }
            return nullptr;
        };
        // Each unread folder's item, by its key; those on one side only start here.
        std::map<std::string, DiffItem*> itemOf;
        std::vector<DiffItem> oneSidedUnread;
        for (auto [side, isNew] : {std::pair{&added, true}, std::pair{&removed, false}}) {
            for (OneSided& o : *side) {
                if (o.entry.kind != EntryKind::kFolder || !listing::IsReadFailure(o.entry.skipped) ||
                    outermost(o.entry.key))
                    continue;
                DiffItem item;
                item.change = Change::kNotRead;
                item.kind = EntryKind::kFolder;
                item.path = o.entry.path;
                item.side = isNew ? Side::kNew : Side::kOld;
                item.reason = listing::SkipReasonText(o.entry.skipped);
                (isNew ? item.newSize : item.oldSize) = o.entry.size;
                (isNew ? item.newModified : item.oldModified) = o.entry.modified;
                oneSidedUnread.push_back(std::move(item));
                o.paired = true;
            }
        }
        for (DiffItem& item : oneSidedUnread) result.items.push_back(std::move(item));
        for (DiffItem& item : result.items)
            if (item.change == Change::kNotRead) {
                std::string key = item.path;
                const char separator = item.side == Side::kOld && !item.otherHeld ? result.oldSeparator
                                                                                   : result.newSeparator;
                if (separator == '\\') std::replace(key.begin(), key.end(), '\\', '/');
                itemOf[key] = &item;
            }
        for (auto* side : {&added, &removed})
            for (OneSided& o : *side) {
                if (o.paired) continue;
                const std::string* at = outermost(o.entry.key);
                if (!at) continue;
                o.paired = true;  // neither added nor removed: unknown there
                auto it = itemOf.find(*at);
                if (it == itemOf.end() || o.entry.kind == EntryKind::kFolder) continue;
                // What the readable side holds where the other could not look.
                DiffItem& item = *it->second;
                if (item.otherHeld || item.side == Side::kBoth) continue;  // its own record said already
                item.otherFiles++;
                item.otherBytes += o.entry.size;
            }
    }

    // ---- folders moved: most of what is inside alike ----
    // A pair of entries alike (same name, kind, size, time and hash) votes
    // for each pair of their one-sided folders at the same distance above
    // them, as long as the names between are alike too.
    using Signature = std::tuple<std::string_view, int, std::uint64_t, platform::FileTicks, std::uint32_t>;
    auto signatureOf = [](const Entry& e) {
        const bool folder = e.kind == EntryKind::kFolder;
        return Signature{NameOf(e.key), static_cast<int>(e.kind), folder ? 0 : e.size, folder ? 0 : e.modified,
                         e.digest};
    };
    struct Group {
        std::vector<std::size_t> added, removed;
    };
    std::map<Signature, Group> groups;
    for (std::size_t i = 0; i < added.size(); ++i)
        if (!added[i].paired) groups[signatureOf(added[i].entry)].added.push_back(i);
    for (std::size_t i = 0; i < removed.size(); ++i)
        if (!removed[i].paired) groups[signatureOf(removed[i].entry)].removed.push_back(i);
    std::map<std::pair<std::size_t, std::size_t>, std::uint64_t> votes;  // (added folder, removed folder)
    for (const auto& [signature, group] : groups) {
        for (std::size_t a : group.added) {
            for (std::size_t r : group.removed) {
                std::string_view ka = added[a].entry.key, kr = removed[r].entry.key;
                for (;;) {
                    if (NameOf(ka) != NameOf(kr)) break;
                    ka = ParentKey(ka);
                    kr = ParentKey(kr);
                    if (ka.empty() || kr.empty()) break;
                    OneSided* fa = locate(added, ka);
                    OneSided* fr = locate(removed, kr);
                    if (!fa || !fr || fa->paired || fr->paired || fa->entry.kind != EntryKind::kFolder ||
                        fr->entry.kind != EntryKind::kFolder)
                        break;
                    ++votes[{static_cast<std::size_t>(fa - added.data()), static_cast<std::size_t>(fr - removed.data())}];
                }
            }
        }
    }
    groups.clear();
    struct Move {
        std::size_t to, from;
    };
    std::vector<Move> moves;
    {
        // Each added folder, outer ones first, takes the removed folder with
        // the most votes (the first in path order among equals) when those
        // are more than half of what lies in either.
        auto vote = votes.begin();
        for (std::size_t a = 0; a < added.size(); ++a) {
            while (vote != votes.end() && vote->first.first < a) ++vote;
            if (vote == votes.end() || vote->first.first != a) continue;
            OneSided& to = added[a];
            std::size_t best = 0;
            std::uint64_t most = 0;
            for (auto v = vote; v != votes.end() && v->first.first == a; ++v) {
                if (removed[v->first.second].paired) continue;
                if (v->second > most) most = v->second, best = v->first.second;
            }
            if (to.paired || most == 0) continue;
            OneSided& from = removed[best];
            if (2 * most <= std::max(to.entry.entries, from.entry.entries)) continue;
            to.paired = from.paired = true;
            const int move = static_cast<int>(moves.size());
            moves.push_back({a, best});
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
            // Inside, entries pair by their path below the two folders.
            const std::string toKey = to.entry.key, fromKey = from.entry.key;
            auto [first, last] = insideOf(added, toKey);
            for (auto it = first; it != last; ++it) {
                it->move = move;
                if (it->paired) continue;
                const std::string rel = it->entry.key.substr(toKey.size() + 1);
                OneSided* old = locate(removed, Join(fromKey, rel));
                if (!old || old->paired || old->entry.kind != it->entry.kind) continue;
                it->paired = old->paired = true;
                old->move = move;
                const Entry& o = old->entry;
                compareBoth(it->entry, o.size, o.modified, o.digest, o.unhashed, o.skipped, Inside{o.files, o.entries},
                            o.path);
            }
            auto [goneFirst, goneLast] = insideOf(removed, fromKey);
            for (auto it = goneFirst; it != goneLast; ++it) it->move = move;
        }
    }
    votes.clear();

    // ---- then files, links and empty folders: same name, size, time and hash ----
    // Each removed one is taken once, in the order of their paths.
    std::multimap<Signature, std::size_t> goneOnes;
    auto single = [](const OneSided& o) {
        return !o.paired && (o.entry.kind != EntryKind::kFolder || o.entry.entries == 0);
    };
    for (std::size_t i = 0; i < removed.size(); ++i)
        if (single(removed[i])) goneOnes.emplace(signatureOf(removed[i].entry), i);
    for (OneSided& to : added) {
        if (!single(to)) continue;
        const Entry& e = to.entry;
        const Signature wanted = signatureOf(e);
        auto it = goneOnes.lower_bound(wanted);  // the first in path order
        if (it == goneOnes.end() || it->first != wanted) continue;
        OneSided& from = removed[it->second];
        goneOnes.erase(it);
        to.paired = from.paired = true;
        DiffItem item;
        item.change = Change::kMoved;
        item.kind = e.kind;
        item.path = e.path;
        item.from = from.entry.path;
        item.oldSize = from.entry.size;
        item.newSize = e.size;
        item.oldModified = from.entry.modified;
        item.newModified = e.modified;
        result.items.push_back(std::move(item));
        if (e.kind == EntryKind::kFolder) {
            ++result.foldersMoved;
        } else {
            result.moved.count++;
            result.moved.bytes += e.size;
        }
    }

    // ---- what is left was added or removed: one item for each outermost ----
    for (const auto& [side, change] : {std::pair{&added, Change::kAdded}, std::pair{&removed, Change::kRemoved}}) {
        const bool isNew = change == Change::kAdded;
        Tally& tally = isNew ? result.added : result.removed;
        std::uint64_t& folders = isNew ? result.foldersAdded : result.foldersRemoved;
        for (const OneSided& o : *side) {
            if (o.paired) continue;
            const Entry& e = o.entry;
            if (e.kind != EntryKind::kFolder) tally.count++, tally.bytes += e.size;
            const OneSided* up = locate(*side, ParentKey(e.key));
            if (up && !up->paired && !e.key.empty()) continue;  // part of its folder's item
            DiffItem item;
            item.change = change;
            item.kind = e.kind;
            item.path = e.path;
            (isNew ? item.newSize : item.oldSize) = e.size;
            (isNew ? item.newModified : item.oldModified) = e.modified;
            if (e.kind == EntryKind::kFolder) {
                ++folders;
                // Only what is new (gone) in it: what moved in or out is its own item.
                std::uint64_t bytes = 0;
                auto [first, last] = insideOf(*side, e.key);
                for (auto it = first; it != last; ++it)
                    if (!it->paired && it->entry.kind != EntryKind::kFolder) ++item.files, bytes += it->entry.size;
                (isNew ? item.newSize : item.oldSize) = bytes;
            }
            if (o.move >= 0) {
                // Named in both listings: where it is (or would be) in each.
                const Move& m = moves[static_cast<std::size_t>(o.move)];
                const Entry& here = (isNew ? added[m.to] : removed[m.from]).entry;
                const Entry& there = (isNew ? removed[m.from] : added[m.to]).entry;
                const std::string rel = e.key.substr(here.key.size() + 1);
                const std::string otherPath = Readable(Join(there.key, rel), isNew ? result.oldSeparator
                                                                                     : result.newSeparator);
                if (isNew) {
                    item.from = otherPath;
                } else {
                    item.from = item.path;
                    item.path = otherPath;
                }
            }
            result.items.push_back(std::move(item));
        }
    }
    for (const DiffItem& item : result.items) {
        switch (item.change) {
            case Change::kContentChanged:
                result.contentChanged.count++;
                result.contentChanged.bytes += item.newSize;
                break;
            case Change::kChanged:
                result.changed.count++;
                result.changed.bytes += item.newSize;
                result.changedGrowth += static_cast<std::int64_t>(item.newSize - item.oldSize);
                break;
            case Change::kNotRead: ++result.notRead; break;
            case Change::kContentNotCompared: ++result.contentNotCompared; break;
            default: break;
        }
    }

    // Paths in one order whatever each listing's separator: where it is now,
    // or where it was for what is gone.
    auto keyOf = [&](const DiffItem& item) {
        std::string key = item.path;
        const bool old = (item.change == Change::kRemoved && !item.InsideMove()) ||
                         (item.change == Change::kNotRead && item.side == Side::kOld && !item.otherHeld);
        const char separator = old ? result.oldSeparator : result.newSeparator;
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
