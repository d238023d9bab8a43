// File contents read and hashed ahead on helper threads: jobs come back in
// the order given, and the listing's hashes and the duplicate groups are
// those of reading each file in turn, also where files fail mid-read,
// shrink or cannot be opened. Built into the ThreadSanitizer run.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "fake_file_system.h"
#include "listing/duplicates/duplicate_finder.h"
#include "listing/scan/folder_scan.h"
#include "platform/work_ahead.h"

namespace tf {
namespace {

TEST(WorkAhead, JobsAreTakenInOrderDoneAndOnce) {
    for (unsigned helpers : {0u, 1u, 3u}) {
        constexpr int kJobs = 300;
        platform::WorkAhead work(helpers);
        std::vector<std::atomic<int>> runs(kJobs);
        std::vector<int> done(kJobs, 0);
        int taken = 0;
        const auto take = [&] {
            ASSERT_TRUE(work.TakeOldest());
            // What the job left is seen once it is taken, and no sooner job is left out.
            EXPECT_EQ(done[taken], taken + 1) << helpers;
            ++taken;
        };
        for (int i = 0; i < kJobs; ++i) {
            work.Add([&, i] {
                ++runs[i];
                done[i] = i + 1;
            });
            if (work.Pending() > static_cast<std::size_t>(i % 7)) take();
        }
        while (work.Pending()) take();
        EXPECT_EQ(taken, kJobs);
        for (const std::atomic<int>& r : runs) EXPECT_EQ(r.load(), 1);
    }
}

TEST(WorkAhead, AStopDropsTheJobsNotBegunAndWaitsForTheRunningOne) {
    platform::WorkAhead work(1);
    std::atomic<bool> started{false}, release{false}, ran{false};
    work.Add([&] {
        started = true;
        while (!release) std::this_thread::yield();
    });
    work.Add([&] { ran = true; });
    while (!started) std::this_thread::yield();  // the helper holds the first
    work.Stop();
    release = true;
    EXPECT_TRUE(work.TakeOldest());
    EXPECT_FALSE(work.TakeOldest());
    work.Add([&] { ran = true; });
    EXPECT_FALSE(work.TakeOldest());
    EXPECT_FALSE(ran);
    EXPECT_EQ(work.Pending(), 0u);
}

std::string HashOf(const std::string& bytes) {
    const auto hasher = platform::CreateHasher(platform::HashAlgorithm::kXxh128);
    hasher->Update(bytes.data(), bytes.size());
    return hasher->Finish();
}

// Folders of files of many sizes, one large enough to be read by two
// threads itself, copies across folders that differ only in the middle
// from some of their size, and files that misbehave.
struct ContentTree {
    ContentTree() {
        fs.AddFolder("C:\\t");
        std::uint64_t seed = 5;
        for (int d = 0; d < 6; ++d) {
            const std::string folder = "C:\\t\\d" + std::to_string(d);
            fs.AddFolder(folder);
            for (int f = 0; f < 40; ++f) {
                seed = seed * 6364136223846793005ull + 1442695040888963407ull;
                std::string content(f == 7 && d == 2 ? (5u << 20) + 3 : (seed >> 40) % (f % 5 ? 3000 : 200000),
                                    static_cast<char>('a' + (seed >> 60)));
                const bool shared = f % 4 == 0 || f == 11 || f == 23 || f == 31;
                if (shared) content.assign(100 + (f % 3) * 30000, 'c');
                if (!content.empty()) content[content.size() / 2] = static_cast<char>(shared ? '0' + d % 2 : f);
                testing::FakeContent file{content};
                if (f == 11) file.failAt = static_cast<std::int64_t>(content.size() / 2);  // fails mid-read
                if (f == 23) file.shrinkTo = static_cast<std::int64_t>(content.size() / 3);
                if (f == 31) file.open = platform::ContentStatus::kDenied;
                const std::string name = "f" + std::to_string(f);
                bytes[folder + "\\" + name] = content;
                fs.AddContent(folder, name, std::move(file));
            }
        }
    }
    testing::FakeFileSystem fs;
    std::map<std::string, std::string> bytes;  // by path
};

class UnreadHost final : public listing::ScanHost {
public:
    void SetStatus(const std::string&) override {}
    void PumpEvents() override {}
    bool Stopped() override { return false; }
    void FileUnread(const std::string& path, platform::ContentStatus status) override {
        unread.emplace_back(path, status);
    }
    std::vector<std::pair<std::string, platform::ContentStatus>> unread;
};

// Each row as "folder\name digest-or-reason", in the order the sink heard them.
class RowSink final : public listing::ListingSink {
public:
    listing::WriteError Begin(const listing::RunHeader&) override { return 0; }
    listing::WriteError BeginSection(const listing::FolderStart& folder) override {
        folder_ = folder.path;
        return 0;
    }
    listing::WriteError Row(const listing::ListedFile& file) override {
        rows.push_back(folder_ + "\\" + std::string(file.name) + " " +
                       (file.digest.empty() ? platform::ContentStatusText(file.unhashed) : std::string(file.digest)));
        return 0;
    }
    listing::WriteError EndSection(const listing::SectionTotals&) override { return 0; }
    listing::WriteError EndFolder(const listing::FolderRecord&) override { return 0; }
    listing::WriteError FolderSkipped(const listing::FolderRecord&) override { return 0; }
    listing::WriteError Totals(const listing::RunTotals&) override { return 0; }
    listing::WriteError Close() override { return 0; }
    std::vector<std::string> rows;

private:
    std::string folder_;
};

TEST(HashAhead, RowsKeepTheirOrderAndTheHashesOfReadingInTurn) {
    ContentTree tree;
    std::vector<std::string> rows[2];
    std::vector<std::pair<std::string, platform::ContentStatus>> unread[2];
    for (int ahead = 0; ahead < 2; ++ahead) {
        listing::ListingOptions options;
        options.source = "C:\\t";
        options.hash = platform::HashAlgorithm::kXxh128;
        options.readAhead = ahead ? 2 : 0;  // none: each file read as it is listed
        UnreadHost host;
        listing::RunTotals totals;
        RowSink sink;
        listing::FolderScan(options, tree.fs, host, totals, sink).ScanFolder(options.source);
        rows[ahead] = sink.rows;
        unread[ahead] = host.unread;
        EXPECT_EQ(totals.unreadFiles, 18u);
        EXPECT_EQ(totals.hashedBytes, totals.bytesToHash);
    }
    EXPECT_EQ(rows[1], rows[0]);
    EXPECT_EQ(unread[1], unread[0]);
    ASSERT_EQ(rows[1].size(), tree.bytes.size());
    // Against the bytes themselves, where the file reads whole.
    const std::string large = "C:\\t\\d2\\f7";
    for (const std::string& row : rows[1]) {
        const std::string path = row.substr(0, row.find(' '));
        const std::string name = path.substr(path.rfind('\\') + 1);
        const std::string expected = name == "f11"   ? "read error"
                                     : name == "f23" ? "changed while read"
                                     : name == "f31" ? "permission denied"
                                                     : HashOf(tree.bytes.at(path));
        EXPECT_EQ(row, path + " " + expected);
    }
}

TEST(HashAhead, DuplicateGroupsAndUnreadFilesAreThoseOfReadingInTurn) {
    ContentTree tree;
    std::vector<std::vector<std::string>> groups[2];
    std::vector<std::string> unread[2];
    for (int ahead = 0; ahead < 2; ++ahead) {
        listing::DuplicateFinder finder(platform::HashAlgorithm::kNone, false);
        finder.ReadAheadOn(ahead ? 2 : 0);
        std::string folder;
        for (const auto& [path, bytes] : tree.bytes) {
            const std::string dir = path.substr(0, path.rfind('\\') + 1);
            if (dir != folder) finder.Folder(folder = dir);
            listing::ListedFile file;
            const std::string name = path.substr(dir.size());
            file.name = name;
            file.size = bytes.size();
            finder.Add(file);
        }
        finder.Find(&tree.fs, nullptr);
        for (const listing::DuplicateGroup& g : finder.Groups()) {
            groups[ahead].emplace_back();
            for (const std::size_t f : g.files) groups[ahead].back().push_back(finder.PathOf(f));
        }
        for (const listing::UnreadFile& u : finder.Unread())
            unread[ahead].push_back(u.path + " " + platform::ContentStatusText(u.status));
        EXPECT_EQ(finder.Progress().filesDone, finder.Progress().files);
    }
    EXPECT_EQ(groups[1], groups[0]);
    EXPECT_EQ(unread[1], unread[0]);
    EXPECT_GE(groups[1].size(), 3u);
    EXPECT_GE(unread[1].size(), 3u);
}

}  // namespace
}  // namespace tf
