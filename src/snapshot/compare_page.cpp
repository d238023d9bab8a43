#include "snapshot/compare_page.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "listing/explorer/explorer_format.h"
#include "listing/explorer/explorer_sink.h"

namespace tf::snapshot {
namespace {

// An entry's mark on the page (docs/explorer-format.md, "Changes"), as format.js defines it.
enum Mark : std::uint8_t {
    kSame = listing::explorer_format::kChangeSame,
    kAdded = listing::explorer_format::kChangeAdded,
    kRemoved = listing::explorer_format::kChangeRemoved,
    kChanged = listing::explorer_format::kChangeChanged,
    kContentChanged = listing::explorer_format::kChangeContent,
    kMovedHere = listing::explorer_format::kChangeMovedHere,
    kMovedAway = listing::explorer_format::kChangeMovedAway,
    kNotRead = listing::explorer_format::kChangeNotRead,
    kNotCompared = listing::explorer_format::kChangeNotCompared,
};

// What the comparison says of a path on one side, and of what lies below
// it when `below` is set.
struct Rule {
    Mark mark = kSame;
    bool below = false;
    bool paired = false;
    std::string partner;  // when paired: the same entry's key on the other side ("" is the source)
};
using Rules = std::map<std::string, Rule, std::less<>>;

std::string KeyOf(std::string path, char separator) {
    if (separator == '\\') std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string_view ParentOf(std::string_view key) {
    const std::size_t cut = key.rfind('/');
    return cut == std::string_view::npos ? std::string_view() : key.substr(0, cut);
}

Mark MarkOf(Change change) {
    switch (change) {
        case Change::kChanged:
        case Change::kFolderResized: return kChanged;
        case Change::kContentChanged: return kContentChanged;
        case Change::kContentNotCompared: return kNotCompared;
        default: return kSame;
    }
}

// Passes the replay on to the page and numbers its entries as the page
// does (a folder as it opens, then each file and link), marking each with
// the comparison's answer.
class MarkingSink final : public listing::ListingSink {
public:
    MarkingSink(const DiffResult& diff, listing::ExplorerSink& page) : diff_(diff), page_(page) {
        for (const DiffItem& item : diff.items) Learn(item);
    }

    listing::WriteError Begin(const listing::RunHeader& header) override {
        ++listing_;
        source_ = header.options.source;
        separator_ = header.separator;
        return page_.Begin(header);
    }
    listing::WriteError BeginSection(const listing::FolderStart& folder) override {
        folderKey_ = Relative(folder.path);
        Entry(folderKey_, true);
        return page_.BeginSection(folder);
    }
    listing::WriteError Row(const listing::ListedFile& file) override {
        std::string key = folderKey_.empty() ? std::string(file.name) : folderKey_ + "/" + std::string(file.name);
        Entry(KeyOf(std::move(key), separator_), false);
        return page_.Row(file);
    }
    listing::WriteError EndSection(const listing::SectionTotals& totals) override { return page_.EndSection(totals); }
    listing::WriteError EndFolder(const listing::FolderRecord& folder) override { return page_.EndFolder(folder); }
    listing::WriteError FolderSkipped(const listing::FolderRecord& folder) override {
        if (folder.skipped != listing::SkipReason::kExcluded) Entry(Relative(folder.path), true);
        return page_.FolderSkipped(folder);
    }
    listing::WriteError Totals(const listing::RunTotals& totals) override { return page_.Totals(totals); }
    listing::WriteError Close() override {
        page_.SetChanges(Numbers());
        return page_.Close();
    }
    bool KeepsListingsApart() const override { return page_.KeepsListingsApart(); }

private:
    struct Marked {
        std::uint64_t entry;
        Mark mark;
        bool isNew;
        bool paired;
        std::string partner;  // a key on the other side
    };

    void Learn(const DiffItem& item) {
        const std::string path = KeyOf(item.path, item.change == Change::kRemoved && !item.InsideMove()
                                                      ? diff_.oldSeparator
                                                      : diff_.newSeparator);
        const std::string from = KeyOf(item.from, diff_.oldSeparator);
        switch (item.change) {
            case Change::kAdded: newRules_[path] = {kAdded, true, false, {}}; break;
            case Change::kRemoved: oldRules_[item.InsideMove() ? from : path] = {kRemoved, true, false, {}}; break;
            case Change::kMoved:
                newRules_[path] = {kMovedHere, true, true, from};
                oldRules_[from] = {kMovedAway, true, true, path};
                break;
            case Change::kNotRead: {
                const bool inOld = item.side != Side::kNew || item.otherHeld;
                const bool inNew = item.side != Side::kOld || item.otherHeld;
                const std::string oldPath = item.from.empty() ? (inNew ? path : KeyOf(item.path, diff_.oldSeparator))
                                                              : from;
                if (inNew) newRules_[path] = {kNotRead, true, inOld, oldPath};
                if (inOld) oldRules_[oldPath] = {kNotRead, true, inNew, path};
                break;
            }
            default: {
                const std::string old = item.from.empty() ? path : from;
                newRules_[path] = {MarkOf(item.change), false, true, old};
                oldRules_[old] = {MarkOf(item.change), false, true, path};
            }
        }
    }

    std::string Relative(const std::string& path) const {
        if (path == source_) return std::string();
        const bool endsInSeparator = !source_.empty() && source_.back() == separator_;
        return KeyOf(path.substr(std::min(path.size(), source_.size() + (endsInSeparator ? 0 : 1))), separator_);
    }

    // The rule that decides `key`: its own, else the nearest above it that
    // speaks for what lies below.
    void Entry(const std::string& key, bool folder) {
        const std::uint64_t entry = entries_++;
        const bool isNew = listing_ == 2;
        const Rules& rules = isNew ? newRules_ : oldRules_;
        Marked marked{entry, kSame, isNew, false, {}};
        if (auto own = rules.find(key); own != rules.end()) {
            marked.mark = own->second.mark;
            marked.paired = own->second.paired;
            marked.partner = own->second.partner;
        } else {
            for (std::string_view up = key; !up.empty();) {
                up = ParentOf(up);
                auto rule = rules.find(up);
                if (rule == rules.end() || !rule->second.below) continue;
                marked.mark = rule->second.mark;
                // What lies in a moved folder is at the same place below the other.
                if (rule->second.paired && marked.mark != kNotRead) {
                    marked.paired = true;
                    marked.partner = rule->second.partner.empty() ? key.substr(up.size() + 1)
                                                                  : rule->second.partner + key.substr(up.size());
                }
                break;
            }
        }
        if (!isNew && folder) oldFolders_.emplace(key, entry);
        if (marked.mark == kSame && !(isNew && folder)) return;
        // A folder in both: the page takes its sizes before from its partner.
        if (marked.mark == kSame) marked.paired = true, marked.partner = key;
        (isNew ? newMarked_ : oldMarked_).emplace(key, entry);
        marks_.push_back(std::move(marked));
    }

    std::string Numbers() const {
        std::string out;
        auto number = [&out](std::uint64_t n) { listing::AppendExplorerNumber(out, n); };
        const DiffResult& r = diff_;
        for (std::uint64_t n : {r.added.count, r.added.bytes, r.removed.count, r.removed.bytes, r.changed.count,
                                r.changed.bytes})
            number(n);
        number(r.changedGrowth >= 0 ? static_cast<std::uint64_t>(r.changedGrowth) * 2
                                    : static_cast<std::uint64_t>(-(r.changedGrowth + 1)) * 2 + 1);
        for (std::uint64_t n : {r.moved.count, r.moved.bytes, r.foldersAdded, r.foldersRemoved, r.foldersMoved,
                                r.contentChanged.count, r.contentChanged.bytes, r.contentNotCompared, r.notRead})
            number(n);
        static_assert(listing::explorer_format::kChangeTallyCount == 16, "the tallies written here");
        std::uint64_t count = 0;
        std::string records;
        std::uint64_t last = 0;
        bool first = true;
        for (const Marked& m : marks_) {
            std::int64_t partner = -1;
            if (m.paired) {
                const auto& there = m.isNew ? oldMarked_ : newMarked_;
                auto found = there.find(m.partner);
                if (found != there.end()) {
                    partner = static_cast<std::int64_t>(found->second);
                } else if (m.isNew) {
                    auto folder = oldFolders_.find(m.partner);
                    if (folder != oldFolders_.end()) partner = static_cast<std::int64_t>(folder->second);
                }
            }
            if (m.mark == kSame && partner < 0) continue;  // a new folder with nothing before it
            listing::AppendExplorerNumber(records, first ? m.entry : m.entry - last - 1);
            listing::AppendExplorerNumber(records, static_cast<std::uint64_t>(m.mark) * 2 + (partner >= 0));
            if (partner >= 0) listing::AppendExplorerNumber(records, static_cast<std::uint64_t>(partner));
            last = m.entry;
            first = false;
            ++count;
        }
        number(count);
        return out + records;
    }

    const DiffResult& diff_;
    listing::ExplorerSink& page_;
    Rules oldRules_, newRules_;
    int listing_ = 0;  // 1 while the old listing is replayed, 2 the new
    std::string source_;
    char separator_ = '/';
    std::string folderKey_;
    std::uint64_t entries_ = 0;
    std::vector<Marked> marks_;
    std::unordered_map<std::string, std::uint64_t> oldMarked_, newMarked_, oldFolders_;
};

}  // namespace

listing::RunOutcome WriteComparisonPage(const DiffResult& diff, listing::ListingInput& oldListing,
                                        listing::ListingInput& newListing, const std::string& output,
                                        listing::ReplayResult& invalid) {
    // A replay of saved listings has nothing to show or stop.
    class Quiet final : public listing::ScanHost {
        void SetStatus(const std::string&) override {}
        void PumpEvents() override {}
        bool Stopped() override { return false; }
    } host;
    listing::ListingOptions options;
    options.format = listing::ReportFormat::kExplorer;
    listing::RunTotals totals;
    listing::ExplorerSink page(output, listing::ExplorerSink::Kind::kComparison);
    MarkingSink marking(diff, page);
    return listing::ReplayListings({&oldListing, &newListing}, options, host, marking, totals, invalid);
}

listing::RunOutcome WriteComparisonPage(const std::string& oldListing, const std::string& newListing,
                                        const std::string& output, listing::ReplayResult& invalid) {
    // A listing the comparison cannot read is named by the replay below, as
    // a page of it would name it.
    listing::ListingInput before, after;
    before.Open(oldListing);
    after.Open(newListing);
    const DiffResult diff = DiffListings(before, after);
    return WriteComparisonPage(diff.ok ? diff : DiffResult{}, before, after, output, invalid);
}

}  // namespace tf::snapshot
