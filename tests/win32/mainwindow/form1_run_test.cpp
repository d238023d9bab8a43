// Start and Stop: whole runs over temporary folders, runs disturbed from
// inside the scan's event pump, unwritable reports and closing mid-run.
#include <windows.h>

#include "listing/ntfs_image.h"
#include "mainwindow/form1_fixture.h"
#include "platform/folder_volume.h"

namespace tf::mainwindow::testing {
namespace {

using Form1Run = Form1Test;

constexpr char kTxt[] = "Tallyfold.txt";
constexpr char kHtml[] = "Tallyfold.html";

TEST_F(Form1Run, StartWithoutAFolderOnlyShowsTheMessage) {
    WriteFile(app_ + "\\" + kTxt, "old report");
    Click(Control::Command1);
    EXPECT_EQ(messages_.shown, (std::vector<std::string>{kNoFolderText}));
    EXPECT_EQ(Report(kTxt), "old report");
    EXPECT_FALSE(form().started() || form().running() || form().stopped());
    EXPECT_FALSE(IsBold(Control::Command1));
    EXPECT_TRUE(IsWindowEnabled(item(Control::dir)));
    EXPECT_TRUE(launcher_.launches.empty());
    EXPECT_EQ(form().StatusText(), "");
}

TEST_F(Form1Run, ReportEqualsTheEnginesForTheSameFolderAndOptions) {
    MakeSampleTree();
    form().SetSourceFolder(src_);
    SetChecked(Control::Check1, false);
    SetChecked(Control::Check4, true);
    SetText(Control::orderby, "Size");
    SetText(Control::filter, "*.txt");

    listing::ListingOptions options;
    options.filter = "*.txt";
    options.recordType = false;
    options.recordSize = true;
    options.recordModified = true;
    options.order = listing::kSize;
    options.format = listing::ReportFormat::kText;
    const std::string expected = EngineReport(options);

    Click(Control::Command1);
    EXPECT_EQ(Report(kTxt), expected);
    EXPECT_NE(expected.find("Total Folder(s): 3\r\n"), std::string::npos);
    EXPECT_NE(expected.find("Total File(s): 6\r\n"), std::string::npos);
    ASSERT_EQ(launcher_.launches.size(), 1u);
    EXPECT_EQ(launcher_.launches[0].program, "notepad.exe");
    EXPECT_EQ(launcher_.launches[0].parameter, app_ + "\\" + kTxt);  // unquoted
    EXPECT_EQ(form().StatusText(), kDoneText);
    EXPECT_TRUE(IsBold(Control::Command1));
    EXPECT_FALSE(IsBold(Control::Command2) || IsBold(Control::Command3));
    EXPECT_TRUE(form().started() && form().stopped() && !form().running() && !form().scanActive());
    EXPECT_TRUE(IsWindowEnabled(item(Control::Check4)) && IsWindowEnabled(item(Control::dir)));
    EXPECT_EQ(form().totals().totalFiles, 6u);
    EXPECT_TRUE(messages_.shown.empty());

    // The same folder as HTML, written afresh, opened in the HTML viewer.
    SetText(Control::saveas, "HTML");
    options.format = listing::ReportFormat::kHtml;
    Click(Control::Command1);
    EXPECT_EQ(Report(kHtml), EngineReport(options));
    ASSERT_EQ(launcher_.launches.size(), 2u);
    EXPECT_EQ(launcher_.launches[1].program, "iexplore.exe");
    EXPECT_EQ(launcher_.launches[1].parameter, app_ + "\\" + kHtml);

    // The machine-readable listings open with whatever the system has for
    // them, else the text editor.
    for (const auto& [entry, format, file] : {std::tuple{"CSV", listing::ReportFormat::kCsv, "Tallyfold.csv"},
                                              std::tuple{"JSON Lines", listing::ReportFormat::kJsonl,
                                                         "Tallyfold.jsonl"}}) {
        SetText(Control::saveas, entry);
        options.format = format;
        Click(Control::Command1);
        EXPECT_EQ(Report(file), EngineReport(options)) << entry;
        EXPECT_EQ(launcher_.launches.back().program, "") << entry;
        EXPECT_EQ(launcher_.launches.back().parameter, app_ + "\\" + file) << entry;
        EXPECT_EQ(launcher_.launches.back().fallback, "notepad.exe") << entry;
    }
    // The explorer page (its time of listing differs from run to run) opens
    // in the system's browser, else the HTML viewer.
    SetText(Control::saveas, "Explorer");
    Click(Control::Command1);
    const std::string page = Report("Tallyfold.explorer.html");
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("<script type=\"application/x-tallyfold-listing\">"), std::string::npos);
    EXPECT_EQ(launcher_.launches.back().program, "");
    EXPECT_EQ(launcher_.launches.back().parameter, app_ + "\\Tallyfold.explorer.html");
    EXPECT_EQ(launcher_.launches.back().fallback, "iexplore.exe");
    EXPECT_EQ(launcher_.launches.size(), 5u);
}

TEST_F(Form1Run, OptionsAreLockedDuringARunAndASecondStartIsIgnored) {
    MakeSampleTree();
    form().SetSourceFolder(src_);
    PumpHook hook;
    bool lockedDuringRun = false;
    bool treeAndTabsEnabled = false;
    hook.Post([&] {
        lockedDuringRun = form().running() && !IsWindowEnabled(item(Control::dir)) &&
                          !IsWindowEnabled(item(Control::orderby)) && !IsWindowEnabled(item(Control::saveas)) &&
                          !IsWindowEnabled(item(Control::filter)) && !IsWindowEnabled(item(Control::Check1)) &&
                          !IsWindowEnabled(item(Control::Check4));
        treeAndTabsEnabled = IsWindowEnabled(item(Control::TreeView1)) && IsWindowEnabled(item(Control::TabStrip1));
        Click(Control::Command1);
    });
    Click(Control::Command1);
    EXPECT_EQ(hook.ran(), 1);
    EXPECT_TRUE(lockedDuringRun);
    EXPECT_TRUE(treeAndTabsEnabled);
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(launcher_.launches.size(), 1u);  // one run, one viewer
    EXPECT_EQ(Report(kTxt), EngineReport(listing::ListingOptions{}));
}

TEST_F(Form1Run, StartAfterATreeClickEmptiedTheFolderShowsTheMessageAndTheRunGoesOn) {
    MakeSampleTree();
    form().SetSourceFolder(src_);
    PumpHook hook;
    hook.Post([&] {
        form().SetSourceFolder("");  // a virtual shell folder was clicked
        form().SetStatusText("");
        Click(Control::Command1);
    });
    Click(Control::Command1);
    EXPECT_EQ(messages_.shown, (std::vector<std::string>{kNoFolderText}));
    EXPECT_EQ(Report(kTxt), EngineReport(listing::ListingOptions{}));
    EXPECT_EQ(form().StatusText(), kDoneText);
}

TEST_F(Form1Run, StopFromInsideThePumpCompletesTheReport) {
    MakeSampleTree();
    form().SetSourceFolder(src_);
    PumpHook hook;
    hook.Post([&] { Click(Control::Command2); });
    Click(Control::Command1);

    // Stopped during the source folder's reading: the reading ends there,
    // its section holds the rows listed so far and the totals count exactly
    // those; the subfolders were not reached.
    const std::string report = Report(kTxt);
    EXPECT_EQ(report.find(src_ + "\\one"), std::string::npos);
    const std::size_t summary = report.find("File(s): ");
    ASSERT_NE(summary, std::string::npos);
    const unsigned long listed = std::stoul(report.substr(summary + 9));
    EXPECT_LT(listed, 3u);
    EXPECT_NE(report.find("Total Folder(s): 0\r\nTotal File(s): " + std::to_string(listed) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(form().totals().totalFiles, listed);
    EXPECT_EQ(report.substr(report.size() - 64), std::string(62, '*') + "\r\n");
    EXPECT_EQ(form().StatusText(), kDoneText);
    ASSERT_EQ(launcher_.launches.size(), 1u);
    EXPECT_TRUE(IsBold(Control::Command2));
    EXPECT_FALSE(IsBold(Control::Command1));
    EXPECT_TRUE(IsWindowEnabled(item(Control::dir)));
}

TEST_F(Form1Run, AStoppedScanRefusesStartAndSaveAsUntilItHasReturned) {
    MakeSampleTree();
    WriteFile(app_ + "\\" + kTxt, "earlier report");
    form().SetSourceFolder(src_);
    dialog_.answers.push_back(root_ + "\\copy");
    PumpHook hook;
    hook.Post([&] {
        Click(Control::Command2);
        Click(Control::Command1);  // stopping: flags alone would let these through
        Click(Control::Command3);
    });
    Click(Control::Command1);
    EXPECT_TRUE(dialog_.asked.empty());
    EXPECT_FALSE(FileExists(root_ + "\\copy.txt"));
    EXPECT_EQ(launcher_.launches.size(), 1u);
    EXPECT_NE(Report(kTxt).find("Total File(s): " + std::to_string(form().totals().totalFiles) + "\r\n"),
              std::string::npos);
    EXPECT_TRUE(IsBold(Control::Command2));
}

TEST_F(Form1Run, AnUnknownFormatWritesAndDeletesNothingAndOpensTheHtmlPath) {
    MakeSampleTree();
    WriteFile(app_ + "\\" + kTxt, "text kept");
    WriteFile(app_ + "\\" + kHtml, "html kept");
    form().SetSourceFolder(src_);
    SetText(Control::saveas, "text");  // case matters
    Click(Control::Command1);
    EXPECT_EQ(Report(kTxt), "text kept");
    EXPECT_EQ(Report(kHtml), "html kept");
    ASSERT_EQ(launcher_.launches.size(), 1u);
    EXPECT_EQ(launcher_.launches[0].program, "iexplore.exe");
    EXPECT_EQ(launcher_.launches[0].parameter, app_ + "\\" + kHtml);
    EXPECT_EQ(form().StatusText(), kDoneText);
    EXPECT_EQ(form().totals().totalFiles, 7u);
}

TEST_F(Form1Run, TheContentHashBoxPutsEachFilesHashInTheListing) {
    MakeFile("five-thousand.txt", 5000);
    form().SetSourceFolder(src_);
    SetText(Control::saveas, "JSON Lines");
    Click(Control::Command1);
    EXPECT_EQ(Report("Tallyfold.jsonl").find("\"hash\""), std::string::npos);  // not asked for

    SetChecked(Control::Check5, true);
    Click(Control::Command1);
    // 5,000 'x' bytes, as xxhsum -H2 gives them.
    EXPECT_NE(Report("Tallyfold.jsonl").find("\"hash\":\"xxh128:c40b706e6ba9af508d8567cbc9ee3d90\""),
              std::string::npos)
        << Report("Tallyfold.jsonl");
    EXPECT_EQ(form().StatusText(), kDoneText);
}

// What the status line said while a run went on, looked at on a timer (which
// the scan's pump dispatches between its other messages); Stop is clicked
// once it tells of a large file being hashed.
std::vector<std::string> seen;
Form1* shown = nullptr;
HWND stop = nullptr;
void CALLBACK LookAtTheStatus(HWND, UINT, UINT_PTR, DWORD) {
    if (!shown->running()) return;
    seen.push_back(shown->StatusText());
    if (seen.back().rfind("Hashed ", 0) == 0 && seen.back().find("large.bin") != std::string::npos)
        SendMessageA(stop, BM_CLICK, 0, 0);
}

// A file read for long keeps the window answering: the status line leads
// with how much is hashed, and Stop ends the reading part-way.
TEST_F(Form1Run, ALargeFileBeingHashedShowsProgressAndStopsPartWay) {
    MakeFile("small.txt", 10);
    {
        // 2 GiB of holes: long to read, nothing on the disk.
        HANDLE large = CreateFileA((src_ + "\\large.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(large, INVALID_HANDLE_VALUE);
        LARGE_INTEGER end;
        end.QuadPart = 2LL << 30;
        const bool sized = SetFilePointerEx(large, end, nullptr, FILE_BEGIN) && SetEndOfFile(large);
        CloseHandle(large);
        ASSERT_TRUE(sized);
    }
    form().SetSourceFolder(src_);
    SetText(Control::saveas, "JSON Lines");
    SetChecked(Control::Check5, true);
    seen.clear();
    shown = &form();
    stop = item(Control::Command2);
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, LookAtTheStatus);
    ASSERT_NE(timer, 0u);
    Click(Control::Command1);
    KillTimer(nullptr, timer);

    ASSERT_FALSE(seen.empty());
    EXPECT_NE(seen.back().find(" of 2.1 GB ("), std::string::npos) << seen.back();
    const std::string listing = Report("Tallyfold.jsonl");
    const std::size_t large = listing.find("\"large.bin\"");
    ASSERT_NE(large, std::string::npos) << listing;
    const std::string record = listing.substr(large, listing.find('\n', large) - large);
    EXPECT_EQ(record.find("\"hash\""), std::string::npos) << record;  // stopped before its end
    EXPECT_EQ(form().StatusText(), kDoneText);
}

TEST_F(Form1Run, ChangesSinceAnEarlierListingAreWrittenAsAPageAndOpened) {
    MakeSampleTree();
    form().SetSourceFolder(src_);
    SetText(Control::saveas, "JSON Lines");
    Click(Control::Command1);
    const std::string kept = app_ + "\\Tallyfold.jsonl";
    const std::string before = Report("Tallyfold.jsonl");
    ASSERT_NE(before.find("\"notes.txt\""), std::string::npos);
    MakeFile("arrived.txt", 7);

    // Cancelled: nothing runs.
    SetText(Control::saveas, "Changes since...");
    const std::size_t launches = launcher_.launches.size();
    Click(Control::Command1);
    ASSERT_EQ(dialog_.asked.size(), 1u);
    EXPECT_TRUE(dialog_.asked[0].open);
    EXPECT_EQ(dialog_.asked[0].fileName, kept);  // the last listing is offered
    EXPECT_EQ(launcher_.launches.size(), launches);
    EXPECT_EQ(Report("Tallyfold.jsonl"), before);

    // Compared with the kept listing itself, which this run replaces: the
    // page is made from a copy of it, and the new listing is kept.
    dialog_.answers.push_back(kept);
    Click(Control::Command1);
    ASSERT_EQ(launcher_.launches.size(), launches + 1);
    EXPECT_EQ(launcher_.launches.back().parameter, app_ + "\\Tallyfold.changes.html");
    EXPECT_EQ(launcher_.launches.back().fallback, "iexplore.exe");
    EXPECT_EQ(Report("Tallyfold.earlier.jsonl"), before);
    EXPECT_NE(Report("Tallyfold.jsonl").find("\"arrived.txt\""), std::string::npos);
    const std::string page = Report("Tallyfold.changes.html");
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("arrived.txt/"), std::string::npos);  // the new listing's names are in the page
    EXPECT_EQ(form().StatusText().rfind("Done.", 0), 0u) << form().StatusText();

    // An earlier file that is no listing: said so, nothing opened, the
    // page of the last comparison kept.
    WriteFile(app_ + "\\notes.jsonl", "not a listing\n");
    dialog_.answers.push_back(app_ + "\\notes.jsonl");
    Click(Control::Command1);
    EXPECT_EQ(launcher_.launches.size(), launches + 1);
    EXPECT_NE(form().StatusText().find("is not a listing to compare with"), std::string::npos) << form().StatusText();
    EXPECT_EQ(Report("Tallyfold.changes.html"), page);
}

TEST_F(Form1Run, AReportThatCannotBeWrittenIsReportedAndNotOpened) {
    MakeSampleTree();
    form().SetSourceFolder(src_);
    const std::string report = app_ + "\\" + kTxt;
    WriteFile(report, "held by a viewer");
    {
        // Held open without sharing, as an editor holding the report would.
        platform::win32::UniqueFile held(
            CreateFileA(report.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        Click(Control::Command1);
    }
    EXPECT_TRUE(launcher_.launches.empty());
    EXPECT_NE(form().StatusText().find("could not be written"), std::string::npos) << form().StatusText();
    EXPECT_NE(form().StatusText().find(report), std::string::npos);
    EXPECT_NE(form().StatusText().find("open in another program"), std::string::npos) << form().StatusText();
    EXPECT_NE(form().StatusText().find("earlier report was kept"), std::string::npos) << form().StatusText();
    EXPECT_EQ(Report(kTxt), "held by a viewer");
    EXPECT_EQ(GetFileAttributesA((report + ".partial").c_str()), INVALID_FILE_ATTRIBUTES) << "a partial report was left";
    EXPECT_TRUE(form().stopped() && !form().running());
    EXPECT_TRUE(IsWindowEnabled(item(Control::dir)));

    // A folder that does not exist cannot hold the report either.
    Form1Services services;
    services.messages = &messages_;
    services.launcher = &launcher_;
    services.appFolder = root_ + "\\missing";
    services.quitOnDestroy = false;
    Form1 elsewhere(services);
    ASSERT_TRUE(elsewhere.Create(GetModuleHandleA(nullptr)));
    elsewhere.SetSourceFolder(src_);
    SendMessageA(elsewhere.Item(Control::Command1), BM_CLICK, 0, 0);
    EXPECT_TRUE(launcher_.launches.empty());
    EXPECT_NE(elsewhere.StatusText().find(root_ + "\\missing\\" + kTxt), std::string::npos);
}

TEST_F(Form1Run, ClosingDuringARunCompletesTheReportThenCloses) {
    MakeSampleTree();
    form().SetSourceFolder(src_);
    PumpHook hook;
    HWND window = form().hwnd();
    hook.Post([&] { PostMessageA(window, WM_CLOSE, 0, 0); });
    Click(Control::Command1);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(form().hwnd(), nullptr);
    const std::string report = Report(kTxt);
    EXPECT_NE(report.find("Total File(s): " + std::to_string(form().totals().totalFiles) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(report.substr(report.size() - 64), std::string(62, '*') + "\r\n");
    EXPECT_TRUE(launcher_.launches.empty());
}

TEST_F(Form1Run, TheDesktopKeyListsTheDesktopDirectory) {
    const std::string desktop = platform::win32::DesktopDirectory();
    ASSERT_FALSE(desktop.empty());
    form().SetSourceFolder("Desktop");
    Click(Control::Command1);
    const std::string report = Report(kTxt);
    EXPECT_NE(report.find("\r\n\r\n" + desktop + "\r\n" + std::string(desktop.size(), '*') + "\r\n"),
              std::string::npos);
    EXPECT_TRUE(messages_.shown.empty());
}

// A folder said to lie on a local NTFS volume: read from the volume's file
// table when it opens, walked with the way to the table named when it does
// not, walked without a word when the listing needs the files' contents.
TEST_F(Form1Run, AFolderOnNtfsIsReadFromItsFileTableOrTheStatusSaysHowToGetIt) {
    MakeSampleTree();
    std::vector<std::string> opened;
    const std::string denied = "Access is denied";
    volumeOf_ = [this](const std::string& folder) {
        platform::FolderVolume volume;
        volume.root = "D:\\";
        volume.fullPath = folder == src_ ? "D:\\Sample\\" : "D:\\Docs\\";
        volume.fileSystem = "NTFS";
        volume.local = true;
        volume.device = "\\\\.\\D:";
        volume.utf8Names = true;
        return volume;
    };
    openVolume_ = [&opened, &denied](const std::string& device, std::unique_ptr<platform::VolumeFile>& file) {
        opened.push_back(device);
        if (opened.size() == 1) return denied;
        file = std::make_unique<platform::MemoryVolumeFile>(test::DocsImage());
        return std::string();
    };
    Reopen();

    // Not opened (no administrator): the walk, as before.
    SetChecked(Control::Check4, true);
    listing::ListingOptions options;
    options.recordType = options.recordSize = options.recordModified = true;
    options.format = listing::ReportFormat::kText;
    const std::string walked = EngineReport(options);
    form().SetSourceFolder(src_);
    Click(Control::Command1);
    EXPECT_EQ(Report(kTxt), walked);
    EXPECT_EQ(form().StatusText(), std::string(kDoneText) +
                                       "  Walked the folders: run as administrator to read the NTFS file table, "
                                       "which is faster.");

    // Opened: the folder comes from the table, paths as the walk would give.
    form().SetSourceFolder("D:\\Docs");
    Click(Control::Command1);
    EXPECT_EQ(opened, (std::vector<std::string>{"\\\\.\\D:", "\\\\.\\D:"}));
    EXPECT_EQ(form().StatusText(), std::string(kDoneText) + "  Read from the NTFS file table.");
    const std::string report = Report(kTxt);
    EXPECT_NE(report.find("D:\\Docs\\Sub"), std::string::npos) << report;
    EXPECT_EQ(form().totals().totalFiles, 2u);
    EXPECT_EQ(form().totals().totalBytes, 3005u);

    // Hashes need the files themselves: the volume is not even opened.
    SetChecked(Control::Check5, true);
    form().SetSourceFolder(src_);
    Click(Control::Command1);
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_EQ(form().StatusText(), kDoneText);
}

// The system's own answer: under Wine no volume can be read raw, so a
// folder is walked, and if Wine calls its drive NTFS the status says how
// the table would be read.
TEST_F(Form1Run, WithoutRawVolumeAccessTheFolderIsWalked) {
    MakeSampleTree();
    volumeOf_ = platform::VolumeOfFolder;
    openVolume_ = platform::OpenVolumeFile;
    Reopen();
    listing::ListingOptions options;
    options.recordType = options.recordSize = true;
    options.format = listing::ReportFormat::kText;
    form().SetSourceFolder(src_);
    Click(Control::Command1);
    EXPECT_EQ(Report(kTxt), EngineReport(options));
    const platform::FolderVolume volume = platform::VolumeOfFolder(src_);
    if (volume.fileSystem == "NTFS" && volume.local && volume.utf8Names)
        EXPECT_EQ(form().StatusText(), std::string(kDoneText) +
                                           "  Walked the folders: run as administrator to read the NTFS file "
                                           "table, which is faster.");
    else
        EXPECT_EQ(form().StatusText().rfind(kDoneText, 0), 0u) << form().StatusText();
    EXPECT_EQ(form().StatusText().find("Read from"), std::string::npos);
}

}  // namespace
}  // namespace tf::mainwindow::testing
