// The duplicates report's comparison as its host sees it: progress figures
// that add up, and a stop obeyed inside a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "listing/listing_run.h"
#include "platform/posix/posix_file_system.h"
#include "temp_tree.h"

namespace tf::listing {
namespace {

class ComparingHost final : public ScanHost {
public:
    void SetStatus(const std::string&) override {}
    void PumpEvents() override {}
    bool Stopped() override { return stopped; }
    void Comparing(const CompareProgress& progress, const std::string& path) override {
        seen.push_back(progress);
        if (stopOn && !path.empty() && path.find(stopOn) != std::string::npos && progress.bytesDone > stopAfter)
            stopped = true;
    }
    std::vector<CompareProgress> seen;
    const char* stopOn = nullptr;  // stop while reading a file whose path has this
    std::uint64_t stopAfter = 0;   // once this many bytes are done
    bool stopped = false;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class DuplicatesProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Three equal large files and one that differs only in its middle,
        // a small pair, a file of a size of its own.
        std::string large(1 << 20, 'x');
        for (const char* name : {"l1", "l2", "l3"}) tree_.File(name, large);
        large[large.size() / 2] = 'y';
        tree_.File("l4-middle", large);
        tree_.File("s1", "pair");
        tree_.File("s2", "pair");
        tree_.File("alone", "a size of its own");
        options_.source = tree_.Path();
        options_.duplicates = true;
    }
    std::string Run(ComparingHost& host) {
        const std::string report = out_.Path("report.txt");
        RunTotals totals;
        EXPECT_TRUE(RunListing(options_, fs_, host, report, totals).reportWritten);
        return ReadAll(report);
    }

    testing::TempTree tree_, out_;
    platform::PosixFileSystem fs_;
    ListingOptions options_;
};

TEST_F(DuplicatesProgressTest, FiguresCountTheFilesThatShareASizeAndEndWhole) {
    ComparingHost host;
    const std::string report = Run(host);
    ASSERT_GE(host.seen.size(), 2u);
    const std::uint64_t bytes = 4 * (1 << 20) + 2 * 4;
    for (std::size_t i = 0; i < host.seen.size(); ++i) {
        const CompareProgress& p = host.seen[i];
        EXPECT_EQ(p.files, 6u);
        EXPECT_EQ(p.bytes, bytes);
        if (i > 0) {
            EXPECT_GE(p.filesDone, host.seen[i - 1].filesDone);
            EXPECT_GE(p.bytesDone, host.seen[i - 1].bytesDone);
        }
    }
    EXPECT_EQ(host.seen.back().filesDone, 6u);
    EXPECT_EQ(host.seen.back().bytesDone, bytes);
    EXPECT_NE(report.find("Groups: 2  Files: 5  Wasted: 2097156 bytes\n"), std::string::npos) << report;
    EXPECT_EQ(report.find("Incomplete"), std::string::npos);
}

// The report a stop leaves is checked end to end by the command line's test.
TEST_F(DuplicatesProgressTest, StopInsideAFileReadsNoFurther) {
    ComparingHost host;
    host.stopOn = "/l";  // in the second large file read whole
    host.stopAfter = (1 << 20) + 8;
    const std::string report = Run(host);
    EXPECT_NE(report.find("\nIncomplete: the run was stopped"), std::string::npos) << report;
    // Nothing is read after the block that saw the stop.
    const std::uint64_t most =
        std::max_element(host.seen.begin(), host.seen.end(), [](const auto& a, const auto& b) {
            return a.bytesDone < b.bytesDone;
        })->bytesDone;
    EXPECT_LE(most, host.stopAfter + (64u << 10) + 1);  // a block of 64 KiB and a byte
    EXPECT_EQ(host.seen.back().filesDone, 3u);
}

}  // namespace
}  // namespace tf::listing
