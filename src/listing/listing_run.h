#pragma once
// A whole listing run as both front ends perform it: header, scan (or the
// replay of a saved listing), totals, each written by the format's sink.
#include <string>
#include <vector>

#include "listing/scan/folder_scan.h"
#include "listing/scan/listing_replay.h"

namespace tf::listing {

struct RunOutcome {
    bool reportWritten = true;  // every stage wrote its part
    int error = 0;              // the error code of the first write that failed
};

// Writes the report header, scans options.source and appends the totals,
// which are reset first. A header that cannot be written ends the run before
// the scan; a later stage that cannot write does not. Files that provably
// did not change since `earlier` was listed take their hashes from there
// (when they are of the run's hashes) instead of being read.
RunOutcome RunListing(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host,
                      const std::string& reportPath, RunTotals& totals, const EarlierHashes* earlier = nullptr);

// The content hash a run gives every file: the one its format is made of,
// else the run's own choice (kNone: none).
platform::HashAlgorithm RunHashes(const ListingOptions& options);

// Writes the report of saved JSON Lines listings instead of a scan: with
// the options of a direct run, the same bytes that run writes (several
// listings follow each other, each with its own source). A listing that is
// not valid ends the run with `invalid` saying where and why; the report is
// then not complete and should be thrown away. The listings are opened
// already (each read from its start, so each is opened once: a pipe can be
// read only once).
RunOutcome ReplayListings(const std::vector<ListingInput*>& listings, const ListingOptions& options, ScanHost& host,
                          const std::string& reportPath, RunTotals& totals, ReplayResult& invalid);

// The same, into a sink of the caller's, which is closed at the end.
RunOutcome ReplayListings(const std::vector<ListingInput*>& listings, const ListingOptions& options, ScanHost& host,
                          ListingSink& sink, RunTotals& totals, ReplayResult& invalid);

// Threads that read ahead by default: one per processor, at most four.
unsigned DefaultReadAhead();

// The report file name of a format: "Tallyfold.txt", "Tallyfold.html",
// "Tallyfold.csv", "Tallyfold.jsonl", "Tallyfold.ncdu.json",
// "Tallyfold.explorer.html", "Tallyfold.hashdeep.txt", "Tallyfold.mtree",
// "Tallyfold.efu", or empty for kNone.
std::string ReportFileName(ReportFormat format);

}  // namespace tf::listing
