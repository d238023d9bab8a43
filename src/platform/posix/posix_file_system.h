#pragma once
#include "platform/file_system.h"

namespace tf::platform {

// A time of the system's (seconds and nanoseconds since 1970) in FILETIME
// ticks; 0 before 1601.
FileTicks ToTicks(std::int64_t seconds, std::uint32_t nanoseconds);

// Linux file system: readdir for the names, one statx per entry that needs
// details, links followed (and told apart).
class PosixFileSystem final : public FileSystem {
public:
    char Separator() const override { return '/'; }
    void Search(const std::string& folder, const std::string& pattern, SearchDetail detail,
                const std::function<void(const FindData&)>& visit) override;
    SearchStatus CheckedSearch(const std::string& folder, const std::string& pattern, SearchDetail detail,
                               const std::function<void(const FindData&)>& visit) override;
    SearchStatus ReadFolder(const std::string& folder, const std::string& pattern, bool folders,
                            const FolderVisitor& visit) override;
    bool IsDirectory(const std::string& path) override;
    std::uint64_t LargeFileSize(const std::string& path) override;
    std::string TypeName(const std::string& path) override;
    FolderId Identify(const std::string& folder) override;
    bool Describe(const std::string& folder, FindData& out) override;
    bool IsPseudoFileSystem(const std::string& folder) override;
};

}  // namespace tf::platform
