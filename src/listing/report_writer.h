#pragma once
// The text and HTML reports. Each write opens the report, appends its lines
// and closes it again, so no file stays open while the window handles events
// during a scan. Every line ends in CR LF.
#include <cstddef>
#include <string>

#include "listing/listing_types.h"

namespace tf::listing {

// The lines of each stage, appended to `out`. kNone formats add nothing.
void FormatReportHeader(std::string& out, const ListingOptions& options);
void FormatFolderSection(std::string& out, const ListingOptions& options, const FolderSection& section);
void FormatReportTotals(std::string& out, const ListingOptions& options, const RunTotals& totals);

// The stages on the report file. The header replaces the file's contents;
// the others append. They return false when the file cannot be opened or
// written (errno then tells why); with format kNone they write nothing and
// succeed.
bool WriteReportHeader(const std::string& reportPath, const ListingOptions& options);
bool WriteReportTotals(const std::string& reportPath, const ListingOptions& options, const RunTotals& totals);

// Appends folder sections in batches of about 64 KiB, each with one open,
// append and close: thousands of small folders do not cost one open each.
class SectionAppender {
public:
    SectionAppender(const std::string& reportPath, const ListingOptions& options);
    // False when a batch it wrote failed.
    bool Add(const FolderSection& section);
    // Appends what is pending; due before the totals.
    bool Flush();

private:
    static constexpr std::size_t kBatchBytes = 64 * 1024;
    const std::string reportPath_;
    const ListingOptions options_;
    std::string pending_;
};

}  // namespace tf::listing
