#include "listing/volume/file_table_choice.h"

#include "listing/formats/format_table.h"
#include "listing/volume/volume_file_system.h"

namespace tf::listing::volume {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string FileTableRefusal(const ListingOptions& options, const std::string& option) {
    if (options.hash != platform::HashAlgorithm::kNone || options.duplicates)
        return option + " reads no file contents: no --hash or --duplicates";
    // A format the program does not know (the window's typed text) writes
    // nothing: it needs no hashes.
    const FormatEntry* format = EntryOf(options.format);
    if (format && format->needsHashes != platform::HashAlgorithm::kNone)
        return option + " reads no file contents: the " + format->name + " format needs hashes";
    if (options.followLinks) return option + " cannot follow links: their targets may lie outside the volume";
    return std::string();
}

bool FolderBelowRoot(const std::string& fullPath, const std::string& root, std::string& folder) {
    if (root.empty() || fullPath.size() < root.size()) return false;
    for (std::size_t i = 0; i < root.size(); ++i) {
        if (Lower(fullPath[i]) != Lower(root[i]) && !(IsSeparator(fullPath[i]) && IsSeparator(root[i]))) return false;
    }
    // "C:\mnt\vol" is not on the root "C:\mnt\v".
    if (!IsSeparator(root.back()) && fullPath.size() > root.size() && !IsSeparator(fullPath[root.size()]))
        return false;
    folder.clear();
    for (std::size_t start = root.size(); start < fullPath.size();) {
        std::size_t end = start;
        while (end < fullPath.size() && !IsSeparator(fullPath[end])) ++end;
        if (end > start) {
            if (!folder.empty()) folder += '/';
            folder.append(fullPath, start, end - start);
        }
        start = end + 1;
    }
    return true;
}

FileTableListing ReadFileTable(const platform::FolderVolume& volume, const std::string& source, char separator,
                               platform::FileSystem* typeNames, const VolumeOpener& open,
                               const std::function<bool(std::uint64_t)>& keepGoing) {
    FileTableListing out;
    if (volume.root.empty() || volume.fileSystem != "NTFS" || !volume.local) {
        out.why = volume.root.empty() ? "the folder's volume is not known"
                  : !volume.local      ? "not a local drive"
                                       : "not an NTFS volume";
        return out;
    }
    out.outcome = TableOutcome::kNotRead;
    std::string folder;
    if (volume.device.empty() || !FolderBelowRoot(volume.fullPath, volume.root, folder)) {
        out.why = "the folder's place on the volume is not known";
        return out;
    }
    if (!volume.utf8Names) {
        out.why = "names outside the program's code page would differ from the walk's";
        return out;
    }
    std::unique_ptr<platform::VolumeFile> file;
    if (const std::string problem = open(volume.device, file); !problem.empty()) {
        out.outcome = TableOutcome::kNotOpened;
        out.why = "cannot open the volume " + volume.device + ": " + problem;
        return out;
    }
    bool stopped = false;
    const auto keep = [&](std::uint64_t records) {
        stopped = keepGoing && !keepGoing(records);
        return !stopped;
    };
    auto tree = std::make_shared<NtfsTree>();
    NtfsError error;
    if (!tree->Read(*file, error, keep)) {
        out.outcome = stopped ? TableOutcome::kStopped : TableOutcome::kNotRead;
        out.why = volume.device + ": the file table could not be read: " + error.Text();
        return out;
    }
    std::uint32_t record = 0;
    if (!FindFolder(*tree, folder, record)) {
        out.why = "no folder " + folder + " in the file table of " + volume.device;
        return out;
    }
    out.outcome = TableOutcome::kRead;
    out.fs = std::make_unique<VolumeFileSystem>(std::move(tree), source, record, separator, typeNames);
    return out;
}

std::string FileTableNote(const FileTableListing& listing) {
    switch (listing.outcome) {
        case TableOutcome::kRead: return "Read from the NTFS file table";
        case TableOutcome::kNotOpened:
            return "Walked the folders: run as administrator to read the NTFS file table, which is faster";
        case TableOutcome::kNotRead: return "Walked the folders: " + listing.why;
        case TableOutcome::kNotNtfs:
        case TableOutcome::kStopped: break;
    }
    return std::string();
}

}  // namespace tf::listing::volume
