#include "listing/scan/listing_replay.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>

#include "listing/formats/record_text.h"
#include "listing/scan/listing_record.h"
#include "listing/scan/section_writer.h"
#include "platform/utf8.h"
#include "platform/wildcard.h"

namespace tf::listing {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

using Invalid = InvalidRecord;

// Lines of the file, a last one without its line end included.
std::uint64_t CountLines(std::FILE* f) {
    std::rewind(f);
    std::uint64_t lines = 0;
    char buffer[1 << 16];
    char last = '\n';
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) {
        for (std::size_t i = 0; i < n; ++i) lines += buffer[i] == '\n';
        last = buffer[n - 1];
    }
    return lines + (last != '\n');
}

// The last line of the file, without its line end; nothing when the file is
// empty or does not end with a line end (cut short).
std::optional<std::string> LastLine(std::FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return std::nullopt;
    const long size = std::ftell(f);
    if (size <= 0) return std::nullopt;
    std::string tail;
    long at = size;
    for (;;) {
        const long chunk = std::min<long>(at, 1 << 16);
        at -= chunk;
        std::string piece(static_cast<std::size_t>(chunk), '\0');
        if (std::fseek(f, at, SEEK_SET) != 0 || std::fread(piece.data(), 1, piece.size(), f) != piece.size())
            return std::nullopt;
        tail.insert(0, piece);
        if (tail.back() != '\n') return std::nullopt;
        const std::size_t start = tail.rfind('\n', tail.size() - 2);
        if (start != std::string::npos) return tail.substr(start + 1, tail.size() - start - 2);
        if (at == 0) return tail.substr(0, tail.size() - 1);
    }
}

SkipReason ReasonOf(const std::string& text) {
    for (SkipReason r : {SkipReason::kDenied, SkipReason::kVanished, SkipReason::kTooLong, SkipReason::kUnreadable,
                         SkipReason::kAlreadyListed, SkipReason::kOtherFileSystem, SkipReason::kPseudoFileSystem})
        if (text == SkipReasonText(r)) return r;
    throw Invalid{"unknown reason \"skipped\": " + text};
}

bool IsUnder(const std::string& path, const std::string& folder, char separator) {
    if (path.size() <= folder.size() || path.compare(0, folder.size(), folder) != 0) return false;
    return folder.back() == separator || path[folder.size()] == separator;
}

class Replay {
public:
    Replay(const ListingOptions& options, ScanHost& host, RunTotals& totals, ListingSink& sink, WriteError& error,
           std::string root, char separator, platform::HashAlgorithm hash)
        : options_(options),
          host_(host),
          totals_(totals),
          sink_(sink),
          error_(error),
          section_(options, sink, totals, error),
          root_(std::move(root)),
          separator_(separator),
          hash_(hash) {}

    // One record of the listing, in its order.
    void Record(const ListingRecord& record) {
        if (done_) throw Invalid{"a record after the source folder's record"};
        const std::string& kind = record.Text(Field::kKind);
        const std::string path = record.Bytes(Field::kPath, Field::kPathBytes);
        const std::string name = record.Bytes(Field::kName, Field::kNameBytes);
        if (kind == "folder") return FolderRecord_(record, path, name);
        if (kind != "file" && kind != "link") throw Invalid{"unknown kind \"" + kind + "\""};
        const std::string folder = ParentOf(path, name);
        Reach(folder);
        Open& top = stack_.back();
        if (!top.sectionOpen) throw Invalid{"a file of " + folder + " after one of its subfolders"};
        if (top.dropped || !Listed(name)) return;
        ListedFile file;
        file.name = name;
        file.type = record.Text(Field::kType);
        file.kind = kind == "link" ? EntryKind::kLink : EntryKind::kFile;
        file.size = record.Number(Field::kSize);
        file.allocated = record.Number(Field::kAllocated, false);
        file.created = record.Time(Field::kCreated);
        file.modified = record.Time(Field::kModified);
        file.links = static_cast<std::uint32_t>(std::clamp<std::uint64_t>(record.Number(Field::kLinks, false), 1, UINT32_MAX));
        file.inode = record.Number(Field::kInode, false);
        // Listings made before these fields have none: nothing is lost by that.
        if (file.kind == EntryKind::kLink && record.Has(Field::kTarget)) {
            target_ = record.Text(Field::kTarget);
            file.target = target_;
        }
        if (record.Has(Field::kStamp)) {
            const std::optional<platform::FileStamp> stamp = ParseStamp(record.Text(Field::kStamp));
            if (!stamp) throw Invalid{"\"stamp\" is not four numbers: " + record.Text(Field::kStamp)};
            file.stamp = *stamp;
        }
        Content(record, path, file);
        host_.SetStatus(path);
        section_.Add(file);
    }

    bool Done() const { return done_; }

    // Ends what is open, as a stopped scan would.
    void Stop() {
        while (!stack_.empty()) {
            CloseSection(SkipReason::kNone);
            Open& top = stack_.back();
            FolderRecord folder;
            folder.path = top.path;
            folder.facts.name = platform::LastName(top.path, separator_);
            folder.facts.kind = EntryKind::kFolder;
            Finish(folder);
        }
        done_ = true;
    }

private:
    struct Open {
        std::string path;
        int depth = 0;
        bool dropped = false;  // too deep or excluded: nothing below is listed
        bool sectionOpen = false;
        SectionTotals own;
        std::uint64_t subtree = 0;
    };

    // The file's hash, or why it has none, as the listing says; a hashed
    // listing says one or the other of every file.
    void Content(const ListingRecord& record, const std::string& path, ListedFile& file) {
        const bool hashed = record.Has(Field::kHash), unhashed = record.Has(Field::kUnhashed);
        if (hash_ == platform::HashAlgorithm::kNone || file.kind != EntryKind::kFile) {
            if (hashed || unhashed) throw Invalid{"a hash in a listing whose source has no \"hashes\""};
            return;
        }
        if (hashed) {
            const std::string& text = record.Text(Field::kHash);
            const std::string_view name = platform::HashName(hash_);
            const std::size_t digits = platform::HashHexLength(hash_);
            if (text.size() != name.size() + 1 + digits || text.compare(0, name.size(), name) != 0 ||
                text[name.size()] != ':' ||
                text.find_first_not_of("0123456789abcdef", name.size() + 1) != std::string::npos)
                throw Invalid{"\"hash\" is not " + std::string(name) + ": and " + std::to_string(digits) +
                              " hex digits: " + text};
            digest_.assign(text, name.size() + 1, digits);
            file.digest = digest_;
            return;
        }
        if (!unhashed) throw Invalid{"a file with neither \"hash\" nor \"unhashed\""};
        const std::string& reason = record.Text(Field::kUnhashed);
        using platform::ContentStatus;
        for (ContentStatus s : {ContentStatus::kNotRegular, ContentStatus::kDenied, ContentStatus::kVanished,
                                ContentStatus::kChanged, ContentStatus::kFailed, ContentStatus::kStopped}) {
            if (reason != platform::ContentStatusText(s)) continue;
            file.unhashed = s;
            if (s != ContentStatus::kNotRegular && s != ContentStatus::kStopped) {
                ++totals_.unreadFiles;
                host_.FileUnread(path, s);
            }
            return;
        }
        throw Invalid{"unknown reason \"unhashed\": " + reason};
    }

    std::string ParentOf(const std::string& path, const std::string& name) const {
        if (name.empty() || path.size() <= name.size() + 1 ||
            path.compare(path.size() - name.size(), name.size(), name) != 0 ||
            path[path.size() - name.size() - 1] != separator_)
            throw Invalid{"the path does not end in the name"};
        std::string folder = path.substr(0, path.size() - name.size() - 1);
        if (folder.empty()) folder = std::string(1, separator_);  // a root's own separator
        return folder;
    }

    // The scan's rules, and the one-pattern filter its search applied.
    bool Listed(const std::string& name) const {
        if (options_.filter != "*" && options_.filter != "*.*" && !platform::WildcardMatch(options_.filter, name))
            return false;
        return IsWantedFile(options_, name);
    }

    void CloseSection(SkipReason unread) {
        Open& top = stack_.back();
        if (!top.sectionOpen) return;
        top.sectionOpen = false;
        if (top.dropped) return;
        top.own = section_.End(unread);
        top.subtree += top.own.bytes;
    }

    // Opens the folders down to `folder`, each as the walk would enter it.
    void Reach(const std::string& folder) {
        if (stack_.empty()) {
            if (folder != root_ && !IsUnder(folder, root_, separator_))
                throw Invalid{folder + " lies outside the listing's source " + root_};
            Push(root_, 0, false);
        }
        if (folder != stack_.back().path && !IsUnder(folder, stack_.back().path, separator_)) {
            if (folder == root_ || IsUnder(folder, root_, separator_))
                throw Invalid{"a record of " + folder + " before the record of folder " + stack_.back().path};
            throw Invalid{folder + " lies outside the listing's source " + root_};
        }
        while (stack_.back().path != folder) {
            const Open& parent = stack_.back();
            const std::size_t start = parent.path.size() + (parent.path.back() == separator_ ? 0 : 1);
            const std::size_t end = std::min(folder.find(separator_, start), folder.size());
            const std::string child = folder.substr(0, end);
            const std::string name = folder.substr(start, end - start);
            CloseSection(SkipReason::kNone);
            bool dropped = parent.dropped;
            const int depth = parent.depth + 1;
            if (!dropped && options_.maxDepth >= 0 && depth > options_.maxDepth) dropped = true;
            if (!dropped && IsExcludedName(options_, name)) {
                FolderRecord excluded;
                excluded.path = child;
                excluded.facts.name = name;
                excluded.facts.kind = EntryKind::kFolder;
                excluded.skipped = SkipReason::kExcluded;
                Note(sink_.FolderSkipped(excluded));
                dropped = true;
            }
            if (!dropped) {
                ++totals_.totalFolders;
                host_.SetStatus(child);
            }
            Push(child, depth, dropped);
        }
    }

    void Push(const std::string& path, int depth, bool dropped) {
        Open open;
        open.path = path;
        open.depth = depth;
        open.dropped = dropped;
        open.sectionOpen = true;
        stack_.push_back(std::move(open));
        if (!dropped) section_.Open(path, depth);
    }

    void FolderRecord_(const ListingRecord& record, const std::string& path, const std::string& name) {
        SkipReason reason = SkipReason::kNone;
        if (record.Has(Field::kSkipped)) reason = ReasonOf(record.Text(Field::kSkipped));
        FolderRecord folder;
        folder.path = path;
        folder.facts.name = name;
        folder.facts.kind = EntryKind::kFolder;
        folder.facts.created = record.Time(Field::kCreated);
        folder.facts.modified = record.Time(Field::kModified);
        folder.skipped = reason;
        if (reason != SkipReason::kNone && !IsReadFailure(reason)) return Refused(folder);
        Reach(path);
        // A folder that could not be read has an empty section that says so
        // from its start.
        CloseSection(reason);
        if (IsReadFailure(reason) && !stack_.back().dropped) {
            ++totals_.skippedFolders;
            host_.FolderSkipped(path, reason);
        }
        Finish(folder);
    }

    // A folder the walk did not enter: it sits among its siblings.
    void Refused(FolderRecord& folder) {
        const std::string parent = ParentOf(folder.path, folder.facts.name);
        if (stack_.empty() && folder.path == root_) throw Invalid{"the source folder is marked as not entered"};
        Reach(parent);
        CloseSection(SkipReason::kNone);
        const Open& top = stack_.back();
        const int depth = top.depth + 1;
        if (top.dropped || (options_.maxDepth >= 0 && depth > options_.maxDepth)) return;
        if (IsExcludedName(options_, folder.facts.name)) {
            folder.skipped = SkipReason::kExcluded;
            Note(sink_.FolderSkipped(folder));
            return;
        }
        ++totals_.totalFolders;
        ++totals_.skippedFolders;
        host_.SetStatus(folder.path);
        host_.FolderSkipped(folder.path, folder.skipped);
        Note(sink_.FolderSkipped(folder));
    }

    void Finish(FolderRecord& folder) {
        Open top = std::move(stack_.back());
        stack_.pop_back();
        if (!stack_.empty()) stack_.back().subtree += top.subtree;
        if (stack_.empty()) done_ = true;
        if (top.dropped) return;
        folder.files = top.own.files;
        folder.bytes = top.own.bytes;
        folder.subtreeBytes = top.subtree;
        Note(sink_.EndFolder(folder));
    }

    void Note(WriteError e) {
        if (e && !error_) error_ = e;
    }

    const ListingOptions& options_;
    ScanHost& host_;
    RunTotals& totals_;
    ListingSink& sink_;
    WriteError& error_;
    SectionWriter section_;
    const std::string root_;
    const char separator_;
    const platform::HashAlgorithm hash_;
    std::string digest_;  // of the file record being replayed
    std::string target_;  // likewise
    std::vector<Open> stack_;
    bool done_ = false;
};

}  // namespace

bool ListingSource(const std::string& listingPath, ReplayResult& result, char& separator) {
    FilePtr f(std::fopen(listingPath.c_str(), "rb"));
    if (!f) {
        result = {false, 0, "cannot be read", {}};
        return false;
    }
    const std::optional<std::string> last = LastLine(f.get());
    auto fail = [&](const std::string& reason) {
        result = {false, std::max<std::uint64_t>(CountLines(f.get()), 1), reason, {}};
        return false;
    };
    if (!last) return fail("the listing is empty or ends in the middle of a line (cut short?)");
    ListingRecord record;
    try {
        if (!record.Parse(*last)) throw Invalid{"not a JSON record"};
        if (record.Text(Field::kKind) != "folder")
            throw Invalid{"the last record is not the source folder's (cut short?)"};
        result.source = record.Bytes(Field::kPath, Field::kPathBytes);
        // Listings written before the field have none; the caller then takes the file's time.
        if (record.Has(Field::kListedAt)) result.listedAt = record.Time(Field::kListedAt);
        if (record.Has(Field::kHashes)) {
            result.hash = platform::HashByName(record.Text(Field::kHashes));
            if (result.hash == platform::HashAlgorithm::kNone)
                throw Invalid{"unknown \"hashes\": " + record.Text(Field::kHashes)};
        }
    } catch (const Invalid& e) {
        return fail(e.reason);
    }
    if (result.source.empty()) return fail("the source folder has no path");
    // The separator is what follows the source in the first record's path;
    // a listing of nothing but its source says it by the source's form.
    const std::string& root = result.source;
    separator = root.size() >= 2 && root[1] == ':' ? '\\' : '/';
    std::rewind(f.get());
    std::string first;
    for (int c; (c = std::fgetc(f.get())) != EOF && c != '\n';) first += static_cast<char>(c);
    ListingRecord head;
    try {
        const std::string path = head.Parse(first) ? head.Bytes(Field::kPath, Field::kPathBytes) : std::string();
        if (path.size() > root.size() && path.compare(0, root.size(), root) == 0)
            separator = (root.back() == '/' || root.back() == '\\') ? root.back() : path[root.size()];
    } catch (const Invalid&) {
        // The reading proper names what is wrong with it, and where.
    }
    return true;
}

ReplayResult ReplayListing(const std::string& listingPath, const ListingOptions& options, ScanHost& host,
                           RunTotals& totals, ListingSink& sink, WriteError& writeError) {
    ReplayResult result;
    char separator = '/';
    if (!ListingSource(listingPath, result, separator)) return result;
    std::ifstream in(listingPath, std::ios::binary);
    if (!in) return {false, 0, "cannot be read", result.source};
    Replay replay(options, host, totals, sink, writeError, result.source, separator, result.hash);
    std::string line;
    std::uint64_t number = 0;
    ListingRecord record;
    try {
        while (std::getline(in, line)) {
            ++number;
            if (writeError) return result;  // the report is lost: reading on would not help it
            if (host.Stopped()) {
                replay.Stop();
                return result;
            }
            if (!record.Parse(line)) throw Invalid{"not a JSON record"};
            replay.Record(record);
        }
        if (in.bad()) throw Invalid{"read error"};
        if (!replay.Done()) throw Invalid{"the listing ends before its source folder's record"};
    } catch (const Invalid& e) {
        result.ok = false;
        result.line = number;
        result.reason = e.reason;
    }
    return result;
}

}  // namespace tf::listing
