#include <windows.h>

#include <gtest/gtest.h>

#include "platform/file_system.h"

namespace {

TEST(Win32FileSystem, Placeholder) {
    auto fs = tf::platform::CreateFileSystem();
    EXPECT_EQ(fs->Separator(), '\\');
}

}  // namespace
