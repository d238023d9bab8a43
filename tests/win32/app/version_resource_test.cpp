// Every Windows program of the release carries the build's version in its
// version resource, as Explorer's properties and installers read it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/version.h"

namespace {

std::string StringValue(const std::vector<char>& block, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return "(missing)";
    return std::string(value);
}

TEST(VersionResource, EveryProgramCarriesTheBuildVersion) {
    for (const char* path : {TF_PROGRAM_TALLYFOLD, TF_PROGRAM_LIST, TF_PROGRAM_PNG, TF_PROGRAM_SKIN}) {
        SCOPED_TRACE(path);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
        ASSERT_GT(size, 0u) << "no version resource";
        std::vector<char> block(size);
        ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));

        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
        const DWORD high = MAKELONG(TALLYFOLD_VERSION_MINOR, TALLYFOLD_VERSION_MAJOR);
        const DWORD low = MAKELONG(0, TALLYFOLD_VERSION_PATCH);
        EXPECT_EQ(fixed->dwFileVersionMS, high);
        EXPECT_EQ(fixed->dwFileVersionLS, low);
        EXPECT_EQ(fixed->dwProductVersionMS, high);
        EXPECT_EQ(fixed->dwProductVersionLS, low);

        EXPECT_EQ(StringValue(block, "FileVersion"), TALLYFOLD_VERSION);
        EXPECT_EQ(StringValue(block, "ProductVersion"), TALLYFOLD_VERSION);
        EXPECT_EQ(StringValue(block, "ProductName"), "Tallyfold");
        EXPECT_EQ(StringValue(block, "LegalCopyright"), TALLYFOLD_COPYRIGHT);
        const std::string file(path);
        EXPECT_EQ(StringValue(block, "OriginalFilename"), file.substr(file.find_last_of("/\\") + 1));
        EXPECT_GT(StringValue(block, "FileDescription").size(), 10u);
    }
}

}  // namespace
