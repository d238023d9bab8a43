// Form1's run control: Start, Stop, Save as, the output-format box, the page
// tabs, and the event pump the scan calls between directory entries.
#include <windows.h>
#include <commctrl.h>

#include <chrono>

#include "listing/listing_run.h"
#include "mainwindow/form1_win.h"
#include "mainwindow/report_choices.h"
#include "platform/content_hash.h"
#include "platform/replacing_file.h"
#include "platform/win32/desktop_services_win.h"
#include "snapshot/compare_page.h"

namespace tf::mainwindow {
namespace {

constexpr char kNoOrderText[] = "No order";
// Tree keys name the desktop by this word rather than by a path.
constexpr char kDesktopKey[] = "Desktop";
// Progress in panel 1 is shown at most this often: repainting the status bar
// for every file costs far more than the scan itself, and nobody can read
// paths that change faster.
constexpr DWORD kProgressIntervalMs = 40;
// Pending events are handled this often during a run, and at once when input
// is waiting: each look at the queue is a trip to the window system.
constexpr auto kPumpInterval = std::chrono::milliseconds(5);
// Input is looked for every this many calls between the timed pumps.
constexpr unsigned kInputCheckEvery = 64;

listing::ReportFormat FormatOf(const std::string& text) {
    const ReportChoice* choice = ChoiceOf(text);
    return choice ? choice->format : listing::ReportFormat::kNone;
}

bool Checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Windows paths name one file whatever the case of their letters.
bool CompareIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

std::string Form1::ListingPath(const std::string& formatText) const {
    const std::string name = listing::ReportFileName(FormatOf(formatText));
    return name.empty() ? std::string() : appFolder_ + "\\" + name;
}

std::string Form1::ReportPath(const std::string& formatText) const {
    const ReportChoice* choice = ChoiceOf(formatText);
    return choice && choice->comparison ? appFolder_ + "\\" + kChangesPageName : ListingPath(formatText);
}

listing::ListingOptions Form1::ReadOptions(const std::string& source) const {
    listing::ListingOptions options;
    options.source = source;
    options.filter = Text(Control::filter);
    options.recordType = Checked(Item(Control::Check1));
    options.recordSize = Checked(Item(Control::Check2));
    options.recordCreated = Checked(Item(Control::Check3));
    options.recordModified = Checked(Item(Control::Check4));
    // The fast hash: a check of content, not a signature.
    options.hash = Checked(Item(Control::Check5)) ? platform::HashAlgorithm::kXxh128 : platform::HashAlgorithm::kNone;
    // The order is the list position of the text; "No order", or a typed
    // text that is no list entry, keeps the search order.
    options.order = listing::kNoOrder;
    const std::string order = Text(Control::orderby);
    HWND orderby = Item(Control::orderby);
    const int count = static_cast<int>(SendMessageA(orderby, CB_GETCOUNT, 0, 0));
    for (int i = 0; order != kNoOrderText && i < count; ++i) {
        const LRESULT length = SendMessageA(orderby, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length == CB_ERR) continue;
        std::string entry(static_cast<std::size_t>(length) + 1, '\0');
        SendMessageA(orderby, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry.data()));
        entry.resize(static_cast<std::size_t>(length));
        if (entry == order) {
            options.order = i;
            break;
        }
    }
    options.format = FormatOf(Text(Control::saveas));
    options.readAhead = listing::DefaultReadAhead();
    return options;
}

void Form1::MarkBold(std::optional<Control> button) {
    bold_ = button;
    for (Control c : {Control::Command1, Control::Command2, Control::Command3}) {
        HFONT font = (button && *button == c) ? boldFont_.get() : font_.get();
        SendMessageA(Item(c), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
}

void Form1::EnableOptions(bool enable) {
    for (Control c : {Control::dir, Control::orderby, Control::saveas, Control::filter, Control::Check1,
                      Control::Check2, Control::Check3, Control::Check4, Control::Check5})
        EnableWindow(Item(c), enable);
}

void Form1::Command1_Click() {
    const std::string folder = Text(Control::dir);
    if (folder.empty()) {
        services_.messages->Show(kNoFolderText);
        return;
    }
    // A stopped scan that is still unwinding shares the totals and the
    // report: no second run until it has returned.
    if (running_ || scanActive_) return;

    const std::string formatText = Text(Control::saveas);
    const ReportChoice* choice = ChoiceOf(formatText);
    // What this run's listing is compared with; the last comparison's
    // listing is offered first.
    std::string earlier;
    if (choice && choice->comparison) {
        const std::optional<std::string> chosen =
            services_.fileDialog->AskOpen(ListingPath(formatText), "JSON Lines listing (.jsonl)");
        if (!chosen) return;  // nothing starts
        earlier = *chosen;
    }

    std::string source = folder;
    if (source == kDesktopKey) {
        source = platform::win32::DesktopDirectory();
        if (source.empty()) {
            services_.messages->Show(kNoFolderText);
            return;
        }
    }

    totals_ = listing::RunTotals{};
    MarkBold(Control::Command1);
    EnableOptions(false);
    stopped_ = false;
    started_ = true;
    running_ = true;
    scanActive_ = true;

    listing::ListingOptions options = ReadOptions(source);
    // A folder on a local NTFS volume is read from the volume's file table
    // where the program may read it (and the listing needs no contents);
    // the reading is stopped as the scan is.
    listing::volume::FileTableListing table;
    if (listing::volume::FileTableRefusal(options, "").empty()) {
        table = listing::volume::ReadFileTable(
            services_.volumeOf(source), source, services_.fileSystem->Separator(), services_.fileSystem,
            services_.openVolume, [this](std::uint64_t records) {
                SetStatus("Reading the NTFS file table: " + std::to_string(records) + " records");
                PumpEvents();
                return !stopped_;
            });
        if (table.fs) options.readAhead = 0;  // the table is in memory: nothing to wait for
    }
    const std::string wayNote = listing::volume::FileTableNote(table);
    // The earlier report stays until the new one is complete.
    const std::string reportPath = ListingPath(formatText);
    // This run replaces the listing a comparison may have been asked to
    // read: that one is read from a copy.
    if (!earlier.empty() && CompareIgnoringAsciiCase(earlier, reportPath) &&
        services_.files->Copy(earlier, appFolder_ + "\\Tallyfold.earlier.jsonl"))
        earlier = appFolder_ + "\\Tallyfold.earlier.jsonl";
    // Files that did not change since the listing kept beside the program
    // are not read again (none the first time).
    listing::EarlierHashes kept;
    if (options.hash != platform::HashAlgorithm::kNone)
        kept.Load(appFolder_ + "\\" + listing::ReportFileName(listing::ReportFormat::kJsonl), options.hash);
    const listing::RunOutcome outcome = listing::RunListing(
        options, table.fs ? *table.fs : *services_.fileSystem, *this, reportPath, totals_, &kept);

    scanActive_ = false;
    stopped_ = true;
    running_ = false;
    if (!hwnd_) return;  // destroyed from outside during the run
    EnableOptions(true);
    if (closeRequested_) {
        DestroyWindow(hwnd_);
        return;
    }
    if (!outcome.reportWritten) {
        SetStatusText("The report could not be written to " + reportPath + ": " +
                      platform::WriteErrorText(outcome.error) + ". The earlier report was kept.");
        return;
    }
    if (!earlier.empty()) {
        ShowChanges(earlier, reportPath);
        if (!wayNote.empty()) SetStatusText(StatusText() + "  " + wayNote + ".");
        return;
    }
    // A format text the box does not know wrote nothing, and the HTML
    // viewer is still started on the HTML report's path, as it always was.
    switch (choice ? choice->viewer : Viewer::kBrowser) {
        case Viewer::kNotepad: services_.launcher->Open("notepad.exe", reportPath); break;
        case Viewer::kBrowser: services_.launcher->Open("iexplore.exe", ReportPath("HTML")); break;
        case Viewer::kAssociated: services_.launcher->OpenDocument(reportPath, "notepad.exe"); break;
        case Viewer::kPage: services_.launcher->OpenDocument(reportPath, "iexplore.exe"); break;
    }
    SetStatusText(wayNote.empty() ? std::string(kDoneText) : std::string(kDoneText) + "  " + wayNote + ".");
}

void Form1::ShowChanges(const std::string& earlier, const std::string& listing) {
    const std::string page = appFolder_ + "\\" + kChangesPageName;
    listing::ReplayResult invalid;
    const listing::RunOutcome outcome = snapshot::WriteComparisonPage(earlier, listing, page, invalid);
    if (!invalid.ok) {
        const std::string which = invalid.source == listing ? listing : earlier;
        SetStatusText(which + " is not a listing to compare with (line " + std::to_string(invalid.line) + ": " +
                      invalid.reason + "). This run's listing is " + listing + ".");
        return;
    }
    if (!outcome.reportWritten) {
        SetStatusText("The changes could not be written to " + page + ": " +
                      platform::WriteErrorText(outcome.error) + ". The earlier page was kept.");
        return;
    }
    services_.launcher->OpenDocument(page, "iexplore.exe");
    SetStatusText("Done.  The changes since " + earlier + " are shown; this run's listing is kept as " + listing +
                  ".");
}

void Form1::Command2_Click() {
    if (!started_) return;
    MarkBold(Control::Command2);
    stopped_ = true;
    running_ = false;
}

void Form1::Command3_Click() {
    if (!stopped_ || !started_ || scanActive_) return;
    const std::optional<Control> previousBold = bold_;
    MarkBold(Control::Command3);

    const std::string formatText = Text(Control::saveas);
    const ReportChoice* choice = ChoiceOf(formatText);
    if (!choice) return;
    const std::string extension = choice->extension;
    const std::optional<std::string> chosen = services_.fileDialog->AskSave("Tallyfold", choice->description);
    if (!chosen) {
        MarkBold(previousBold);  // a cancelled dialog leaves everything as it was
        return;
    }
    const std::string source = ReportPath(formatText);
    const std::string destination = *chosen + extension;
    if (!services_.files->Exists(source)) {
        SetStatusText("There is no report to save: " + source + " does not exist.");
    } else if (!services_.files->Copy(source, destination)) {
        SetStatusText("The report could not be copied to " + destination + ".");
    } else {
        SetStatusText("Saved as " + destination + ".");
    }
}

void Form1::saveas_Change() { EnableWindow(Item(Control::savelist), TRUE); }

void Form1::TabStrip1_Click() {
    const bool main = SendMessageA(Item(Control::TabStrip1), TCM_GETCURSEL, 0, 0) == 0;
    ShowWindow(Item(Control::Frame1), main ? SW_SHOW : SW_HIDE);
    ShowWindow(Item(Control::Frame2), main ? SW_HIDE : SW_SHOW);
}

void Form1::SetStatus(const std::string& text) {
    const DWORD now = GetTickCount();
    if (now - lastProgressTick_ < kProgressIntervalMs) return;
    lastProgressTick_ = now;
    // While files are hashed, how far that has come leads: a path alone
    // says nothing of a large file read for minutes.
    const std::string hashed = listing::HashProgressText(totals_);
    SetStatusText(hashed.empty() ? text : hashed + "  " + text);
}

void Form1::PumpEvents() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPump_ < kPumpInterval && (++pumpCalls_ % kInputCheckEvery != 0 || !GetInputState())) return;
    lastPump_ = now;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave the quit for the outer loop, and end the run.
            PostQuitMessage(static_cast<int>(msg.wParam));
            stopped_ = true;
            running_ = false;
            return;
        }
        if (PreTranslateMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace tf::mainwindow
