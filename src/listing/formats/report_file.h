#pragma once
// A report file written in batches through one open handle, to a file
// beside its place that replaces the earlier report only when Commit finds
// every batch written. The first write that fails is the report's error:
// nothing after it is written (a report with a hole in it is worse than
// none), and Commit then removes the partial file, so the earlier report
// stays as it was.
#include <cstddef>
#include <string>

#include "platform/replacing_file.h"

namespace tf::listing {

class ReportFile {
public:
    explicit ReportFile(std::string path) : file_(std::move(path)) {}

    // Opens the report, with what is pending as its start.
    int Create();
    // Where the sinks append their bytes.
    std::string& Pending() { return pending_; }
    // Writes the pending bytes once a batch is full.
    int Step() { return pending_.size() < kBatchBytes ? error_ : Flush(); }
    int Flush();
    // Writes what is pending and puts the report in its place; after an
    // error, removes it instead and answers that error.
    int Commit();
    // The first error, or 0.
    int Error() const { return error_; }
    const std::string& Path() const { return file_.Path(); }

private:
    static constexpr std::size_t kBatchBytes = 64 * 1024;
    platform::ReplacingFile file_;
    std::string pending_;
    int error_ = 0;
    bool open_ = false;
};

}  // namespace tf::listing
