#include "listing/explorer/explorer_sink.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace tf::listing {
namespace {

// A write that fails is reported, not taken for a finished page.
TEST(ExplorerSink, AFullDiskIsReported) {
    ExplorerSink sink("/dev/full");
    ListingOptions options;
    options.source = "/data";
    EXPECT_EQ(sink.Begin({options, '/', 0}), ENOSPC);
}

TEST(ExplorerSink, AnUnwritablePathFailsAtBegin) {
    ExplorerSink sink(::testing::TempDir() + "no-such-folder/page.html");
    ListingOptions options;
    EXPECT_EQ(sink.Begin({options, '/', 0}), ENOENT);
}

}  // namespace
}  // namespace tf::listing
