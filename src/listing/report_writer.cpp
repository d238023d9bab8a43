#include "listing/report_writer.h"

#include <cstdio>

#include "listing/text_units.h"

namespace tf::listing {
namespace {

constexpr char kEol[] = "\r\n";
constexpr std::size_t kTotalsRuleLength = 62;

// Text report column widths; the last column is never padded.
constexpr std::size_t kNameWidth = 45;
constexpr std::size_t kTypeWidth = 30;
constexpr std::size_t kSizeWidth = 20;
constexpr std::size_t kCreatedWidth = 20;

// HTML literals.
constexpr char kTableOpen[] = "<table>";
constexpr char kTableClose[] = "</table>";
constexpr char kRow[] = "<tr>";
constexpr char kSizedCellStart[] = "<td style=\"width:";
constexpr char kHeaderCellMiddle[] = "px; height:100px;\"><b>";
constexpr char kLastHeaderCell[] = "<td style=\"width:200px; height:100px;\"><b>";
constexpr char kDataCellMiddle[] = "px;\">";
constexpr char kBoldEnd[] = "</b>";
constexpr char kBoldCellStart[] = "<td><b>";
constexpr char kPlainCellStart[] = "<td>";
constexpr char kSpacerAboveSummary[] = "<tr><td style=\"height:25px;\">";
constexpr char kSpacerBelowSummary[] = "<tr><td style=\"height:50px;\">";
constexpr char kTotalsLineStart[] = "<tr><td><b>";

struct OptionalColumn {
    Column column;
    const char* header;
    std::size_t textWidth;  // 0: last column, not padded
    const char* htmlWidth;
    bool ListingOptions::*recorded;
};

constexpr OptionalColumn kOptionalColumns[] = {
    {kType, "Type", kTypeWidth, "300", &ListingOptions::recordType},
    {kSize, "Size(KB)", kSizeWidth, "200", &ListingOptions::recordSize},
    {kCreated, "Created date", kCreatedWidth, "200", &ListingOptions::recordCreated},
    {kModified, "Last modified date", 0, "200", &ListingOptions::recordModified},
};

void Line(std::string& out, std::string_view text) {
    out += text;
    out += kEol;
}

// A name may hold CR or LF; in the text report each becomes "?" so that
// every line still ends where CR LF says.
void AppendLineText(std::string& out, std::string_view text) {
    const std::size_t start = out.size();
    out += text;
    for (std::size_t i = start; i < out.size(); ++i)
        if (out[i] == '\r' || out[i] == '\n') out[i] = '?';
}

void Padded(std::string& out, std::string_view value, std::size_t width,
            platform::NameEncoding names = platform::NameEncoding::kUtf8) {
    AppendLineText(out, value);
    const std::size_t length = CharCount(value, names);
    if (length < width) out.append(width - length, ' ');
}

// Names, paths and type texts go into the page as text, never as markup.
void AppendHtmlText(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
}

std::string TotalSizeText(const RunTotals& totals) {
    return "Total Files Size: " + std::to_string(RoundScaledBytes(totals.totalBytes, 2)) + " MB; " +
           std::to_string(RoundScaledBytes(totals.totalBytes, 1)) + " KB; " + std::to_string(totals.totalBytes) +
           " Byte(s).";
}

void TextFileRow(std::string& out, const ListingOptions& options, const ListingEntry& row) {
    Padded(out, row.text[kName], kNameWidth, options.names);
    for (const OptionalColumn& col : kOptionalColumns) {
        if (!(options.*col.recorded)) continue;
        if (col.textWidth)
            Padded(out, row.text[col.column], col.textWidth, options.names);
        else
            AppendLineText(out, row.text[col.column]);
    }
    out += kEol;
}

void HtmlFileRow(std::string& out, const ListingOptions& options, const ListingEntry& row) {
    Line(out, kTableOpen);
    Line(out, kRow);
    out += kSizedCellStart;
    out += "450";
    out += kDataCellMiddle;
    AppendHtmlText(out, row.text[kName]);
    out += kEol;
    for (const OptionalColumn& col : kOptionalColumns) {
        if (!(options.*col.recorded)) continue;
        out += kSizedCellStart;
        out += col.htmlWidth;
        out += kDataCellMiddle;
        AppendHtmlText(out, row.text[col.column]);
        out += kEol;
    }
    Line(out, kTableClose);
}

class File {
public:
    File(const std::string& path, const char* mode) : f_(std::fopen(path.c_str(), mode)) {}
    ~File() {
        if (f_) std::fclose(f_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // Writes everything and closes; false when any of it failed.
    bool WriteAndClose(const std::string& bytes) {
        if (!f_) return false;
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f_) == bytes.size();
        const bool closed = std::fclose(f_) == 0;
        f_ = nullptr;
        return written && closed;
    }

private:
    std::FILE* f_;
};

bool WriteStage(const std::string& reportPath, const char* mode, const ListingOptions& options,
                const std::string& bytes) {
    if (options.format == ReportFormat::kNone) return true;
    File file(reportPath, mode);
    return file.WriteAndClose(bytes);
}

}  // namespace

void FormatReportHeader(std::string& out, const ListingOptions& options) {
    if (options.format == ReportFormat::kText) {
        Padded(out, "Name", kNameWidth);
        for (const OptionalColumn& col : kOptionalColumns) {
            if (!(options.*col.recorded)) continue;
            if (col.textWidth)
                Padded(out, col.header, col.textWidth);
            else
                out += col.header;
        }
        out += kEol;
    } else if (options.format == ReportFormat::kHtml) {
        Line(out, kTableOpen);
        Line(out, kRow);
        Line(out, std::string(kSizedCellStart) + "450" + kHeaderCellMiddle + "Name" + kBoldEnd);
        for (const OptionalColumn& col : kOptionalColumns) {
            if (!(options.*col.recorded)) continue;
            if (col.textWidth)
                Line(out, std::string(kSizedCellStart) + col.htmlWidth + kHeaderCellMiddle + col.header + kBoldEnd);
            else
                Line(out, std::string(kLastHeaderCell) + col.header + kBoldEnd);
        }
        Line(out, kTableClose);
    }
}

void FormatFolderSection(std::string& out, const ListingOptions& options, const FolderSection& section) {
    const std::string& path = section.heading.text[kName];
    const std::string& summary = section.summary.text[kType];
    const std::size_t underline = CharCount(path, options.names);
    if (options.format == ReportFormat::kText) {
        out += kEol;
        out += kEol;
        AppendLineText(out, path);
        out += kEol;
        out.append(underline, '*');
        out += kEol;
        for (const ListingEntry& row : section.files) TextFileRow(out, options, row);
        out += kEol;
        Line(out, summary);
    } else if (options.format == ReportFormat::kHtml) {
        Line(out, kTableOpen);
        Line(out, kRow);
        out += kBoldCellStart;
        AppendHtmlText(out, path);
        Line(out, kBoldEnd);
        Line(out, kRow);
        out += kPlainCellStart;
        out.append(underline, '*');
        out += kEol;
        Line(out, kTableClose);
        for (const ListingEntry& row : section.files) HtmlFileRow(out, options, row);
        Line(out, kTableOpen);
        Line(out, kSpacerAboveSummary);
        Line(out, kRow);
        out += kPlainCellStart;
        AppendHtmlText(out, summary);
        out += kEol;
        Line(out, kSpacerBelowSummary);
        Line(out, kTableClose);
    }
}

void FormatReportTotals(std::string& out, const ListingOptions& options, const RunTotals& totals) {
    const std::string rule(kTotalsRuleLength, '*');
    const std::string folders = "Total Folder(s): " + std::to_string(totals.totalFolders);
    const std::string files = "Total File(s): " + std::to_string(totals.totalFiles);
    if (options.format == ReportFormat::kText) {
        out += kEol;
        Line(out, rule);
        Line(out, folders);
        Line(out, files);
        Line(out, TotalSizeText(totals));
        Line(out, rule);
    } else if (options.format == ReportFormat::kHtml) {
        const std::string asteriskLine = std::string(kRow) + kPlainCellStart + rule;
        Line(out, kTableOpen);
        Line(out, asteriskLine);
        Line(out, kTotalsLineStart + folders + kBoldEnd);
        Line(out, kTotalsLineStart + files + kBoldEnd);
        Line(out, kTotalsLineStart + TotalSizeText(totals) + kBoldEnd);
        Line(out, asteriskLine);
        Line(out, kTableClose);
    }
}

bool WriteReportHeader(const std::string& reportPath, const ListingOptions& options) {
    std::string bytes;
    FormatReportHeader(bytes, options);
    return WriteStage(reportPath, "wb", options, bytes);
}

SectionAppender::SectionAppender(const std::string& reportPath, const ListingOptions& options)
    : reportPath_(reportPath), options_(options) {}

bool SectionAppender::Add(const FolderSection& section) {
    FormatFolderSection(pending_, options_, section);
    return pending_.size() < kBatchBytes || Flush();
}

bool SectionAppender::Flush() {
    if (pending_.empty()) return true;
    const bool written = WriteStage(reportPath_, "ab", options_, pending_);
    pending_.clear();  // what failed is not tried again: a full disk stays full
    return written;
}

bool WriteReportTotals(const std::string& reportPath, const ListingOptions& options, const RunTotals& totals) {
    std::string bytes;
    FormatReportTotals(bytes, options, totals);
    return WriteStage(reportPath, "ab", options, bytes);
}

}  // namespace tf::listing
