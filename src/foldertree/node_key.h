#pragma once
// Node keys of the folder tree. A key names the node and, for real folders,
// the folder itself: "Desktop" for the root, "::{...}" for virtual shell
// folders, "C:" for a drive and parent key + "\" + name below it.
#include <string>
#include <string_view>

namespace tf::foldertree {

inline constexpr std::string_view kRootKey = "Desktop";
inline constexpr std::string_view kComputerKey = "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
inline constexpr std::string_view kControlPanelKey = "::{21EC2020-3AEA-1069-A2DD-08002B30309D}";
inline constexpr std::string_view kControlPanelCategoryKey = "::{26EE0668-A00A-44D7-9371-BEB064C98683}";
inline constexpr std::string_view kNetworkKey = "::{F02C1A0D-BE21-4350-88B0-7367FC96EF3C}";
inline constexpr std::string_view kRecycleBinKey = "::{645FF040-5081-101B-9F08-00AA002F954E}";

// The text begins with "::{": a shell folder known by class identifier.
bool IsClassIdPath(std::string_view text);

// Exactly one ASCII letter, a colon and a backslash ("C:\").
bool IsDriveRootPath(std::string_view text);

// Names of zip folders the shell presents as folders. The test keeps the
// alternation of the pattern "\.(zip)|(ZIP)$": ".zip" anywhere, or "ZIP" at
// the very end, so "Archive.zip" and "BACKUPZIP" match and "Archive.Zip"
// does not.
class ZipNameTest {
public:
    bool Test(std::string_view displayName) const;
};

// Key of an item of the computer folder: class-identifier paths as they are,
// drive roots cut to letter and colon, anything else as reported.
std::string ComputerChildKey(const std::string& path);

// What a click on a node puts into the source field and the status panel.
struct SourceFolder {
    std::string dir;
    std::string status;
};

// An upper-case drive root "C:\" becomes "C:" in both; a virtual folder
// gives an empty source but keeps its key in the status panel.
SourceFolder SourceFolderForKey(const std::string& key);

}  // namespace tf::foldertree
