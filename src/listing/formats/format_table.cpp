#include "listing/formats/format_table.h"

#include "listing/explorer/explorer_sink.h"
#include "listing/formats/report_sinks.h"

namespace tf::listing {
namespace {

std::unique_ptr<ListingSink> MakeExplorerSink(const std::string& path) { return std::make_unique<ExplorerSink>(path); }

using platform::HashAlgorithm;

const FormatEntry kFormats[] = {
    {ReportFormat::kText, "text", "Tallyfold.txt", "Tallyfold.duplicates.txt", MakeTextSink, HashAlgorithm::kNone,
     "the report: a section per folder, then the totals (the default)", "Text", "TXT file (.txt)", ".txt",
     ReportViewer::kNotepad},
    {ReportFormat::kHtml, "html", "Tallyfold.html", nullptr, MakeHtmlSink, HashAlgorithm::kNone,
     "the report as an HTML page", "HTML", "HTML file (.html)", ".html", ReportViewer::kBrowser},
    {ReportFormat::kCsv, "csv", "Tallyfold.csv", "Tallyfold.duplicates.csv", MakeCsvSink, HashAlgorithm::kNone,
     "a row per file, link and folder (RFC 4180)", "CSV", "CSV file (.csv)", ".csv", ReportViewer::kAssociated},
    {ReportFormat::kJsonl, "jsonl", "Tallyfold.jsonl", "Tallyfold.duplicates.jsonl", MakeJsonlSink,
     HashAlgorithm::kNone, "a JSON object per entry: the listing --from and tallyfold-diff read", "JSON Lines",
     "JSON Lines file (.jsonl)", ".jsonl", ReportViewer::kAssociated},
    {ReportFormat::kNcdu, "ncdu", "Tallyfold.ncdu.json", nullptr, MakeNcduSink, HashAlgorithm::kNone,
     "the export of disk-usage browsers", nullptr, nullptr, nullptr, ReportViewer::kAssociated},
    {ReportFormat::kExplorer, "explorer", "Tallyfold.explorer.html", nullptr, MakeExplorerSink, HashAlgorithm::kNone,
     "one page that browses, searches and sizes the listing offline", "Explorer", "Explorer page (.html)", ".html",
     ReportViewer::kPage},
    {ReportFormat::kHashdeep, "hashdeep", "Tallyfold.hashdeep.txt", nullptr, MakeHashdeepSink,
     HashAlgorithm::kSha256, "an audit file of size, SHA-256 and name", nullptr, nullptr, nullptr,
     ReportViewer::kAssociated},
    {ReportFormat::kMtree, "mtree", "Tallyfold.mtree", nullptr, MakeMtreeSink, HashAlgorithm::kSha256,
     "a BSD mtree specification, with SHA-256", nullptr, nullptr, nullptr, ReportViewer::kAssociated},
    {ReportFormat::kEfu, "efu", "Tallyfold.efu", nullptr, MakeEfuSink, HashAlgorithm::kNone,
     "the EFU file list (CSV)", nullptr, nullptr, nullptr, ReportViewer::kAssociated},
};

}  // namespace

const FormatEntry* FormatsBegin() { return std::begin(kFormats); }
const FormatEntry* FormatsEnd() { return std::end(kFormats); }

const FormatEntry* FormatNamed(std::string_view name) {
    for (const FormatEntry& row : kFormats)
        if (name == row.name) return &row;
    return nullptr;
}

const FormatEntry* EntryOf(ReportFormat format) {
    for (const FormatEntry& row : kFormats)
        if (row.format == format) return &row;
    return nullptr;
}

std::string FormatNames(const char* separator, bool duplicatesOnly) {
    std::string out;
    for (const FormatEntry& row : kFormats) {
        if (duplicatesOnly && !row.duplicatesFileName) continue;
        if (!out.empty()) out += separator;
        out += row.name;
    }
    return out;
}

}  // namespace tf::listing
