// The text and HTML reports: a header of the recorded columns, one section
// per folder (its path underlined, a row per file, a summary), and a totals
// block. Every line ends in CR LF.
#include <cstddef>
#include <string>

#include "listing/formats/report_columns.h"
#include "listing/formats/report_file.h"
#include "listing/formats/report_sinks.h"
#include "listing/formats/text_units.h"

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
constexpr char kCharset[] = "<meta charset=\"utf-8\">";
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

std::string SummaryText(const SectionTotals& totals) {
    return "File(s): " + std::to_string(totals.files) + " - Size: " + std::to_string(totals.bytes) + " Byte(s).";
}

// What both reports share: the file, the options and the section path.
class PageSink : public ListingSink {
public:
    explicit PageSink(const std::string& path) : file_(path) {}

    WriteError Begin(const RunHeader& header) override {
        options_ = header.options;
        Header(file_.Pending());
        return file_.Create();
    }
    WriteError BeginSection(const FolderStart& folder) override {
        Heading(file_.Pending(), folder.path, CharCount(folder.path, options_.names));
        return 0;
    }
    WriteError Row(const ListedFile& file) override {
        RowLine(file_.Pending(), file);
        return file_.Step();
    }
    WriteError EndSection(const SectionTotals& totals) override {
        Summary(file_.Pending(), SummaryText(totals));
        return file_.Step();
    }
    WriteError EndFolder(const FolderRecord&) override { return 0; }
    WriteError FolderSkipped(const FolderRecord&) override { return 0; }
    WriteError Totals(const RunTotals& totals) override {
        TotalsBlock(file_.Pending(), totals);
        return file_.Flush();
    }
    WriteError Close() override { return file_.Commit(); }

protected:
    virtual void Header(std::string& out) = 0;
    virtual void Heading(std::string& out, const std::string& path, std::size_t underline) = 0;
    virtual void RowLine(std::string& out, const ListedFile& file) = 0;
    virtual void Summary(std::string& out, const std::string& summary) = 0;
    virtual void TotalsBlock(std::string& out, const RunTotals& totals) = 0;

    // The text of a column, in scratch space reused row after row.
    const std::string& Cell(const ListedFile& file, int column) {
        cell_.clear();
        AppendColumnText(cell_, file, column, options_);
        return cell_;
    }

    ListingOptions options_;

private:
    ReportFile file_;
    std::string cell_;
};

class TextSink final : public PageSink {
public:
    using PageSink::PageSink;

private:
    void Header(std::string& out) override {
        Padded(out, "Name", kNameWidth);
        for (const OptionalColumn& col : kOptionalColumns) {
            if (!(options_.*col.recorded)) continue;
            if (col.textWidth)
                Padded(out, col.header, col.textWidth);
            else
                out += col.header;
        }
        out += kEol;
    }
    void Heading(std::string& out, const std::string& path, std::size_t underline) override {
        out += kEol;
        out += kEol;
        AppendLineText(out, path);
        out += kEol;
        out.append(underline, '*');
        out += kEol;
    }
    void RowLine(std::string& out, const ListedFile& file) override {
        Padded(out, Cell(file, kName), kNameWidth, options_.names);
        for (const OptionalColumn& col : kOptionalColumns) {
            if (!(options_.*col.recorded)) continue;
            if (col.textWidth)
                Padded(out, Cell(file, col.column), col.textWidth, options_.names);
            else
                AppendLineText(out, Cell(file, col.column));
        }
        out += kEol;
    }
    void Summary(std::string& out, const std::string& summary) override {
        out += kEol;
        Line(out, summary);
    }
    void TotalsBlock(std::string& out, const RunTotals& totals) override {
        const std::string rule(kTotalsRuleLength, '*');
        out += kEol;
        Line(out, rule);
        Line(out, "Total Folder(s): " + std::to_string(totals.totalFolders));
        Line(out, "Total File(s): " + std::to_string(totals.totalFiles));
        Line(out, TotalSizeText(totals));
        Line(out, rule);
    }
};

class HtmlSink final : public PageSink {
public:
    using PageSink::PageSink;

private:
    void Header(std::string& out) override {
        // The names are UTF-8: a browser must not guess a legacy code page.
        Line(out, kCharset);
        Line(out, kTableOpen);
        Line(out, kRow);
        Line(out, std::string(kSizedCellStart) + "450" + kHeaderCellMiddle + "Name" + kBoldEnd);
        for (const OptionalColumn& col : kOptionalColumns) {
            if (!(options_.*col.recorded)) continue;
            if (col.textWidth)
                Line(out, std::string(kSizedCellStart) + col.htmlWidth + kHeaderCellMiddle + col.header + kBoldEnd);
            else
                Line(out, std::string(kLastHeaderCell) + col.header + kBoldEnd);
        }
        Line(out, kTableClose);
    }
    void Heading(std::string& out, const std::string& path, std::size_t underline) override {
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
    }
    void RowLine(std::string& out, const ListedFile& file) override {
        Line(out, kTableOpen);
        Line(out, kRow);
        out += kSizedCellStart;
        out += "450";
        out += kDataCellMiddle;
        AppendHtmlText(out, Cell(file, kName));
        out += kEol;
        for (const OptionalColumn& col : kOptionalColumns) {
            if (!(options_.*col.recorded)) continue;
            out += kSizedCellStart;
            out += col.htmlWidth;
            out += kDataCellMiddle;
            AppendHtmlText(out, Cell(file, col.column));
            out += kEol;
        }
        Line(out, kTableClose);
    }
    void Summary(std::string& out, const std::string& summary) override {
        Line(out, kTableOpen);
        Line(out, kSpacerAboveSummary);
        Line(out, kRow);
        out += kPlainCellStart;
        AppendHtmlText(out, summary);
        out += kEol;
        Line(out, kSpacerBelowSummary);
        Line(out, kTableClose);
    }
    void TotalsBlock(std::string& out, const RunTotals& totals) override {
        const std::string rule(kTotalsRuleLength, '*');
        const std::string asteriskLine = std::string(kRow) + kPlainCellStart + rule;
        Line(out, kTableOpen);
        Line(out, asteriskLine);
        Line(out, kTotalsLineStart + ("Total Folder(s): " + std::to_string(totals.totalFolders)) + kBoldEnd);
        Line(out, kTotalsLineStart + ("Total File(s): " + std::to_string(totals.totalFiles)) + kBoldEnd);
        Line(out, kTotalsLineStart + TotalSizeText(totals) + kBoldEnd);
        Line(out, asteriskLine);
        Line(out, kTableClose);
    }
};

}  // namespace

std::unique_ptr<ListingSink> MakeTextSink(const std::string& path) { return std::make_unique<TextSink>(path); }
std::unique_ptr<ListingSink> MakeHtmlSink(const std::string& path) { return std::make_unique<HtmlSink>(path); }

}  // namespace tf::listing
