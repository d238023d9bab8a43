#include "listing/scan/folder_scan.h"

#include <algorithm>

#include "listing/scan/hash_ahead.h"
#include "platform/utf8.h"
#include "platform/wildcard.h"

namespace tf::listing {
namespace {

// Sizes from the search itself are trusted below 2^31; larger files ask the
// file system for their full size.
constexpr std::uint32_t kLargeFileThreshold = 0x80000000u;

SkipReason ReasonOf(platform::SearchStatus status) {
    switch (status) {
        case platform::SearchStatus::kListed: return SkipReason::kNone;
        case platform::SearchStatus::kMissing: return SkipReason::kVanished;
        case platform::SearchStatus::kDenied: return SkipReason::kDenied;
        case platform::SearchStatus::kTooLong: return SkipReason::kTooLong;
        case platform::SearchStatus::kFailed: break;
    }
    return SkipReason::kUnreadable;
}

bool MatchesAny(const std::vector<std::string>& patterns, const std::string& name) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [&name](const std::string& p) { return platform::WildcardMatch(p, name); });
}

}  // namespace

bool IsExcludedName(const ListingOptions& options, const std::string& name) {
    return MatchesAny(options.excludes, name);
}

bool IsWantedFile(const ListingOptions& options, const std::string& name) {
    if (IsExcludedName(options, name)) return false;
    return options.filters.empty() || MatchesAny(options.filters, name);
}

bool IsDirectory(platform::FileSystem& fs, const std::string& path) { return fs.IsDirectory(path); }

bool IsWalkedSubfolder(const ListingOptions& options, const std::string& name, const platform::FindData& sub) {
    if (!sub.isDirectory || platform::IsDotEntry(name)) return false;
    if (sub.isLink && !options.followLinks) return false;  // listed as a row instead
    return !IsExcludedName(options, name);
}

SkipReason RefusalOf(const ListingOptions& options, platform::FileSystem& fs, const platform::FolderId& sourceId,
                     const std::string& parent, const platform::FolderId& parentId, const std::string& name,
                     const platform::FindData& sub) {
    const platform::FolderId& id = sub.folderId;
    if (!id.known) return SkipReason::kNone;
    if (options.oneFileSystem && sourceId.known && id.device != sourceId.device) return SkipReason::kOtherFileSystem;
    if (parentId.known && id.device != parentId.device &&
        fs.IsPseudoFileSystem(platform::JoinPath(parent, name, fs.Separator())))
        return SkipReason::kPseudoFileSystem;
    return SkipReason::kNone;
}

platform::ListingWalk WalkOf(const ListingOptions& options, platform::FileSystem& fs) {
    platform::ListingWalk walk;
    walk.root = options.source;
    walk.pattern = options.filter;
    walk.maxDepth = options.maxDepth;
    walk.enters = [options, &fs, sourceId = fs.Identify(options.source)](
                      const std::string& parent, const platform::FolderId& parentId, const platform::FindData& sub) {
        const std::string name = platform::delete_Null(sub.name);
        return IsWalkedSubfolder(options, name, sub) &&
               RefusalOf(options, fs, sourceId, parent, parentId, name, sub) == SkipReason::kNone;
    };
    return walk;
}

void HashContent(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host, RunTotals& totals,
                 const std::string& path, ListedFile& file, std::string& digest, const EarlierHashes* earlier) {
    if (BeforeHashing(options, totals, path, file, digest, earlier)) HashNow(options, fs, host, totals, path, file, digest);
}

FolderScan::FolderScan(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host, RunTotals& totals,
                       ListingSink& sink)
    : options_(options), fs_(fs), host_(host), totals_(totals), sink_(sink), section_(options, sink, totals, error_) {
    if (options.hash == platform::HashAlgorithm::kNone) return;
    if (const unsigned helpers = platform::ContentHelpers(options.readAhead))
        hashAhead_ = std::make_unique<HashAhead>(options, fs, host, totals, helpers,
                                                 [this](const ListedFile& file) { section_.Add(file); });
}

FolderScan::~FolderScan() = default;

void FolderScan::LeaveOut(const std::string& reportPath) {
    if (reportPath.empty() || reportPath == "-") return;
    const std::size_t cut = reportPath.find_last_of(fs_.Separator() == '/' ? "/" : "/\\");
    ownName_ = cut == std::string::npos ? reportPath : reportPath.substr(cut + 1);
    ownFolder_ = cut == std::string::npos ? "." : cut == 0 ? reportPath.substr(0, 1) : reportPath.substr(0, cut);
    ownFolderId_ = fs_.Identify(ownFolder_);
}

bool FolderScan::IsOwnReport(const std::string& folder, const std::string& name) const {
    // The partial file is the name and ".partial", with more after it when
    // that name was taken.
    if (ownName_.empty() || name.compare(0, ownName_.size(), ownName_) != 0) return false;
    if (name.size() != ownName_.size() && name.compare(ownName_.size(), 8, ".partial") != 0) return false;
    return (ownFolderId_.known && folderId_ == ownFolderId_) || folder == ownFolder_;
}

void FolderScan::ScanFolder(const std::string& path) {
    platform::FindData self;
    fs_.Describe(path, self);
    self.folderId = fs_.Identify(path);
    sourceId_ = self.folderId;
    visited_.clear();
    if (sourceId_.known) visited_.insert(sourceId_);
    Visit(path, self, 0);
}

std::uint64_t FolderScan::Visit(const std::string& path, const platform::FindData& self, int depth) {
    if (Halted()) return 0;

    std::vector<Subfolder> subfolders;
    const bool descend = options_.maxDepth < 0 || depth < options_.maxDepth;
    section_.Open(path, depth);
    folderId_ = self.folderId;
    const platform::SearchStatus status = ReadFolder(path, descend, subfolders);
    const SkipReason reason = ReasonOf(status);
    if (reason != SkipReason::kNone) Skip(path, reason);
    const SectionTotals own = section_.End(reason);

    std::uint64_t subtree = own.bytes;
    if (!subfolders.empty()) subtree += ScanSubfolders(path, self.folderId, depth, subfolders);
    FolderRecord record = RecordOf(path, self);
    record.files = own.files;
    record.bytes = own.bytes;
    record.subtreeBytes = subtree;
    record.skipped = reason;
    Note(sink_.EndFolder(record));
    return subtree;
}

platform::SearchStatus FolderScan::ReadFolder(const std::string& path, bool descend,
                                              std::vector<Subfolder>& subfolders) {
    const char separator = fs_.Separator();
    bool first = true;
    std::string full, type;
    const platform::SearchStatus status = fs_.ReadFolder(
        path, options_.filter, descend, [&](const platform::FindData& entry, platform::SearchDetail role) {
            if (role == platform::SearchDetail::kFolders) {
                if (Halted()) return false;
                std::string name = platform::delete_Null(entry.name);
                if (!entry.isDirectory || platform::IsDotEntry(name)) return true;
                if (entry.isLink && !options_.followLinks) return true;  // listed as a row instead
                const SkipReason excluded =
                    IsExcludedName(options_, name) ? SkipReason::kExcluded : SkipReason::kNone;
                subfolders.push_back({std::move(name), entry, excluded});
                return true;
            }
            if (!first) host_.PumpEvents();  // also for entries skipped below
            first = false;
            // Stop ends the folder here: its section keeps the rows so far.
            if (Halted()) return false;
            const std::string name = platform::delete_Null(entry.name);
            if (platform::IsDotEntry(name)) return true;
            // A link to a folder that is not followed is a row of its own.
            if (entry.isDirectory && !(entry.isLink && !options_.followLinks)) return true;
            if (!IsWantedFile(options_, name) || IsOwnReport(path, name)) return true;

            full = platform::JoinPath(path, name, separator);
            host_.SetStatus(full);
            type = platform::delete_Null(fs_.TypeName(full));
            ListedFile file;
            file.name = name;
            file.type = type;
            file.kind = entry.isLink ? EntryKind::kLink : EntryKind::kFile;
            file.size = (entry.sizeHigh == 0 && entry.sizeLow < kLargeFileThreshold) ? entry.sizeLow
                                                                                     : fs_.LargeFileSize(full);
            file.allocated = entry.allocated;
            file.created = entry.creationTime;
            file.modified = entry.lastWriteTime;
            file.inode = entry.inode;
            file.links = entry.links;
            file.special = entry.special;
            file.target = entry.linkTarget;
            file.stamp = entry.stamp;
            if (hashAhead_) {
                const bool reads = BeforeHashing(options_, totals_, full, file, digest_, earlier_);
                hashAhead_->Row(full, file, reads);
                return true;
            }
            HashContent(options_, fs_, host_, totals_, full, file, digest_, earlier_);
            section_.Add(file);
            return true;
        });
    // The folder's rows, their hashes taken, all go before its section ends.
    if (hashAhead_) hashAhead_->Flush(Halted());
    // Subfolders found before a failure are not a listing of the folder.
    if (status != platform::SearchStatus::kListed) subfolders.clear();
    return status;
}

std::uint64_t FolderScan::ScanSubfolders(const std::string& path, const platform::FolderId& id, int depth,
                                         std::vector<Subfolder>& subfolders) {
    const char separator = fs_.Separator();
    // The real folders here are claimed before any link further down can
    // reach them, so each folder is listed under its own path if it can be.
    for (Subfolder& sub : subfolders) {
        if (sub.refused == SkipReason::kExcluded) continue;
        sub.refused = RefusalOf(options_, fs_, sourceId_, path, id, sub.name, sub.data);
        if (sub.refused == SkipReason::kNone && sub.data.folderId.known && !sub.data.isLink &&
            !visited_.insert(sub.data.folderId).second)
            sub.refused = SkipReason::kAlreadyListed;
    }

    std::uint64_t subtree = 0;
    for (Subfolder& sub : subfolders) {
        const std::string full = platform::JoinPath(path, sub.name, separator);
        if (sub.refused == SkipReason::kExcluded) {
            // Left out on purpose: no total counts it.
            if (Halted()) continue;
            FolderRecord record = RecordOf(full, sub.data);
            record.skipped = sub.refused;
            Note(sink_.FolderSkipped(record));
            continue;
        }
        ++totals_.totalFolders;
        host_.SetStatus(full);
        if (Halted()) continue;  // counted and shown, but not scanned
        if (sub.refused == SkipReason::kNone && sub.data.isLink && sub.data.folderId.known &&
            !visited_.insert(sub.data.folderId).second)
            sub.refused = SkipReason::kAlreadyListed;
        if (sub.refused == SkipReason::kNone) {
            subtree += Visit(full, sub.data, depth + 1);
            continue;
        }
        Skip(full, sub.refused);
        FolderRecord record = RecordOf(full, sub.data);
        record.skipped = sub.refused;
        Note(sink_.FolderSkipped(record));
    }
    return subtree;
}

void FolderScan::Skip(const std::string& path, SkipReason reason) {
    ++totals_.skippedFolders;
    host_.FolderSkipped(path, reason);
}

FolderRecord FolderScan::RecordOf(const std::string& path, const platform::FindData& self) const {
    FolderRecord record;
    record.path = path;
    record.facts.name = platform::LastName(path, fs_.Separator());
    record.facts.kind = EntryKind::kFolder;
    record.facts.created = self.creationTime;
    record.facts.modified = self.lastWriteTime;
    return record;
}

}  // namespace tf::listing
