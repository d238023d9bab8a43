#include "listing/explorer_sink.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace tf::listing {
namespace {

// A write that fails is reported, not taken for a finished page: the page
// on a full disk.
TEST(ExplorerSink, AFullDiskIsReportedByClose) {
    ExplorerSink sink("/dev/full");
    ListingOptions options;
    options.source = "/data";
    ASSERT_EQ(sink.Begin({options, '/', 0}), 0);
    ASSERT_EQ(sink.BeginSection({options.source, 0}), 0);
    const std::string name(200, 'n');
    ListedFile file;
    file.name = name;
    file.type = "N File";
    for (int i = 0; i < 2000; ++i) sink.Row(file);
    EXPECT_EQ(sink.Close(), ENOSPC);
}

TEST(ExplorerSink, AnUnwritablePathFailsAtBegin) {
    ExplorerSink sink(::testing::TempDir() + "no-such-folder/page.html");
    ListingOptions options;
    EXPECT_EQ(sink.Begin({options, '/', 0}), ENOENT);
}

}  // namespace
}  // namespace tf::listing
