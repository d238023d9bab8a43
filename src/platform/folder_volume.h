#pragma once
// The volume a folder lies on, as the system describes it: enough to decide
// whether the folder can be listed from the volume's file table.
#include <string>

namespace tf::platform {

struct FolderVolume {
    std::string root;        // the volume's root as a path ("C:\", UTF-8); empty: not known
    std::string fullPath;    // the folder's full path, beginning with `root` (UTF-8)
    std::string fileSystem;  // as the system names it: "NTFS", "FAT32", ...
    bool local = false;      // a fixed or removable drive of this machine
    std::string device;      // opens the whole volume with OpenVolumeFile
    // The program's names are UTF-8, as the file table's are: otherwise a
    // name outside the code page would differ between the two listings.
    bool utf8Names = false;
};

// The volume `folder` lies on (win32/); nothing is known elsewhere, where
// folders are walked.
FolderVolume VolumeOfFolder(const std::string& folder);

}  // namespace tf::platform
