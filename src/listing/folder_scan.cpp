#include "listing/folder_scan.h"

#include <algorithm>

#include "listing/case_fold.h"
#include "listing/text_units.h"
#include "platform/wildcard.h"

namespace tf::listing {
namespace {

constexpr std::size_t kNameLimit = 35;
constexpr std::size_t kTypeLimit = 20;
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

bool IsDirectory(platform::FileSystem& fs, const std::string& path) { return fs.IsDirectory(path); }

bool IsWalkedSubfolder(const ListingOptions& options, const std::string& name, const platform::FindData& sub) {
    if (!sub.isDirectory || platform::IsDotEntry(name)) return false;
    if (sub.isLink && !options.followLinks) return false;  // listed as a row instead
    return !MatchesAny(options.excludes, name);
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
        const std::string name = delete_Null(sub.name);
        return IsWalkedSubfolder(options, name, sub) &&
               RefusalOf(options, fs, sourceId, parent, parentId, name, sub) == SkipReason::kNone;
    };
    return walk;
}

const char* SkipReasonText(SkipReason reason) {
    switch (reason) {
        case SkipReason::kNone: return "";
        case SkipReason::kDenied: return "permission denied";
        case SkipReason::kVanished: return "vanished";
        case SkipReason::kTooLong: return "path too long";
        case SkipReason::kUnreadable: return "cannot be read";
        case SkipReason::kAlreadyListed: return "loop refused: already listed";
        case SkipReason::kOtherFileSystem: return "other file system";
        case SkipReason::kPseudoFileSystem: return "pseudo file system";
    }
    return "";
}

FolderScan::FolderScan(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host, RunTotals& totals,
                       SectionSink sink, FolderEndSink folderEnd)
    : options_(options),
      fs_(fs),
      host_(host),
      totals_(totals),
      sink_(std::move(sink)),
      folderEnd_(std::move(folderEnd)) {}

void FolderScan::ScanFolder(const std::string& path) {
    platform::FindData self;
    if (folderEnd_) fs_.Describe(path, self);
    self.folderId = fs_.Identify(path);
    sourceId_ = self.folderId;
    visited_.clear();
    if (sourceId_.known) visited_.insert(sourceId_);
    Visit(path, self, 0);
}

std::uint64_t FolderScan::Visit(const std::string& path, const platform::FindData& self, int depth) {
    if (host_.Stopped()) return 0;

    FolderSection section;
    section.heading.text[kName] = path;
    std::vector<Subfolder> subfolders;
    const bool descend = options_.maxDepth < 0 || depth < options_.maxDepth;
    const platform::SearchStatus status = ReadFolder(path, descend, section, subfolders);
    const SkipReason reason = ReasonOf(status);
    if (reason != SkipReason::kNone) Skip(path, reason);
    if (options_.order != kNoOrder) SortFiles(section.files);
    sink_(section);
    const std::uint64_t files = section.files.size();
    std::uint64_t bytes = 0;
    for (const ListingEntry& row : section.files) bytes += row.facts.size;
    section = FolderSection{};  // only one folder's rows are held at a time

    std::uint64_t subtree = bytes;
    if (!subfolders.empty()) subtree += ScanSubfolders(path, self.folderId, depth, subfolders);
    if (folderEnd_) {
        FolderRecord record;
        record.path = path;
        record.files = files;
        record.bytes = bytes;
        record.subtreeBytes = subtree;
        record.skipped = reason;
        EndFolder(record, self);
    }
    return subtree;
}

platform::SearchStatus FolderScan::ReadFolder(const std::string& path, bool descend, FolderSection& section,
                                              std::vector<Subfolder>& subfolders) {
    const char separator = fs_.Separator();
    const bool facts = folderEnd_ != nullptr;
    std::uint64_t fileCount = 0, byteSum = 0;
    bool first = true;
    const platform::SearchStatus status = fs_.ReadFolder(
        path, options_.filter, descend, [&](const platform::FindData& entry, platform::SearchDetail role) {
            if (role == platform::SearchDetail::kFolders) {
                std::string name = delete_Null(entry.name);
                if (IsWalkedSubfolder(options_, name, entry)) subfolders.push_back({std::move(name), entry});
                return;
            }
            if (!first) host_.PumpEvents();  // also for entries skipped below
            first = false;
            const std::string name = delete_Null(entry.name);
            if (platform::IsDotEntry(name)) return;
            // A link to a folder that is not followed is a row of its own.
            if (entry.isDirectory && !(entry.isLink && !options_.followLinks)) return;
            if (!Wanted(name)) return;

            const std::string full = platform::JoinPath(path, name, separator);
            host_.SetStatus(full);

            ListingEntry row;
            row.text[kName] = CutToChars(name, kNameLimit, options_.names);
            if (options_.recordType || facts) {
                std::string type = delete_Null(fs_.TypeName(full));
                if (options_.recordType) row.text[kType] = CutToChars(type, kTypeLimit, options_.names);
                if (facts) row.facts.type = std::move(type);
            }
            const std::uint64_t size = (entry.sizeHigh == 0 && entry.sizeLow < kLargeFileThreshold)
                                           ? entry.sizeLow
                                           : fs_.LargeFileSize(full);
            if (options_.recordSize) row.text[kSize] = std::to_string(RoundScaledBytes(size, 1));
            if (options_.recordCreated) row.text[kCreated] = DateText(entry.creationTime);
            if (options_.recordModified) row.text[kModified] = DateText(entry.lastWriteTime);
            if (facts) row.facts.name = name;
            row.facts.kind = entry.isLink ? EntryKind::kLink : EntryKind::kFile;
            row.facts.size = size;
            row.facts.created = entry.creationTime;
            row.facts.modified = entry.lastWriteTime;
            section.files.push_back(std::move(row));
            ++fileCount;
            byteSum += size;
        });
    if (status != platform::SearchStatus::kListed) {
        // Whatever came before the failure is not a listing of the folder.
        section.files.clear();
        subfolders.clear();
        fileCount = byteSum = 0;
    }
    totals_.totalFiles += fileCount;
    totals_.totalBytes += byteSum;
    section.summary.text[kName] = "Info";
    section.summary.text[kType] = "File(s): " + std::to_string(fileCount) + " - Size: " + std::to_string(byteSum) +
                                  " Byte(s).";
    return status;
}

void FolderScan::SortFiles(std::vector<ListingEntry>& files) const {
    const int column = options_.order;
    if (column < 0 || column >= kColumnCount) return;
    const platform::NameEncoding names = options_.names;
    std::stable_sort(files.begin(), files.end(), [column, names](const ListingEntry& a, const ListingEntry& b) {
        return CompareIgnoringCase(a.text[column], b.text[column], names) < 0;
    });
}

std::uint64_t FolderScan::ScanSubfolders(const std::string& path, const platform::FolderId& id, int depth,
                                         std::vector<Subfolder>& subfolders) {
    const char separator = fs_.Separator();
    // The real folders here are claimed before any link further down can
    // reach them, so each folder is listed under its own path if it can be.
    for (Subfolder& sub : subfolders) {
        sub.refused = RefusalOf(options_, fs_, sourceId_, path, id, sub.name, sub.data);
        if (sub.refused == SkipReason::kNone && sub.data.folderId.known && !sub.data.isLink &&
            !visited_.insert(sub.data.folderId).second)
            sub.refused = SkipReason::kAlreadyListed;
    }

    std::uint64_t subtree = 0;
    for (Subfolder& sub : subfolders) {
        const std::string full = platform::JoinPath(path, sub.name, separator);
        ++totals_.totalFolders;
        host_.SetStatus(full);
        if (host_.Stopped()) continue;  // counted and shown, but not scanned
        if (sub.refused == SkipReason::kNone && sub.data.isLink && sub.data.folderId.known &&
            !visited_.insert(sub.data.folderId).second)
            sub.refused = SkipReason::kAlreadyListed;
        if (sub.refused == SkipReason::kNone) {
            subtree += Visit(full, sub.data, depth + 1);
            continue;
        }
        Skip(full, sub.refused);
        if (folderEnd_) {
            FolderRecord record;
            record.path = full;
            record.skipped = sub.refused;
            EndFolder(record, sub.data);
        }
    }
    return subtree;
}

bool FolderScan::Wanted(const std::string& name) const {
    if (MatchesAny(options_.excludes, name)) return false;
    return options_.filters.empty() || MatchesAny(options_.filters, name);
}

void FolderScan::Skip(const std::string& path, SkipReason reason) {
    ++totals_.skippedFolders;
    host_.FolderSkipped(path, reason);
}

void FolderScan::EndFolder(FolderRecord& record, const platform::FindData& self) {
    const std::size_t cut = record.path.rfind(fs_.Separator());
    record.facts.name = (cut == std::string::npos || cut + 1 == record.path.size()) ? record.path
                                                                                     : record.path.substr(cut + 1);
    record.facts.kind = EntryKind::kFolder;
    record.facts.created = self.creationTime;
    record.facts.modified = self.lastWriteTime;
    folderEnd_(record);
}

}  // namespace tf::listing
