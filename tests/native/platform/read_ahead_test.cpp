// Listings read ahead by worker threads against the same listings read one
// folder at a time: the same bytes, totals and skipped folders. Built on its
// own so that the test command also runs it under ThreadSanitizer.
#include "platform/read_ahead_file_system.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "listing/listing_run.h"
#include "platform/posix/posix_file_system.h"
#include "temp_tree.h"

namespace tf::platform {
namespace {

// The real file system, for test file systems that change how folders read.
class PosixBased : public FileSystem {
public:
    char Separator() const override { return '/'; }
    void Search(const std::string& folder, const std::string& pattern, SearchDetail detail,
                const std::function<void(const FindData&)>& visit) override {
        real_.Search(folder, pattern, detail, visit);
    }
    bool IsDirectory(const std::string& path) override { return real_.IsDirectory(path); }
    std::uint64_t LargeFileSize(const std::string& path) override { return real_.LargeFileSize(path); }
    std::string TypeName(const std::string& path) override { return real_.TypeName(path); }
    FolderId Identify(const std::string& folder) override { return real_.Identify(folder); }
    bool Describe(const std::string& folder, FindData& out) override { return real_.Describe(folder, out); }

protected:
    PosixFileSystem real_;
};

// The real file system with some folders that fail as an unreadable folder,
// or one that vanished after its parent was read, does. Root ignores
// permissions, so this stands in for them in CI.
class GappyFileSystem final : public PosixBased {
public:
    explicit GappyFileSystem(std::set<std::string> denied, std::set<std::string> vanished)
        : denied_(std::move(denied)), vanished_(std::move(vanished)) {}
    SearchStatus ReadFolder(const std::string& folder, const std::string& pattern, bool folders,
                            const FolderVisitor& visit) override {
        if (denied_.count(folder)) return SearchStatus::kDenied;
        if (vanished_.count(folder)) return SearchStatus::kMissing;
        return real_.ReadFolder(folder, pattern, folders, visit);
    }

private:
    const std::set<std::string> denied_, vanished_;
};

// Says stop at the given question, so that runs with and without read-ahead
// stop at the same folder.
class CountingHost final : public listing::ScanHost {
public:
    explicit CountingHost(int stopAt) : stopAt_(stopAt) {}
    void SetStatus(const std::string&) override {}
    void PumpEvents() override {}
    bool Stopped() override { return stopAt_ >= 0 && asked_++ >= stopAt_; }
    void FolderSkipped(const std::string& path, listing::SkipReason reason) override {
        skipped += path + ": " + listing::SkipReasonText(reason) + '\n';
    }
    std::string skipped;

private:
    int stopAt_;
    int asked_ = 0;
};

struct Outcome {
    std::string report, skipped;
    listing::RunTotals totals;
};

Outcome List(FileSystem& fs, const listing::ListingOptions& options, const std::string& reportPath, int stopAt = -1) {
    Outcome out;
    CountingHost host(stopAt);
    EXPECT_TRUE(listing::RunListing(options, fs, host, reportPath, out.totals).reportWritten);
    std::ifstream in(reportPath, std::ios::binary);
    out.report.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    // Two runs may fall in different seconds: only the listing's own time may differ.
    const std::string key = "\"listed_at\":\"";
    for (std::size_t at = out.report.find(key); at != std::string::npos; at = out.report.find(key, at + 1)) {
        const std::size_t from = at + key.size();
        out.report.erase(from, out.report.find('"', from) - from);
    }
    out.skipped = host.skipped;
    return out;
}

struct Random {
    unsigned long long state;
    unsigned Next(unsigned below) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned>(state >> 33) % below;
    }
};

// A random tree of 60 folders with files, links up the path and across,
// dangling links, and some folders that fail when read.
struct RandomTree {
    RandomTree(unsigned seed) {
        Random random{seed};
        std::vector<std::string> folders{""};
        std::set<std::string> denied, vanished;
        for (int f = 0; f < 60; ++f) {
            const std::string parent = folders[random.Next(static_cast<unsigned>(folders.size()))];
            const std::string folder = (parent.empty() ? "" : parent + "/") + "d" + std::to_string(f);
            tree.Folder(folder);
            folders.push_back(folder);
            for (unsigned i = random.Next(5); i > 0; --i)
                tree.File(folder + "/f" + std::to_string(i) + (i % 2 ? ".txt" : ".bin"),
                          std::string(random.Next(3000), 'x'));
            switch (random.Next(20)) {
                case 0: std::filesystem::create_directory_symlink(tree.Path(parent), tree.Path(folder + "/up")); break;
                case 1:
                    std::filesystem::create_directory_symlink(tree.Path(folders[1]), tree.Path(folder + "/across"));
                    break;
                case 2: std::filesystem::create_symlink(tree.Path("nowhere"), tree.Path(folder + "/dangling")); break;
                case 3: denied.insert(tree.Path(folder)); break;
                case 4: vanished.insert(tree.Path(folder)); break;
                default: break;
            }
        }
        fs = std::make_unique<GappyFileSystem>(std::move(denied), std::move(vanished));
    }
    testing::TempTree tree, work;
    std::unique_ptr<GappyFileSystem> fs;
};

TEST(ReadAhead, ListingsMatchTheOneThreadListingsByteForByte) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        RandomTree t(seed);
        listing::ListingOptions options;
        options.source = t.tree.Path();
        options.recordCreated = options.recordModified = seed % 2 == 0;
        options.filter = seed % 3 == 0 ? "*.txt" : "*";
        options.order = seed % 3 == 1 ? listing::kName : listing::kNoOrder;
        options.followLinks = seed % 2 == 1;
        options.maxDepth = seed == 4 ? 2 : -1;
        if (seed == 5) options.excludes = {"d1*"};
        if (seed >= 5) options.format = seed == 5 ? listing::ReportFormat::kJsonl : listing::ReportFormat::kHtml;
        const Outcome expected = List(*t.fs, options, t.work.Path("one.txt"));
        ASSERT_GT(expected.totals.totalFolders, 10u);
        ASSERT_GT(expected.totals.skippedFolders, 0u);

        for (unsigned workers : {1u, 3u}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(workers) + " workers");
            options.readAhead = workers;
            const Outcome ahead = List(*t.fs, options, t.work.Path("ahead.txt"));
            EXPECT_EQ(ahead.report, expected.report);
            EXPECT_EQ(ahead.skipped, expected.skipped);
            EXPECT_EQ(ahead.totals.totalFolders, expected.totals.totalFolders);
        }
    }
}

TEST(ReadAhead, StoppedRunsEndAtTheSameFolderWithTheirTotals) {
    RandomTree t(7);
    listing::ListingOptions options;
    options.source = t.tree.Path();
    for (int stopAt : {0, 1, 5, 17, 40}) {
        SCOPED_TRACE("stopped at question " + std::to_string(stopAt));
        options.readAhead = 0;
        const Outcome expected = List(*t.fs, options, t.work.Path("one.txt"), stopAt);
        options.readAhead = 2;
        const Outcome stopped = List(*t.fs, options, t.work.Path("ahead.txt"), stopAt);
        EXPECT_EQ(stopped.report, expected.report);
        EXPECT_NE(stopped.report.find("Total File(s): " + std::to_string(stopped.totals.totalFiles) + "\r\n"),
                  std::string::npos);
    }
}

// A walk the plan does not foresee (every other subfolder, another pattern),
// with so little room that the workers keep waiting for it.
void Walk(FileSystem& fs, const std::string& folder, const std::string& pattern, std::string& out) {
    std::vector<std::string> subfolders;
    fs.ReadFolder(folder, pattern, true, [&](const FindData& e, SearchDetail role) {
        if (role == SearchDetail::kFiles) out += e.name + ' ' + std::to_string(e.sizeLow) + ';';
        if (role == SearchDetail::kFolders && !e.isLink) subfolders.push_back(e.name);
        return true;
    });
    out += '\n' + folder + '\n';
    for (std::size_t i = 0; i < subfolders.size(); i += 2) Walk(fs, JoinPath(folder, subfolders[i], '/'), "*", out);
}

TEST(ReadAhead, AWalkThePlanDoesNotForeseeGetsTheWrappedAnswers) {
    RandomTree t(11);
    std::string expected, walked;
    Walk(*t.fs, t.tree.Path(), "*.txt", expected);
    ListingWalk plan;
    plan.root = t.tree.Path();
    ReadAheadFileSystem ahead(*t.fs, plan, 2, 2, 8);
    Walk(ahead, t.tree.Path(), "*.txt", walked);
    EXPECT_EQ(walked, expected);
}

// The nice value of the calling thread (Linux keeps one per thread).
int NiceOfThisThread() {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    EXPECT_EQ(errno, 0);
    return nice;
}

// Holds every reading made on another thread than its creator's until
// released (or, should nothing release it, for ten seconds).
class HeldFileSystem final : public PosixBased {
public:
    SearchStatus ReadFolder(const std::string& folder, const std::string& pattern, bool folders,
                            const FolderVisitor& visit) override {
        if (std::this_thread::get_id() != creator_) {
            std::unique_lock<std::mutex> lock(mutex_);
            workerNice = NiceOfThisThread();
            entered_ = true;
            changed_.notify_all();
            changed_.wait_for(lock, std::chrono::seconds(10), [this] { return released_; });
        }
        return real_.ReadFolder(folder, pattern, folders, visit);
    }

    void WaitUntilEntered() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return entered_; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    int workerNice = 0;  // of the last worker that entered

private:
    const std::thread::id creator_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false, released_ = false;
};

TEST(ReadAhead, TheWalkerKeepsHandlingEventsWhileAWorkerReadsItsFolder) {
    testing::TempTree tree;
    tree.File("a.txt", "x");
    HeldFileSystem fs;
    int waits = 0;
    ListingWalk walk;
    walk.root = tree.Path();
    walk.waiting = [&] {
        if (++waits == 3) fs.Release();
        return true;
    };
    ReadAheadFileSystem ahead(fs, walk, 1);
    fs.WaitUntilEntered();  // the worker has the root
    std::string names;
    const SearchStatus status = ahead.ReadFolder(tree.Path(), "*", true, [&](const FindData& e, SearchDetail role) {
        if (role == SearchDetail::kFiles && !IsDotEntry(e.name)) names += e.name;
        return true;
    });
    EXPECT_EQ(status, SearchStatus::kListed);
    EXPECT_EQ(names, "a.txt");
    EXPECT_GE(waits, 3);
}

// The workers yield the processor to the walker they read for, and the
// walker (or the process) keeps its priority: a walker that falls behind
// on a busy processor would finish alone after the reading is done.
TEST(ReadAhead, WorkersRunBehindTheWalkerWhoKeepsItsPriority) {
    const int before = NiceOfThisThread();
    if (before >= 19) GTEST_SKIP() << "already at the lowest priority";
    testing::TempTree tree;
    tree.File("a.txt", "x");
    HeldFileSystem fs;
    ListingWalk walk;
    walk.root = tree.Path();
    ReadAheadFileSystem ahead(fs, walk, 1);
    fs.WaitUntilEntered();  // the worker has the root
    fs.Release();
    std::string walked;
    Walk(ahead, tree.Path(), "*", walked);
    EXPECT_NE(walked.find("a.txt"), std::string::npos);
    EXPECT_GT(fs.workerNice, before);
    EXPECT_EQ(NiceOfThisThread(), before);
}

}  // namespace
}  // namespace tf::platform
