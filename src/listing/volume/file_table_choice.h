#pragma once
// Whether a folder is listed from its NTFS volume's file table or walked:
// the table where the folder lies on a local NTFS volume this program may
// read, the walk otherwise. Either way the listing's source and paths are
// the walk's, so the reports of both are alike.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "listing/listing_types.h"
#include "platform/file_system.h"
#include "platform/folder_volume.h"
#include "platform/volume_file.h"

namespace tf::listing::volume {

// What the user asked for: the program's choice, or one way forced.
enum class ListingWay { kAutomatic, kWalk, kFileTable };

enum class TableOutcome {
    kNotNtfs,    // not on a local NTFS volume: walked
    kRead,       // read from the file table
    kNotOpened,  // NTFS, but the volume could not be opened (it takes an administrator)
    kNotRead,    // NTFS and opened, but the table or the folder in it could not be read
    kStopped,    // stopped while the table was read
};

struct FileTableListing {
    TableOutcome outcome = TableOutcome::kNotNtfs;
    std::unique_ptr<platform::FileSystem> fs;  // with kRead: serves the listing
    std::string why;                           // why the table was not read
};

// What a listing from a file table cannot give with `options`, its words
// led by `option` (the way the user asked for the table), or empty.
std::string FileTableRefusal(const ListingOptions& options, const std::string& option);

// The part of `fullPath` below the volume's `root`, '/'-separated ("" for
// the root itself); false when `fullPath` does not lie on `root`. Letters'
// case does not matter, as on the volumes this is asked of.
bool FolderBelowRoot(const std::string& fullPath, const std::string& root, std::string& folder);

using VolumeOpener = std::function<std::string(const std::string& device, std::unique_ptr<platform::VolumeFile>& file)>;

// The file table of `volume` read for a listing of `source` (the folder as
// the user gave it), its paths `separator`-separated as the walk's; type
// names from `typeNames` when given. `keepGoing` is asked now and then with
// the records read so far: false stops the reading.
FileTableListing ReadFileTable(const platform::FolderVolume& volume, const std::string& source, char separator,
                               platform::FileSystem* typeNames, const VolumeOpener& open,
                               const std::function<bool(std::uint64_t)>& keepGoing = nullptr);

// What a status line says of how the listing was made; empty when the
// folder is not on NTFS.
std::string FileTableNote(const FileTableListing& listing);

}  // namespace tf::listing::volume
