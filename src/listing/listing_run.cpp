#include "listing/listing_run.h"

#include <cerrno>

#include "listing/report_writer.h"

namespace tf::listing {

RunOutcome RunListing(const ListingOptions& requested, platform::FileSystem& fs, ScanHost& host,
                      const std::string& reportPath, RunTotals& totals) {
    ListingOptions options = requested;
    options.names = fs.Names();
    RunOutcome outcome;
    auto note = [&outcome](bool ok) {
        if (!ok && outcome.reportWritten) {
            outcome.reportWritten = false;
            outcome.error = errno;
        }
    };
    totals = RunTotals{};
    note(WriteReportHeader(reportPath, options));
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
        case ReportFormat::kNone: return std::string();
    }
    return std::string();
}

}  // namespace tf::listing
