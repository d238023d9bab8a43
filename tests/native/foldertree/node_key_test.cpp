#include <gtest/gtest.h>

#include "foldertree/node_key.h"
#include "foldertree/shell_path.h"

namespace tf::foldertree {
namespace {

TEST(NodeKey, ClassIdAndDriveRootPatterns) {
    EXPECT_TRUE(IsClassIdPath("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"));
    EXPECT_TRUE(IsClassIdPath("::{"));
    EXPECT_FALSE(IsClassIdPath(":{x"));
    EXPECT_FALSE(IsClassIdPath("C:\\::{x}"));

    EXPECT_TRUE(IsDriveRootPath("C:\\"));
    EXPECT_TRUE(IsDriveRootPath("z:\\"));
    for (const char* text : {"C:", "C:\\Windows", "1:\\", "CC:\\", "C:/", ""}) {
        EXPECT_FALSE(IsDriveRootPath(text)) << text;
    }
}

TEST(NodeKey, ZipPatternKeepsItsAlternation) {
    const ZipNameTest zip;
    for (const char* hidden : {"Archive.zip", "BACKUPZIP", "a.zipped", ".zip", "x.ZIP", "ZIP"}) {
        EXPECT_TRUE(zip.Test(hidden)) << hidden;
    }
    for (const char* shown : {"Archive.Zip", "zip", "ZIPS", "Archive zip", "ARCHIVE.ZIp", ""}) {
        EXPECT_FALSE(zip.Test(shown)) << shown;
    }
}

TEST(NodeKey, ComputerChildKeys) {
    EXPECT_EQ(ComputerChildKey("C:\\"), "C:");
    EXPECT_EQ(ComputerChildKey("d:\\"), "d:");
    EXPECT_EQ(ComputerChildKey("::{21EC2020-3AEA-1069-A2DD-08002B30309D}"), "::{21EC2020-3AEA-1069-A2DD-08002B30309D}");
    EXPECT_EQ(ComputerChildKey("\\\\server\\share"), "\\\\server\\share");
}

TEST(ShellPath, ClassIdSegmentsUpperCasedAndTrailingSeparatorDropped) {
    EXPECT_EQ(CanonicalShellPath("::{20d04fe0-3aea-1069-a2d8-08002b30309d}"), std::string(kComputerKey));
    EXPECT_EQ(CanonicalShellPath("::{20d04fe0-3aea-1069-a2d8-08002b30309d}\\::{21ec2020-3aea-1069-a2dd-08002b30309d}"),
              std::string(kComputerKey) + "\\" + std::string(kControlPanelKey));
    // Only the identifiers change; the rest of a path keeps its case.
    EXPECT_EQ(CanonicalShellPath("C:\\users\\ann\\Documents\\"), "C:\\users\\ann\\Documents");
    EXPECT_EQ(CanonicalShellPath("::{abc}\\sub{x}"), "::{ABC}\\sub{x}");
    EXPECT_EQ(CanonicalShellPath("C:\\"), "C:\\");
    EXPECT_EQ(CanonicalShellPath("::{abc"), "::{ABC");
    EXPECT_EQ(CanonicalShellPath(""), "");
}

}  // namespace
}  // namespace tf::foldertree
