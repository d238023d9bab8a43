#pragma once
#include <map>
#include <mutex>

#include "platform/file_system.h"

namespace tf::platform {

// The Windows file system. Names and paths are text of the active code page.
class Win32FileSystem final : public FileSystem {
public:
    char Separator() const override { return '\\'; }
    void Search(const std::string& folder, const std::string& pattern, SearchDetail detail,
                const std::function<void(const FindData&)>& visit) override;
    SearchStatus CheckedSearch(const std::string& folder, const std::string& pattern, SearchDetail detail,
                               const std::function<void(const FindData&)>& visit) override;
    SearchStatus ReadFolder(const std::string& folder, const std::string& pattern, bool folders,
                            const FolderVisitor& visit) override;
    bool IsDirectory(const std::string& path) override;
    std::uint64_t LargeFileSize(const std::string& path) override;
    std::string TypeName(const std::string& path) override;
    // The path length limit ends link cycles on Windows.
    FolderId Identify(const std::string&) override { return {}; }
    bool Describe(const std::string& folder, FindData& out) override;
    bool HasSubdirectory(const std::string& folder) override;
    NameEncoding Names() const override;

private:
    // A search whose visit answers false to end it.
    SearchStatus SearchUntil(const std::string& folder, const std::string& pattern, SearchDetail detail,
                             const std::function<bool(const FindData&)>& visit);
    // Bytes per cluster of the volume holding `folder`; 0 when unknown.
    std::uint64_t ClusterSize(const std::string& folder);

    std::map<std::string, std::string> typeNames_;  // lower-case extension -> type name
    std::mutex clusterMutex_;  // searches run on read-ahead threads too
    std::map<std::string, std::uint64_t> clusterSizes_;
};

}  // namespace tf::platform
