#pragma once
// The machine-readable listings: CSV (RFC 4180, UTF-8, a header row) and
// JSON Lines. One record per file or link, written as its folder's section
// comes in, and one per folder once everything below it is known, so the
// folder's subtree total is exact and nothing is held beyond one folder.
#include <cstdio>
#include <string>

#include "listing/listing_types.h"

namespace tf::listing {

class RecordWriter {
public:
    RecordWriter(ReportFormat format, char separator, platform::NameEncoding names)
        : format_(format), separator_(separator), utf8_(names == platform::NameEncoding::kUtf8) {}
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Creates or replaces the file and writes the CSV header; false (errno
    // tells why) when it cannot.
    bool Open(const std::string& path);
    void WriteSection(const FolderSection& section);
    void WriteFolder(const FolderRecord& record);
    // Writes what is left and closes; false when any write failed.
    bool Close();
    int Error() const { return error_; }  // errno of the first failure

private:
    void Record(const std::string& folder, const EntryFacts& facts, const FolderRecord* totals);
    void Flush();

    ReportFormat format_;
    char separator_;
    bool utf8_;  // names are UTF-8, not code-page bytes
    std::FILE* file_ = nullptr;
    std::string buffer_;
    std::string path_;  // scratch: the path of the record being written
    bool ok_ = true;
    int error_ = 0;
    void Fail();
};

}  // namespace tf::listing
