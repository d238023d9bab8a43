#pragma once
// A sink that gathers each folder's section as the report shows it (the
// texts of the recorded columns), for tests of the scan.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "listing/scan/folder_scan.h"
#include "listing/formats/report_columns.h"

namespace tf::listing {

struct ListingEntry {
    std::array<std::string, kColumnCount> text;
    EntryFacts facts;
};

struct FolderSection {
    ListingEntry heading;             // Name = the folder path
    std::vector<ListingEntry> files;  // in their final order
    ListingEntry summary;             // Name = "Info", Type = the count and byte sum
};

class CollectingSink final : public ListingSink {
public:
    CollectingSink(const ListingOptions& options, std::function<void(const FolderSection&)> onSection,
                   std::function<void(const FolderRecord&)> onFolder = nullptr)
        : options_(options), onSection_(std::move(onSection)), onFolder_(std::move(onFolder)) {}

    WriteError Begin(const RunHeader&) override { return 0; }
    WriteError BeginSection(const FolderStart& folder) override {
        section_ = FolderSection{};
        section_.heading.text[kName] = folder.path;
        return 0;
    }
    WriteError Row(const ListedFile& file) override {
        ListingEntry row;
        for (int c = 0; c < kColumnCount; ++c) AppendColumnText(row.text[c], file, c, options_);
        row.facts.name = std::string(file.name);
        row.facts.type = std::string(file.type);
        row.facts.kind = file.kind;
        row.facts.size = file.size;
        row.facts.created = file.created;
        row.facts.modified = file.modified;
        section_.files.push_back(std::move(row));
        return 0;
    }
    WriteError EndSection(const SectionTotals& totals) override {
        section_.summary.text[kName] = "Info";
        section_.summary.text[kType] = "File(s): " + std::to_string(totals.files) +
                                       " - Size: " + std::to_string(totals.bytes) + " Byte(s).";
        if (onSection_) onSection_(section_);
        return 0;
    }
    WriteError EndFolder(const FolderRecord& folder) override {
        if (onFolder_) onFolder_(folder);
        return 0;
    }
    WriteError FolderSkipped(const FolderRecord& folder) override {
        if (onFolder_ && folder.skipped != SkipReason::kExcluded) onFolder_(folder);
        return 0;
    }
    WriteError Totals(const RunTotals&) override { return 0; }
    WriteError Close() override { return 0; }

private:
    const ListingOptions& options_;
    std::function<void(const FolderSection&)> onSection_;
    std::function<void(const FolderRecord&)> onFolder_;
    FolderSection section_;
};

// Scans `path` with `options`, handing each section and folder record on.
inline void ScanSections(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host, RunTotals& totals,
                         const std::string& path, std::function<void(const FolderSection&)> onSection,
                         std::function<void(const FolderRecord&)> onFolder = nullptr) {
    CollectingSink sink(options, std::move(onSection), std::move(onFolder));
    FolderScan(options, fs, host, totals, sink).ScanFolder(path);
}

}  // namespace tf::listing
