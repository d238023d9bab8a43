#include "listing/scan/listing_replay.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cstdint>
#include <unordered_set>
#include <memory>
#include <optional>
#include <vector>

#include "listing/formats/record_text.h"
#include "listing/scan/listing_record.h"
#include "listing/scan/section_writer.h"
#include "platform/content_hash.h"
#include "platform/utf8.h"
#include "platform/wildcard.h"

namespace tf::listing {
namespace {

using Invalid = InvalidRecord;

// A name's place in its folder's set of names: two names alike by chance
// among a folder's millions are far less likely than a disk error.
std::uint64_t NameKey(std::string_view name) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : name) h = (h ^ c) * 0x100000001b3ull;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ull;
    return h ^ (h >> 32);
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
        Named(top, name, path);
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
            target_ = record.Bytes(Field::kTarget, Field::kTargetBytes);
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
        std::unordered_set<std::uint64_t> names;  // of its files, links and subfolders so far
    };

    // Each name once in its folder: a path listed twice is not a listing.
    void Named(Open& folder, std::string_view name, const std::string& path) {
        if (!folder.names.insert(NameKey(name)).second) throw Invalid{path + " is listed twice"};
    }

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
            Named(stack_.back(), name, child);
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
        Named(stack_.back(), folder.facts.name, folder.path);
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

struct ListingInput::File {
    std::unique_ptr<platform::ContentFile> content;
};

ListingInput::ListingInput() = default;
ListingInput::~ListingInput() = default;

std::uint64_t ListingInput::FileModified() const {
    return file_ && file_->content ? file_->content->Modified() : 0;
}

bool ListingInput::Open(const std::string& path) {
    path_ = path;
    head_ = ReplayResult{};
    file_ = std::make_unique<File>();
    if (platform::OpenSavedFile(path, file_->content) != platform::ContentStatus::kRead) {
        head_ = {false, 0, "cannot be read", {}};
        return false;
    }
    platform::ContentFile& f = *file_->content;
    auto fail = [&](const std::string& reason) {
        Rewind();
        std::string line;
        while (NextLine(line)) {
        }
        head_ = {false, std::max<std::uint64_t>(number_, 1), reason, {}};
        return false;
    };
    // The last line, read back from the end.
    std::string tail;
    std::uint64_t at = f.Size();
    std::optional<std::string> last;
    while (at > 0) {
        const std::uint64_t chunk = std::min<std::uint64_t>(at, 1 << 16);
        at -= chunk;
        std::string piece(static_cast<std::size_t>(chunk), '\0');
        if (f.ReadAt(at, piece.data(), piece.size()) != static_cast<std::int64_t>(piece.size())) break;
        tail.insert(0, piece);
        if (tail.back() != '\n') break;
        const std::size_t start = tail.rfind('\n', tail.size() - 2);
        if (start != std::string::npos) {
            last = tail.substr(start + 1, tail.size() - start - 2);
            break;
        }
        if (at == 0) last = tail.substr(0, tail.size() - 1);
    }
    if (!last) return fail("the listing is empty or ends in the middle of a line (cut short?)");
    ListingRecord record;
    try {
        if (!record.Parse(*last)) throw Invalid{"not a JSON record"};
        if (record.Text(Field::kKind) != "folder")
            throw Invalid{"the last record is not the source folder's (cut short?)"};
        head_.source = record.Bytes(Field::kPath, Field::kPathBytes);
        // Listings written before the field have none; the caller then takes the file's time.
        if (record.Has(Field::kListedAt)) head_.listedAt = record.Time(Field::kListedAt);
        if (record.Has(Field::kHashes)) {
            head_.hash = platform::HashByName(record.Text(Field::kHashes));
            if (head_.hash == platform::HashAlgorithm::kNone)
                throw Invalid{"unknown \"hashes\": " + record.Text(Field::kHashes)};
        }
    } catch (const Invalid& e) {
        return fail(e.reason);
    }
    if (head_.source.empty()) return fail("the source folder has no path");
    // The separator is what follows the source in the first record's path;
    // a listing of nothing but its source says it by the source's form.
    const std::string& root = head_.source;
    separator_ = root.size() >= 2 && root[1] == ':' ? '\\' : '/';
    Rewind();
    std::string first;
    NextLine(first);
    Rewind();
    ListingRecord headRecord;
    try {
        const std::string firstPath =
            headRecord.Parse(first) ? headRecord.Bytes(Field::kPath, Field::kPathBytes) : std::string();
        if (firstPath.size() > root.size() && firstPath.compare(0, root.size(), root) == 0)
            separator_ = (root.back() == '/' || root.back() == '\\') ? root.back() : firstPath[root.size()];
    } catch (const Invalid&) {
        // The reading proper names what is wrong with it, and where.
    }
    return true;
}

void ListingInput::Rewind() {
    buffer_.clear();
    next_ = 0;
    bufferAt_ = 0;
    number_ = lineStart_ = 0;
    failed_ = false;
}

bool ListingInput::Fill() {
    const std::uint64_t end = bufferAt_ + buffer_.size();
    buffer_.erase(0, next_);
    bufferAt_ += next_;
    next_ = 0;
    const std::size_t had = buffer_.size();
    buffer_.resize(had + (1 << 18));
    const std::int64_t n = file_->content->ReadAt(end, buffer_.data() + had, buffer_.size() - had);
    buffer_.resize(had + static_cast<std::size_t>(n > 0 ? n : 0));
    if (n < 0) failed_ = true;
    return n > 0;
}

bool ListingInput::NextLine(std::string& line) {
    std::string_view view;
    if (!NextLine(view)) return false;
    line.assign(view);
    return true;
}

bool ListingInput::NextLine(std::string_view& line) {
    if (!file_ || !file_->content) return false;
    for (;;) {
        const std::size_t end = buffer_.find('\n', next_);
        if (end != std::string::npos) {
            line = std::string_view(buffer_).substr(next_, end - next_);
            lineStart_ = bufferAt_ + next_;
            next_ = end + 1;
            ++number_;
            return true;
        }
        if (!Fill()) {
            if (next_ >= buffer_.size()) return false;
            line = std::string_view(buffer_).substr(next_);  // a last line without its end
            lineStart_ = bufferAt_ + next_;
            next_ = buffer_.size();
            ++number_;
            return true;
        }
    }
}

bool ListingInput::LineAt(std::uint64_t at, std::string& line) {
    line.clear();
    char piece[4096];
    for (;;) {
        const std::int64_t n = file_->content->ReadAt(at, piece, sizeof piece);
        if (n <= 0) return n == 0 && !line.empty();
        const auto* end = static_cast<const char*>(std::memchr(piece, '\n', static_cast<std::size_t>(n)));
        if (end) {
            line.append(piece, static_cast<std::size_t>(end - piece));
            return true;
        }
        line.append(piece, static_cast<std::size_t>(n));
        at += static_cast<std::uint64_t>(n);
    }
}

ReplayResult ReplayListing(ListingInput& input, const ListingOptions& options, ScanHost& host, RunTotals& totals,
                           ListingSink& sink, WriteError& writeError) {
    ReplayResult result = input.Head();
    if (!result.ok) return result;
    input.Rewind();
    Replay replay(options, host, totals, sink, writeError, result.source, input.Separator(), result.hash);
    std::string line;
    ListingRecord record;
    try {
        while (input.NextLine(line)) {
            if (writeError) return result;  // the report is lost: reading on would not help it
            if (host.Stopped()) {
                replay.Stop();
                return result;
            }
            if (!record.Parse(line)) throw Invalid{"not a JSON record"};
            replay.Record(record);
        }
        if (input.ReadFailed()) throw Invalid{"read error"};
        if (!replay.Done()) throw Invalid{"the listing ends before its source folder's record"};
    } catch (const Invalid& e) {
        result.ok = false;
        result.line = input.LineNumber();
        result.reason = e.reason;
    }
    return result;
}

}  // namespace tf::listing
