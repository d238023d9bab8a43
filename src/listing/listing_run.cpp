#include "listing/listing_run.h"

#include <cerrno>

#include "listing/record_writer.h"
#include "listing/report_writer.h"

namespace tf::listing {
namespace {

// CSV and JSON Lines keep one file open for the whole run: they are written
// for scripts, not read by a viewer while the window waits.
RunOutcome RunRecordListing(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host,
                            const std::string& reportPath, RunTotals& totals) {
    RunOutcome outcome;
    RecordWriter writer(options.format, fs.Separator(), options.names);
    if (!writer.Open(reportPath)) return {false, writer.Error()};
    FolderScan scan(options, fs, host, totals, [&](const FolderSection& s) { writer.WriteSection(s); },
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
    FolderScan scan(options, fs, host, totals,
                    [&](const FolderSection& section) { note(WriteFolderSection(reportPath, options, section)); });
    scan.ScanFolder(options.source);
    note(WriteReportTotals(reportPath, options, totals));
    return outcome;
}

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
