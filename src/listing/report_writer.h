#pragma once
// The text and HTML reports. Each stage opens the report, appends its lines
// and closes it again, so no file stays open while the window handles events
// during a scan. Every line ends in CR LF.
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
bool WriteFolderSection(const std::string& reportPath, const ListingOptions& options, const FolderSection& section);
bool WriteReportTotals(const std::string& reportPath, const ListingOptions& options, const RunTotals& totals);

}  // namespace tf::listing
