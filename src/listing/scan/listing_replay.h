#pragma once
// Replays a saved JSON Lines listing through a sink, as a scan of the same
// tree with the same options would have driven it: the listing's own order,
// filters, excludes, depth and sorting applied again, totals counted anew.
// The listing is read as a stream: memory does not grow with it.
#include <cstdint>
#include <string>
#include <string_view>

#include "listing/scan/folder_scan.h"

namespace tf::listing {

struct ReplayResult {
    bool ok = true;
    std::uint64_t line = 0;  // where the listing stopped being valid
    std::string reason;      // why
    std::string source;      // the listing's source folder
    platform::FileTicks listedAt = 0;  // when it was listed, where the listing says so
    // The algorithm of the hashes its files carry (its source folder's
    // "hashes"), kNone for a listing without.
    platform::HashAlgorithm hash = platform::HashAlgorithm::kNone;
};

// A saved listing opened for reading, through the platform's files (a pipe
// is read into a temporary file first): its source record is read at
// Open, then its lines in order, each once.
class ListingInput {
public:
    ListingInput();
    ~ListingInput();
    ListingInput(const ListingInput&) = delete;
    ListingInput& operator=(const ListingInput&) = delete;

    // The source folder the listing was made of (its last record), when it
    // was listed (0 if the record does not say), its hashes and the
    // separator of its paths; false with `Head()` saying why when there is
    // none.
    bool Open(const std::string& path);
    const ReplayResult& Head() const { return head_; }
    char Separator() const { return separator_; }
    const std::string& Path() const { return path_; }
    // When the listing's file was last written (FILETIME ticks), 0 when
    // not known, as for a pipe.
    std::uint64_t FileModified() const;

    // The next line without its line end; false at the end. Lines are
    // counted from 1; LineStart is where the last one given starts.
    bool NextLine(std::string& line);
    // The same as a view into the input's buffer, valid until the next call:
    // for readers that look at each line once.
    bool NextLine(std::string_view& line);
    std::uint64_t LineNumber() const { return number_; }
    std::uint64_t LineStart() const { return lineStart_; }
    bool ReadFailed() const { return failed_; }
    // From the start again.
    void Rewind();
    // The line that starts at `at` (as LineStart gave it), read again.
    bool LineAt(std::uint64_t at, std::string& line);

private:
    bool Fill();
    std::string path_;
    ReplayResult head_;
    char separator_ = '/';
    struct File;
    std::unique_ptr<File> file_;
    std::string buffer_;
    std::size_t next_ = 0;        // in buffer_
    std::uint64_t bufferAt_ = 0;  // where buffer_ starts in the file
    std::uint64_t number_ = 0, lineStart_ = 0;
    bool failed_ = false;
};

// Drives `sink` from BeginSection to the source's EndFolder; Begin, Totals
// and Close are the caller's. `options.source` is not used: the listing
// names its own. Sink errors go to `writeError` (the first one). The input
// is read from its start.
ReplayResult ReplayListing(ListingInput& input, const ListingOptions& options, ScanHost& host, RunTotals& totals,
                           ListingSink& sink, WriteError& writeError);

}  // namespace tf::listing
