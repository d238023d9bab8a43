#pragma once
// An NTFS volume read from its file table, served as a file system: the
// folder scan walks it as it walks a mounted tree, so every option, order
// and format of a listing is decided in one place for both.
#include <memory>
#include <string>

#include "listing/volume/ntfs_volume.h"
#include "platform/file_system.h"

namespace tf::listing::volume {

class VolumeFileSystem final : public platform::FileSystem {
public:
    // Paths are `root` (standing for `folder`, a record of `tree`) followed
    // by names separated by `separator`: '/' for an image, the system's own
    // where a folder of a mounted volume is listed, so the paths are the
    // walk's. Type names come from `typeNames` when given (the system's
    // own file system, which knows the same paths), else from the names.
    VolumeFileSystem(std::shared_ptr<const NtfsTree> tree, std::string root, std::uint32_t folder,
                     char separator = '/', platform::FileSystem* typeNames = nullptr);

    char Separator() const override { return separator_; }
    void Search(const std::string& folder, const std::string& pattern, platform::SearchDetail detail,
                const std::function<void(const platform::FindData&)>& visit) override;
    platform::SearchStatus CheckedSearch(const std::string& folder, const std::string& pattern,
                                         platform::SearchDetail detail,
                                         const std::function<void(const platform::FindData&)>& visit) override;
    platform::SearchStatus ReadFolder(const std::string& folder, const std::string& pattern, bool folders,
                                      const platform::FolderVisitor& visit) override;
    bool IsDirectory(const std::string& path) override;
    std::uint64_t LargeFileSize(const std::string& path) override;
    std::string TypeName(const std::string& path) override;
    platform::FolderId Identify(const std::string& folder) override;
    bool Describe(const std::string& folder, platform::FindData& out) override;
    bool IsPseudoFileSystem(const std::string&) override { return false; }

private:
    // The record at `path`; false when no such file is there.
    bool Resolve(const std::string& path, std::uint32_t& record) const;
    void Fill(std::uint32_t record, platform::FindData& data) const;

    std::shared_ptr<const NtfsTree> tree_;
    std::string root_;
    std::uint32_t folder_;
    char separator_;
    platform::FileSystem* typeNames_;
};

// Finds the folder at a '/'-separated path from the volume's root ("" or
// "/" for the root itself); false when there is no such folder.
bool FindFolder(const NtfsTree& tree, const std::string& path, std::uint32_t& record);

}  // namespace tf::listing::volume
