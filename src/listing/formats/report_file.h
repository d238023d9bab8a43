#pragma once
// A report file written in batches: each batch is one open, append and
// close, so no file stays open while the window handles events during a
// scan, and thousands of small folders do not cost one open each. Every
// call that writes returns the error code of the write that failed.
#include <cstddef>
#include <string>

namespace tf::listing {

class ReportFile {
public:
    explicit ReportFile(std::string path) : path_(std::move(path)) {}

    // Creates the file or empties it, with what is pending as its start.
    int Create();
    // Where the sinks append their bytes.
    std::string& Pending() { return pending_; }
    // Appends the pending bytes once a batch is full.
    int Step() { return pending_.size() < kBatchBytes ? 0 : Flush(); }
    int Flush();
    const std::string& Path() const { return path_; }

private:
    static constexpr std::size_t kBatchBytes = 64 * 1024;
    int Write(const char* mode);
    std::string path_;
    std::string pending_;
};

}  // namespace tf::listing
