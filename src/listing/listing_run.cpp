#include "listing/listing_run.h"

#include <algorithm>
#include <cerrno>
#include <thread>
#include <memory>

#include "listing/record_writer.h"
#include "listing/report_writer.h"

namespace tf::listing {
namespace {

// The scan reads through worker threads that run ahead of it when asked to.
std::unique_ptr<platform::ReadAheadFileSystem> ReadAheadFor(const ListingOptions& options, platform::FileSystem& fs,
                                                            ScanHost& host) {
    if (options.readAhead == 0) return nullptr;
    platform::ListingWalk walk = WalkOf(options, fs);
    walk.waiting = [&host] { host.PumpEvents(); };
    return std::make_unique<platform::ReadAheadFileSystem>(fs, std::move(walk), options.readAhead);
}

// CSV and JSON Lines keep one file open for the whole run: they are written
// for scripts, not read by a viewer while the window waits.
RunOutcome RunRecordListing(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host,
                            const std::string& reportPath, RunTotals& totals) {
    RunOutcome outcome;
    RecordWriter writer(options.format, fs.Separator(), options.names);
    if (!writer.Open(reportPath)) return {false, writer.Error()};
    const auto ahead = ReadAheadFor(options, fs, host);
    FolderScan scan(options, ahead ? *ahead : fs, host, totals, [&](const FolderSection& s) { writer.WriteSection(s); },
                    [&](const FolderRecord& r) { writer.WriteFolder(r); });
    scan.ScanFolder(options.source);
    if (!writer.Close()) outcome = {false, writer.Error()};
    return outcome;
}

}  // namespace

RunOutcome RunListing(const ListingOptions& requested, platform::FileSystem& fs, ScanHost& host,
                      const std::string& reportPath, RunTotals& totals) {
    ListingOptions options = requested;
    options.names = fs.Names();
    totals = RunTotals{};
    if (options.format == ReportFormat::kCsv || options.format == ReportFormat::kJsonl)
        return RunRecordListing(options, fs, host, reportPath, totals);

    RunOutcome outcome;
    auto note = [&outcome](bool ok) {
        if (!ok && outcome.reportWritten) {
            outcome.reportWritten = false;
            outcome.error = errno;
        }
    };
    // A report that cannot even be started is known before a long scan.
    note(WriteReportHeader(reportPath, options));
    if (!outcome.reportWritten) return outcome;
    const auto ahead = ReadAheadFor(options, fs, host);
    SectionAppender sections(reportPath, options);
    FolderScan scan(options, ahead ? *ahead : fs, host, totals,
                    [&](const FolderSection& section) { note(sections.Add(section)); });
    scan.ScanFolder(options.source);
    note(sections.Flush());
    note(WriteReportTotals(reportPath, options, totals));
    return outcome;
}

unsigned DefaultReadAhead() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

std::string ReportFileName(ReportFormat format) {
    switch (format) {
        case ReportFormat::kText: return "Tallyfold.txt";
        case ReportFormat::kHtml: return "Tallyfold.html";
        case ReportFormat::kCsv: return "Tallyfold.csv";
        case ReportFormat::kJsonl: return "Tallyfold.jsonl";
        case ReportFormat::kNone: return std::string();
    }
    return std::string();
}

}  // namespace tf::listing
