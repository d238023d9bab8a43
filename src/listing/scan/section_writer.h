#pragma once
// Hands one folder's files to a sink at a time: as they come when no order
// is chosen, otherwise held in a compact form (about 100 bytes and the name
// each) and sorted before they go. Shared by the scan and the replay, so
// both order and count rows alike.
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "listing/listing_sink.h"

namespace tf::listing {

class SectionWriter {
public:
    // Sink errors are kept in `error` (the first one); `totals` counts every
    // row handed on.
    SectionWriter(const ListingOptions& options, ListingSink& sink, RunTotals& totals, WriteError& error);

    // A folder's section opens; the sink hears of it with its first row, or
    // at End when no row is streamed before.
    void Open(const std::string& path, int depth);
    void Add(const ListedFile& file);
    // Writes held rows and the section's end; `unread` says why the folder
    // could not be read, if it could not.
    SectionTotals End(SkipReason unread);

private:
    struct HeldRow {
        std::string name;
        const std::string* type;
        EntryKind kind;
        std::uint32_t links;
        platform::SpecialFile special;
        std::uint64_t size, allocated, created, modified, inode;
        std::string digest;
        platform::ContentStatus unhashed;
        std::string target;
        platform::FileStamp stamp;
    };
    void BeginOnce(SkipReason unread);
    void Note(WriteError e) {
        if (e && !error_) error_ = e;
    }
    void Sort();
    static ListedFile View(const HeldRow& row);

    const ListingOptions& options_;
    ListingSink& sink_;
    RunTotals& totals_;
    WriteError& error_;
    const bool hold_;
    std::string path_;
    int depth_ = 0;
    bool begun_ = false;
    SectionTotals section_;
    std::vector<HeldRow> held_;
    std::unordered_set<std::string> types_;  // each type text once for the run
};

}  // namespace tf::listing
