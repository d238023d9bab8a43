#include "listing/report_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "fake_file_system.h"
#include "listing/listing_run.h"

namespace tf::listing {
namespace {

std::string Spaces(std::size_t n) { return std::string(n, ' '); }
std::string Stars(std::size_t n) { return std::string(n, '*'); }

std::string Lines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\r\n";
    return out;
}

// C:\Work holding notes.abc (5 bytes) and data.xyz (1536 bytes), searched in
// that order, and the empty subfolder Old.
testing::FakeFileSystem WorkFolder() {
    testing::FakeFileSystem fs;
    fs.AddFolder("C:\\Work");
    fs.AddFile("C:\\Work", {"notes.abc", false, 5});
    fs.AddFile("C:\\Work", {"data.xyz", false, 1536});
    fs.AddFolder("C:\\Work\\Old");
    return fs;
}

std::string RunToString(testing::FakeFileSystem& fs, const ListingOptions& options) {
    const std::string path = ::testing::TempDir() + "report_writer_test.out";
    testing::RecordingHost host;
    RunTotals totals;
    EXPECT_TRUE(RunListing(options, fs, host, path, totals).reportWritten);
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(ReportWriter, TextWorkedExample) {
    auto fs = WorkFolder();
    ListingOptions options;
    options.source = "C:\\Work";
    const std::string expected = Lines({
        "Name" + Spaces(41) + "Type" + Spaces(26) + "Size(KB)" + Spaces(12),
        "",
        "",
        "C:\\Work",
        Stars(7),
        "notes.abc" + Spaces(36) + "ABC File" + Spaces(22) + "0" + Spaces(19),
        "data.xyz" + Spaces(37) + "XYZ File" + Spaces(22) + "2" + Spaces(19),
        "",
        "File(s): 2 - Size: 1541 Byte(s).",
        "",
        "",
        "C:\\Work\\Old",
        Stars(11),
        "",
        "File(s): 0 - Size: 0 Byte(s).",
        "",
        Stars(62),
        "Total Folder(s): 1",
        "Total File(s): 2",
        "Total Files Size: 0 MB; 2 KB; 1541 Byte(s).",
        Stars(62),
    });
    EXPECT_EQ(RunToString(fs, options), expected);
}

TEST(ReportWriter, HtmlWorkedExample) {
    auto fs = WorkFolder();
    ListingOptions options;
    options.source = "C:\\Work";
    options.format = ReportFormat::kHtml;
    const std::string cell = "<td style=\"width:";
    const std::string header = "px; height:100px;\"><b>";
    const std::string data = "px;\">";
    const std::string expected = Lines({
        "<table>", "<tr>",
        cell + "450" + header + "Name</b>",
        cell + "300" + header + "Type</b>",
        cell + "200" + header + "Size(KB)</b>",
        "</table>",
        // C:\Work
        "<table>", "<tr>", "<td><b>C:\\Work</b>", "<tr>", "<td>" + Stars(7), "</table>",
        "<table>", "<tr>", cell + "450" + data + "notes.abc", cell + "300" + data + "ABC File",
        cell + "200" + data + "0", "</table>",
        "<table>", "<tr>", cell + "450" + data + "data.xyz", cell + "300" + data + "XYZ File",
        cell + "200" + data + "2", "</table>",
        "<table>", "<tr><td style=\"height:25px;\">", "<tr>", "<td>File(s): 2 - Size: 1541 Byte(s).",
        "<tr><td style=\"height:50px;\">", "</table>",
        // C:\Work\Old
        "<table>", "<tr>", "<td><b>C:\\Work\\Old</b>", "<tr>", "<td>" + Stars(11), "</table>",
        "<table>", "<tr><td style=\"height:25px;\">", "<tr>", "<td>File(s): 0 - Size: 0 Byte(s).",
        "<tr><td style=\"height:50px;\">", "</table>",
        // totals
        "<table>", "<tr><td>" + Stars(62),
        "<tr><td><b>Total Folder(s): 1</b>",
        "<tr><td><b>Total File(s): 2</b>",
        "<tr><td><b>Total Files Size: 0 MB; 2 KB; 1541 Byte(s).</b>",
        "<tr><td>" + Stars(62), "</table>",
    });
    EXPECT_EQ(RunToString(fs, options), expected);
}

TEST(ReportWriter, HeaderColumnChoices) {
    ListingOptions none;
    none.recordType = none.recordSize = false;
    std::string out;
    FormatReportHeader(out, none);
    EXPECT_EQ(out, "Name" + Spaces(41) + "\r\n");

    ListingOptions modifiedOnly = none;
    modifiedOnly.recordModified = true;
    out.clear();
    FormatReportHeader(out, modifiedOnly);
    EXPECT_EQ(out, "Name" + Spaces(41) + "Last modified date\r\n");

    ListingOptions all;
    all.recordCreated = all.recordModified = true;
    all.format = ReportFormat::kHtml;
    out.clear();
    FormatReportHeader(out, all);
    EXPECT_NE(out.find("<td style=\"width:200px; height:100px;\"><b>Created date</b>\r\n"
                       "<td style=\"width:200px; height:100px;\"><b>Last modified date</b>\r\n</table>\r\n"),
              std::string::npos);
}

FolderSection OneRowSection(const std::string& path, ListingEntry row) {
    FolderSection section;
    section.heading.text[kName] = path;
    section.files.push_back(std::move(row));
    section.summary.text[kName] = "Info";
    section.summary.text[kType] = "File(s): 1 - Size: 0 Byte(s).";
    return section;
}

TEST(ReportWriter, FileRowPaddingAndLastColumn) {
    ListingOptions options;
    options.recordType = options.recordSize = false;
    options.recordModified = true;
    ListingEntry row;
    row.text[kName] = std::string(35, 'n');
    row.text[kModified] = "2009/3/7 9:5";
    std::string out;
    FormatFolderSection(out, options, OneRowSection("C:\\A", row));
    // 35 characters get 10 spaces; the last column is not padded.
    EXPECT_NE(out.find(std::string(35, 'n') + Spaces(10) + "2009/3/7 9:5\r\n"), std::string::npos);

    // Every recorded column pads, even the last one present.
    options.recordModified = false;
    options.recordSize = true;
    row.text[kSize] = "12";
    out.clear();
    FormatFolderSection(out, options, OneRowSection("C:\\A", row));
    EXPECT_NE(out.find(std::string(35, 'n') + Spaces(10) + "12" + Spaces(18) + "\r\n"), std::string::npos);

    // A value longer than its column is written whole, without padding.
    row.text[kName] = std::string(50, 'x');
    out.clear();
    FormatFolderSection(out, options, OneRowSection("C:\\A", row));
    EXPECT_NE(out.find(std::string(50, 'x') + "12"), std::string::npos);
}

TEST(ReportWriter, RowKindsFollowPlaceNotText) {
    ListingOptions options;
    options.recordType = false;  // file rows then have an empty Type, like the summary's other columns
    ListingEntry info;
    info.text[kName] = "Info";
    info.text[kSize] = "1";
    std::string out;
    FormatFolderSection(out, options, OneRowSection("C:\\A", info));
    EXPECT_EQ(out, Lines({"", "", "C:\\A", Stars(4), "Info" + Spaces(41) + "1" + Spaces(19), "",
                          "File(s): 1 - Size: 0 Byte(s)."}));
}

TEST(ReportWriter, HtmlEscapesNamesPathsAndTypesButCountsTheRealCharacters) {
    ListingOptions options;
    options.format = ReportFormat::kHtml;
    ListingEntry row;
    row.text[kName] = "a&b<c>\"d\".txt";
    row.text[kType] = "<i>TXT File";
    row.text[kSize] = "0";
    std::string out;
    FormatFolderSection(out, options, OneRowSection("C:\\<b>&", row));
    EXPECT_NE(out.find("<td><b>C:\\&lt;b&gt;&amp;</b>\r\n<tr>\r\n<td>" + Stars(7) + "\r\n"), std::string::npos);
    EXPECT_NE(out.find("px;\">a&amp;b&lt;c&gt;&quot;d&quot;.txt\r\n"), std::string::npos);
    EXPECT_NE(out.find("px;\">&lt;i&gt;TXT File\r\n"), std::string::npos);
    EXPECT_EQ(out.find("<i>"), std::string::npos);
}

TEST(ReportWriter, UnderlineCountsCharactersNotBytes) {
    ListingOptions options;
    FolderSection section = OneRowSection("/tmp/\xC3\xA9t\xC3\xA9", ListingEntry{});
    std::string out;
    FormatFolderSection(out, options, section);
    EXPECT_NE(out.find("\xC3\xA9t\xC3\xA9\r\n" + Stars(8) + "\r\n"), std::string::npos);
}

TEST(ReportWriter, TotalsRoundHalvesToEven) {
    struct Case {
        std::uint64_t bytes;
        const char* text;
    };
    const Case cases[] = {
        {1536, "Total Files Size: 0 MB; 2 KB; 1536 Byte(s)."},
        {2560, "Total Files Size: 0 MB; 2 KB; 2560 Byte(s)."},
        {1572864, "Total Files Size: 2 MB; 1536 KB; 1572864 Byte(s)."},
        {2621440, "Total Files Size: 2 MB; 2560 KB; 2621440 Byte(s)."},
        {18446744073709551615ull,
         "Total Files Size: 17592186044416 MB; 18014398509481984 KB; 18446744073709551615 Byte(s)."},
    };
    for (const Case& c : cases) {
        RunTotals totals{7, 8, c.bytes};
        std::string out;
        FormatReportTotals(out, ListingOptions{}, totals);
        EXPECT_EQ(out, Lines({"", Stars(62), "Total Folder(s): 7", "Total File(s): 8", c.text, Stars(62)}))
            << c.bytes;
    }
}

TEST(ReportWriter, OtherFormatWritesNothing) {
    const std::string path = ::testing::TempDir() + "report_writer_none.out";
    std::remove(path.c_str());
    ListingOptions options;
    options.format = ReportFormat::kNone;
    EXPECT_TRUE(WriteReportHeader(path, options));
    EXPECT_TRUE(WriteReportTotals(path, options, RunTotals{}));
    EXPECT_FALSE(std::ifstream(path).good());
}

TEST(ReportWriter, UnwritableReportIsReportedBeforeAnyScanning) {
    auto fs = WorkFolder();
    ListingOptions options;
    options.source = "C:\\Work";
    testing::RecordingHost host;
    RunTotals totals;
    const RunOutcome outcome =
        RunListing(options, fs, host, ::testing::TempDir() + "missing-folder/Tallyfold.txt", totals);
    EXPECT_FALSE(outcome.reportWritten);
    EXPECT_EQ(outcome.error, ENOENT);
    EXPECT_TRUE(host.statuses.empty());
    EXPECT_EQ(totals.totalFolders + totals.totalFiles, 0u);
    options.format = ReportFormat::kJsonl;
    EXPECT_EQ(RunListing(options, fs, host, ::testing::TempDir() + "missing-folder/t.jsonl", totals).error, ENOENT);
    EXPECT_TRUE(host.statuses.empty());

    // A report path that is a folder fails the same way.
    EXPECT_FALSE(WriteReportHeader(::testing::TempDir(), options));
}

}  // namespace
}  // namespace tf::listing
