#pragma once
// A whole listing run as both front ends perform it: header, scan (or the
// replay of a saved listing), totals, each written by the format's sink.
#include <string>

#include "listing/folder_scan.h"

namespace tf::listing {

struct RunOutcome {
    bool reportWritten = true;  // every stage wrote its part
    int error = 0;              // the error code of the first write that failed
};

// Writes the report header, scans options.source and appends the totals,
// which are reset first. A header that cannot be written ends the run before
// the scan; a later stage that cannot write does not.
RunOutcome RunListing(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host,
                      const std::string& reportPath, RunTotals& totals);

// Threads that read ahead by default: one per processor, at most four.
unsigned DefaultReadAhead();

// The report file name of a format: "Tallyfold.txt", "Tallyfold.html",
// "Tallyfold.csv", "Tallyfold.jsonl", "Tallyfold.ncdu.json",
// "Tallyfold.explorer.html", or empty for kNone.
std::string ReportFileName(ReportFormat format);

}  // namespace tf::listing
