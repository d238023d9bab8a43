#pragma once
// The explorer report: one HTML page that browses, searches and sizes the
// listing offline. The listing goes into the page as data chunks in the
// encoding of docs/explorer-format.md, written as the walk goes; the page's
// own code comes after the last chunk. With hashes, each chunk is followed
// by the content hashes of its files, and the last by the groups of files
// with the same content, found here at the end (explorer_duplicates.h).
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <memory>

#include "listing/duplicates/duplicate_finder.h"
#include "listing/listing_sink.h"
#include "listing/formats/record_text.h"
#include "listing/formats/report_file.h"

namespace tf::listing {

// A number in the digits of the page's data (docs/explorer-format.md).
void AppendExplorerNumber(std::string& out, std::uint64_t value);

class ExplorerSink final : public ListingSink {
public:
    // A page of two listings that shows what changed from the first to the
    // second, instead of a catalogue.
    enum class Kind { kCatalogue, kComparison };
    explicit ExplorerSink(std::string path, Kind kind = Kind::kCatalogue)
        : file_(std::move(path)), comparison_(kind == Kind::kComparison) {}
    ExplorerSink(const ExplorerSink&) = delete;
    ExplorerSink& operator=(const ExplorerSink&) = delete;

    // A Begin after Totals starts the next listing of a catalogue in the
    // same page; Close ends the page.
    WriteError Begin(const RunHeader& header) override;
    WriteError BeginSection(const FolderStart& folder) override;
    WriteError Row(const ListedFile& file) override;
    WriteError EndSection(const SectionTotals& totals) override;
    WriteError EndFolder(const FolderRecord& folder) override;
    WriteError FolderSkipped(const FolderRecord& folder) override;
    WriteError Totals(const RunTotals& totals) override;
    WriteError Close() override;
    bool KeepsListingsApart() const override { return true; }
    // The comparison's element (docs/explorer-format.md, "Changes"),
    // written before the page's code at Close.
    void SetChanges(std::string numbers) { changes_ = std::move(numbers); }

private:
    void Head(std::uint64_t head);
    void Number(std::uint64_t value);
    void Hash(const ListedFile& file);
    void WriteDuplicates();
    void Time(platform::FileTicks ticks, std::int64_t& base);
    void Text(std::string_view text);
    void Folder(std::string_view name);
    void Closed(const FolderRecord& folder);
    std::uint64_t TypeRef(std::string_view name, std::string_view type);
    void EndRecord();
    void FlushChunk();
    void Note(WriteError error);
    WriteError Status() const { return error_; }

    ReportFile file_;
    bool started_ = false;
    NameBytes bytes_ = NameBytes::kUtf8;  // how names become UTF-8
    char separator_ = '\\';
    std::string numbers_;  // the chunk being made
    std::string names_;
    std::string scratch_;
    std::int64_t lastTime_ = 0;
    std::unordered_map<std::string, std::uint32_t> types_;            // type -> number
    std::unordered_map<std::string, std::uint32_t> typeOfExtension_;  // as the page infers it
    // Hashes: the algorithm (kNone: none, and never on a comparison page),
    // the chunk's hashes element, the entries so far (files, links and
    // folders, as the page numbers them) and what the groups need.
    platform::HashAlgorithm hash_ = platform::HashAlgorithm::kNone;
    std::string hashes_;
    std::uint64_t entries_ = 0;
    std::unique_ptr<DuplicateFinder> duplicates_;
    std::string digest_;  // the raw bytes of a file's digest
    std::string changes_;  // a comparison page's changes element, empty for none
    bool comparison_ = false;
    WriteError error_ = 0;  // the first write that failed
    bool closed_ = false;
};

}  // namespace tf::listing
