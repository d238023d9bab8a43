// tallyfold-list as a script sees it: exit codes, messages and the report.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "fake_file_system.h"
#include "listing/listing_run.h"
#include "platform/content_hash.h"
#include "platform/posix/posix_file_system.h"
#include "temp_tree.h"

extern char** environ;

namespace tf::listing {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Xxh128(const std::string& bytes) {
    const std::unique_ptr<platform::Hasher> hasher = platform::CreateHasher(platform::HashAlgorithm::kXxh128);
    hasher->Update(bytes.data(), bytes.size());
    return hasher->Finish();
}

struct Process {
    pid_t pid = -1;
    std::string stdoutPath, stderrPath;
};

// `terminal`: a terminal's path for standard error instead of a file.
Process Start(const std::vector<std::string>& args, const std::string& outputDir,
              const std::string& terminal = std::string()) {
    Process p;
    p.stdoutPath = outputDir + "/stdout";
    p.stderrPath = terminal.empty() ? outputDir + "/stderr" : terminal;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, p.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, p.stderrPath.c_str(),
                                     terminal.empty() ? O_WRONLY | O_CREAT | O_TRUNC : O_RDWR | O_NOCTTY, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, outputDir.c_str());
    std::vector<std::string> all{TALLYFOLD_LIST_EXE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&p.pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return p;
}

int Wait(const Process& p) {
    int status = 0;
    waitpid(p.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class CliTest : public ::testing::Test {
protected:
    int Run(const std::vector<std::string>& args) {
        last_ = Start(args, work_.Path());
        return Wait(last_);
    }
    std::string Out() const { return ReadFile(last_.stdoutPath); }
    std::string Err() const { return ReadFile(last_.stderrPath); }

    testing::TempTree work_;  // current folder of the tool
    testing::TempTree source_;
    Process last_;
};

TEST_F(CliTest, BadArgumentsExitTwoWithUsage) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"--order", "colour", source_.Path()},
             {"--record", "type,weight", source_.Path()},
             {"--format", "pdf", source_.Path()},
             {"--read-ahead", "65", source_.Path()},
             {"--filter"},
             {"--bogus", source_.Path()},
             {source_.Path(), source_.Path()}}) {
        EXPECT_EQ(Run(args), 2);
        EXPECT_NE(Err().find("usage: tallyfold-list"), std::string::npos);
    }
}

TEST_F(CliTest, ReportMatchesTheEngineByteForByte) {
    source_.Folder("sub/deeper");
    source_.File("b.txt", std::string(3000, 'b'));
    source_.File("A.log", "a");
    source_.File("sub/c.txt", "cc");
    ASSERT_EQ(Run({"--record", "type,size,created,modified", "--order", "name", "--format", "html",
                   source_.Path() + "/"}),
              0)
        << Err();
    EXPECT_NE(Out().find("Report: Tallyfold.html"), std::string::npos);
    EXPECT_NE(Err().find("Folders: 2  Files: 3  Bytes: 3003  Skipped: 0"), std::string::npos);

    ListingOptions options;
    options.source = source_.Path();
    options.recordCreated = options.recordModified = true;
    options.order = kName;
    options.format = ReportFormat::kHtml;
    platform::PosixFileSystem fs;
    testing::RecordingHost host;
    RunTotals totals;
    const std::string expected = work_.Path("expected.html");
    ASSERT_TRUE(RunListing(options, fs, host, expected, totals).reportWritten);
    EXPECT_EQ(ReadFile(work_.Path("Tallyfold.html")), ReadFile(expected));
    // The trailing separator was removed from the heading.
    EXPECT_NE(ReadFile(expected).find("<td><b>" + source_.Path() + "</b>"), std::string::npos);
}

TEST_F(CliTest, UnwritableReportExitsOneWithTheReason) {
    EXPECT_EQ(Run({"--output", work_.Path("no/such/folder/r.txt"), source_.Path()}), 1);
    EXPECT_NE(Err().find("cannot write the report"), std::string::npos);
    EXPECT_NE(Err().find("No such file or directory"), std::string::npos);
    EXPECT_EQ(Out(), "");
}

TEST_F(CliTest, InterruptStopsTheRunAndCompletesTheReport) {
    // Enough folders that the scan is still going when the signal comes.
    for (int i = 0; i < 3000; ++i) source_.Folder("d" + std::to_string(i) + "/e");
    const std::string report = work_.Path("Tallyfold.txt");
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::ofstream(report, std::ios::binary) << "earlier";
        Process p = Start({source_.Path()}, work_.Path());
        // Wait until the first sections are written beside the report,
        // which stays as it was meanwhile, then send the signal.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (ReadFile(report + ".partial").find("File(s)") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        EXPECT_EQ(ReadFile(report), "earlier");
        kill(p.pid, signal);
        ASSERT_EQ(Wait(p), 128 + signal) << "the run ended before signal " << signal << " arrived";
        EXPECT_FALSE(std::filesystem::exists(report + ".partial"));
        const std::string text = ReadFile(report);
        EXPECT_EQ(text.substr(text.size() - 64), std::string(62, '*') + "\r\n");
        // Every d folder is counted, scanned or not, and so is the e folder
        // of every d that was scanned, even when the stop comes before e's
        // turn, but for the d being read when it came: the stop ends that
        // reading where it is. An e folder that was scanned has a section.
        std::size_t dSections = 0, eSections = 0;
        const std::string heading = "\r\n" + source_.Path() + "/d";
        for (std::size_t at = text.find(heading); at != std::string::npos; at = text.find(heading, at + 1)) {
            const std::size_t end = text.find("\r\n", at + 2);
            ++(text.compare(end - 2, 2, "/e") == 0 ? eSections : dSections);
        }
        const std::size_t sections = dSections + eSections;
        EXPECT_LE(eSections, dSections);
        EXPECT_LT(sections, 6000u);
        const std::size_t total = text.find("Total Folder(s): ");
        ASSERT_NE(total, std::string::npos);
        const std::size_t folders = std::stoul(text.substr(total + 17));
        EXPECT_GE(folders + 1, 3000 + dSections);
        EXPECT_LE(folders, 3000 + dSections);
    }
}

TEST_F(CliTest, InterruptWhileComparingWritesTheGroupsConfirmedSoFar) {
    // A small pair compared first, then three equal large files (sparse:
    // nothing on disk) that take seconds to read whole.
    source_.Folder("a");
    source_.Folder("b");
    source_.File("a/small", "same");
    source_.File("b/small", "same");
    for (const char* name : {"a/large1", "a/large2", "b/large3"}) {
        source_.File(name);
        std::filesystem::resize_file(source_.Path(name), std::uint64_t{4} << 30);
    }
    // The progress line is shown on a terminal only.
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal), 0);
    ASSERT_EQ(unlockpt(terminal), 0);
    fcntl(terminal, F_SETFL, O_NONBLOCK);
    Process p = Start({"--duplicates", source_.Path()}, work_.Path(), ptsname(terminal));
    // Once the pair is settled the large files are being read whole.
    std::string shown;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (shown.find("Comparing 2 of 5 files") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        char buffer[4096];
        const ssize_t got = read(terminal, buffer, sizeof buffer);
        if (got > 0) shown.append(buffer, static_cast<std::size_t>(got));
        else std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(p.pid, SIGINT);
    // The terminal keeps being read so that the tool never waits on it.
    std::atomic<bool> ended{false};
    std::thread drain([&] {
        char buffer[4096];
        for (;;) {
            const ssize_t got = read(terminal, buffer, sizeof buffer);
            if (got > 0) shown.append(buffer, static_cast<std::size_t>(got));
            else if (ended) break;
            else std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const int exitCode = Wait(p);
    ended = true;
    drain.join();
    close(terminal);
    ASSERT_EQ(exitCode, 128 + SIGINT) << "the comparison ended before the signal\n" << shown;
    EXPECT_NE(shown.find("Stopped comparing: 2 of 5 files compared"), std::string::npos) << shown;
    const std::string report = ReadFile(work_.Path("Tallyfold.duplicates.txt"));
    EXPECT_EQ(report, "Duplicates in " + source_.Path() +
                          "\nIncomplete: the run was stopped; the groups confirmed before the stop\n"
                          "\n2 files of 4 bytes, 4 bytes wasted, xxh128:" + Xxh128("same") + "\n  " +
                          source_.Path("a/small") + "\n  " + source_.Path("b/small") +
                          "\n\nGroups: 1  Files: 2  Wasted: 4 bytes  Not compared: 3  (stopped)\n");
    EXPECT_NE(ReadFile(p.stdoutPath).find("Report: Tallyfold.duplicates.txt"), std::string::npos);
}

TEST_F(CliTest, SourceThatIsNoFolderExitsTwoAndWritesNoReport) {
    source_.File("plain.txt", "x");
    for (const std::string& source : {source_.Path("missing"), source_.Path("plain.txt")}) {
        EXPECT_EQ(Run({source}), 2);
        EXPECT_NE(Err().find("not an existing folder"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(work_.Path("Tallyfold.txt")));
    }
    EXPECT_EQ(Run({"--output", "", source_.Path()}), 2);
    EXPECT_EQ(Run({"-h"}), 0);
    EXPECT_NE(Out().find("usage: tallyfold-list"), std::string::npos);
    // Options may follow SOURCE.
    EXPECT_EQ(Run({source_.Path(), "--format", "csv"}), 0) << Err();
    EXPECT_TRUE(std::filesystem::exists(work_.Path("Tallyfold.csv")));
}

// Scripts write "--format=csv" and put "--" before names that begin with a
// dash; every format the tool names can be asked for that way.
TEST_F(CliTest, OptionsTakeEqualsValuesAndDoubleDashEndsThem) {
    ASSERT_EQ(Run({"--list-formats"}), 0);
    std::istringstream lines(Out());
    std::vector<std::string> formats;
    for (std::string line; std::getline(lines, line);) formats.push_back(line.substr(0, line.find('\t')));
    ASSERT_GE(formats.size(), 9u);
    for (const std::string& format : formats) {
        const std::string output = work_.Path("out." + format);
        EXPECT_EQ(Run({"--format=" + format, "--output=" + output, source_.Path()}), 0) << format << ": " << Err();
        EXPECT_TRUE(std::filesystem::exists(output)) << format;
    }
    EXPECT_NE(Run({"--format=" + formats.back() + "x", source_.Path()}), 0);
    EXPECT_NE(Err().find("bad --format"), std::string::npos);

    // A folder named "-x" in the tool's current folder.
    std::filesystem::create_directory(work_.Path("-x"));
    EXPECT_EQ(Run({"--format=jsonl", "--output", "-", "--", "-x"}), 0) << Err();
    EXPECT_NE(Out().find("\"path\":\"-x\""), std::string::npos) << Out();
    EXPECT_EQ(Run({"-x"}), 2);  // without "--" it is an unknown option
    EXPECT_EQ(Run({"--duplicates=yes", source_.Path()}), 2);
    EXPECT_NE(Err().find("--duplicates takes no value"), std::string::npos);
    EXPECT_EQ(Run({"--hash=md5", source_.Path()}), 2);
}

TEST_F(CliTest, RefusedFoldersAreListedWithTheirReasonAndExitThree) {
    source_.Folder("a");
    std::filesystem::create_directory_symlink(source_.Path("a"), source_.Path("a/again"));
    EXPECT_EQ(Run({"--follow-links", "--errors", work_.Path("errors.txt"), source_.Path()}), 3);
    EXPECT_EQ(ReadFile(work_.Path("errors.txt")), "loop refused: already listed\t" + source_.Path("a/again") + "\n");
    EXPECT_NE(Err().find("Skipped: 1"), std::string::npos);
    EXPECT_EQ(Run({"--follow-links", source_.Path()}), 3);
    EXPECT_NE(Err().find("skipped " + source_.Path("a/again") + ": loop refused"), std::string::npos);
    // Not followed, the link is a row and nothing is missing.
    EXPECT_EQ(Run({source_.Path()}), 0);
    EXPECT_EQ(Run({"--errors", work_.Path("no/such/errors.txt"), source_.Path()}), 1);
}

}  // namespace
}  // namespace tf::listing
