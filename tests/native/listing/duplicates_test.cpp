// The duplicate finder: the report's comparison as its host sees it
// (progress figures that add up, a stop obeyed inside a file), and its
// groups and unread files on the fake file system.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "fake_file_system.h"
#include "listing/duplicates/duplicate_finder.h"
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
        options_.duplicates.emplace();
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

namespace tf::listing {
namespace {

// The finder on the fake file system: files that are denied, fail or
// shrink while read, hard links, and files alike but for one byte, against
// a grouping by whole content; and the same files with their digests
// listed, which must group alike without opening anything.
class FinderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 random(7);
        const std::uint64_t sizes[] = {1, 4000, 16384, 16385, 9000 + 2 * 4096, 300000};
        fs_.AddFolder("C:\\t");
        for (int f = 0; f < 4; ++f) fs_.AddFolder("C:\\t\\d" + std::to_string(f));
        for (const std::uint64_t size : sizes) {
            std::string base(size, '\0');
            for (char& c : base) c = static_cast<char>(random());
            // Copies, and files that differ from them in one byte: the
            // first, the middle or the last.
            for (int i = 0; i < 12; ++i) {
                std::string bytes = base;
                if (i % 4 == 1) bytes.front() ^= 1;
                if (i % 4 == 2) bytes[size / 2] ^= 1;
                if (i % 4 == 3) bytes.back() ^= 2;
                if (size == 1 && i % 4) bytes = std::string(1, static_cast<char>('a' + i % 4));
                testing::FakeContent content{bytes};
                Place("f" + std::to_string(size) + "-" + std::to_string(i), content, i);
            }
            // Copies of the base that cannot be read whole.
            testing::FakeContent denied{base, platform::ContentStatus::kDenied};
            testing::FakeContent failing{base};
            failing.failAt = static_cast<std::int64_t>(size / 2);
            testing::FakeContent shrinking{base};
            shrinking.shrinkTo = static_cast<std::int64_t>(size / 2);
            Place("denied" + std::to_string(size), denied, 1, platform::ContentStatus::kDenied);
            Place("failing" + std::to_string(size), failing, 2, platform::ContentStatus::kFailed);
            Place("shrinking" + std::to_string(size), shrinking, 3, platform::ContentStatus::kChanged);
            // Two hard links of one copy.
            testing::FakeContent linked{base};
            linked.inode = size;
            Place("link-a" + std::to_string(size), linked, 0);
            Place("link-b" + std::to_string(size), linked, 3);
        }
        // A size of its own: never opened.
        Place("alone", testing::FakeContent{std::string(777, 'x')}, 0);
    }

    void Place(const std::string& name, testing::FakeContent content, int folder,
               platform::ContentStatus fails = platform::ContentStatus::kRead) {
        const std::string dir = "C:\\t\\d" + std::to_string(folder);
        if (fails == platform::ContentStatus::kRead) {
            const std::string key = content.inode ? "#" + std::to_string(content.inode) : dir + "\\" + name;
            readable_[dir + "\\" + name] = {content.bytes, key};
        } else {
            unread_[dir + "\\" + name] = fails;
        }
        added_.push_back({dir, name, content.bytes});
        fs_.AddContent(dir, name, std::move(content));
    }

    // Groups as sets of paths: whole content equal, one path per file (the
    // first in byte order).
    std::set<std::set<std::string>> Expected() const {
        std::map<std::string, std::set<std::string>> byContent;
        std::set<std::string> files;
        for (const auto& [path, file] : readable_)  // in byte order
            if (files.insert(file.second).second) byContent[file.first].insert(path);
        std::set<std::set<std::string>> groups;
        for (const auto& [bytes, paths] : byContent)
            if (paths.size() > 1) groups.insert(paths);
        return groups;
    }

    std::set<std::set<std::string>> Found(const DuplicateFinder& finder) const {
        std::set<std::set<std::string>> groups;
        std::uint64_t wasted = ~std::uint64_t{0};
        for (const DuplicateGroup& g : finder.Groups()) {
            EXPECT_LE(g.Wasted(), wasted);  // most wasted first
            wasted = g.Wasted();
            std::set<std::string> paths;
            for (const std::size_t f : g.files) paths.insert(finder.PathOf(f));
            groups.insert(paths);
        }
        return groups;
    }

    void Feed(DuplicateFinder& finder, platform::HashAlgorithm listed) const {
        std::string folder;
        for (const Added& a : added_) {
            if (a.folder != folder) {
                folder = a.folder;
                finder.Folder(folder + "\\");
            }
            ListedFile file;
            file.name = a.name;
            file.size = a.bytes.size();
            std::string digest;
            if (listed != platform::HashAlgorithm::kNone) {
                auto hasher = platform::CreateHasher(listed);
                hasher->Update(a.bytes.data(), a.bytes.size());
                digest = hasher->Finish();
                file.digest = digest;
                // Hard links are one file to the listing too.
                const auto it = readable_.find(a.folder + "\\" + a.name);
                if (it != readable_.end() && it->second.second[0] == '#') {
                    file.links = 2;
                    file.inode = std::stoull(it->second.second.substr(1));
                }
            }
            finder.Add(file);
        }
    }

    struct Added {
        std::string folder, name, bytes;
    };
    testing::FakeFileSystem fs_;
    std::vector<Added> added_;
    std::map<std::string, std::pair<std::string, std::string>> readable_;  // path -> content, file
    std::map<std::string, platform::ContentStatus> unread_;
};

class UnreadHost final : public ScanHost {
public:
    void SetStatus(const std::string&) override {}
    void PumpEvents() override {}
    bool Stopped() override { return false; }
    void FileUnread(const std::string& path, platform::ContentStatus status) override { told[path] = status; }
    std::map<std::string, platform::ContentStatus> told;
};

TEST_F(FinderTest, ReadingGroupsByWholeContentAndNamesWhatItCannotRead) {
    DuplicateFinder finder(platform::HashAlgorithm::kNone, false);
    Feed(finder, platform::HashAlgorithm::kNone);
    UnreadHost host;
    finder.Find(&fs_, &host);
    EXPECT_EQ(Found(finder), Expected());
    EXPECT_EQ(host.told, unread_);
    ASSERT_EQ(finder.Unread().size(), unread_.size());
    for (const UnreadFile& u : finder.Unread()) EXPECT_EQ(unread_.at(u.path), u.status) << u.path;
    EXPECT_EQ(std::count(fs_.opened.begin(), fs_.opened.end(), "C:\\t\\d0\\alone"), 0);
    EXPECT_EQ(finder.Progress().filesDone, finder.Progress().files);
}

TEST_F(FinderTest, ListedDigestsGroupAsReadingDoesWithoutOpening) {
    DuplicateFinder reading(platform::HashAlgorithm::kNone, false);
    Feed(reading, platform::HashAlgorithm::kNone);
    reading.Find(&fs_, nullptr);
    fs_.opened.clear();
    // The listing's digests of files that cannot be read now are true
    // ones: with them those files join their groups.
    DuplicateFinder listed(platform::HashAlgorithm::kXxh128, false);
    Feed(listed, platform::HashAlgorithm::kXxh128);
    listed.Find(nullptr, nullptr);
    EXPECT_TRUE(fs_.opened.empty());
    std::set<std::set<std::string>> expected = Found(reading);
    std::set<std::set<std::string>> got = Found(listed);
    // Each group of the listing holds its reading group and the copies that
    // could not be read.
    std::size_t matched = 0;
    for (const auto& group : got)
        for (const auto& smaller : expected)
            if (std::includes(group.begin(), group.end(), smaller.begin(), smaller.end())) ++matched;
    EXPECT_EQ(matched, expected.size());
    EXPECT_EQ(got.size(), expected.size());
    ASSERT_FALSE(listed.Groups().empty());
    EXPECT_EQ(listed.Groups().front().hash.rfind("xxh128:", 0), 0u);
    EXPECT_EQ(reading.Groups().front().hash, listed.Groups().front().hash);
}

}  // namespace
}  // namespace tf::listing
