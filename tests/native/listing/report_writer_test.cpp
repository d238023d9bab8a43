#include "listing/listing_sink.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "fake_file_system.h"
#include "listing/listing_run.h"
#include "listing/formats/record_text.h"

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
        "<meta charset=\"utf-8\">", "<table>", "<tr>",
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

// What a sink of `options.format` writes for the calls `body` makes between
// its start and its close.
std::string Written(ListingOptions options, const std::function<void(ListingSink&)>& body = nullptr) {
    const std::string path = ::testing::TempDir() + "report_sink_test.out";
    auto sink = CreateSink(options.format, path);
    EXPECT_EQ(sink->Begin(RunHeader{options, '\\', 0}), 0);
    if (body) body(*sink);
    EXPECT_EQ(sink->Close(), 0);
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void OneRowSection(ListingSink& sink, const std::string& path, const ListedFile& row) {
    sink.BeginSection(FolderStart{path, 0, SkipReason::kNone});
    sink.Row(row);
    sink.EndSection(SectionTotals{1, 0});
}

ListedFile Named(std::string_view name) {
    ListedFile file;
    file.name = name;
    return file;
}

TEST(ReportWriter, HeaderColumnChoices) {
    ListingOptions none;
    none.recordType = none.recordSize = false;
    EXPECT_EQ(Written(none), "Name" + Spaces(41) + "\r\n");

    ListingOptions modifiedOnly = none;
    modifiedOnly.recordModified = true;
    EXPECT_EQ(Written(modifiedOnly), "Name" + Spaces(41) + "Last modified date\r\n");

    ListingOptions all;
    all.recordCreated = all.recordModified = true;
    all.format = ReportFormat::kHtml;
    const std::string html = Written(all);
    EXPECT_EQ(html.rfind("<meta charset=\"utf-8\">\r\n<table>\r\n", 0), 0u);
    EXPECT_NE(html.find("<td style=\"width:200px; height:100px;\"><b>Created date</b>\r\n"
                        "<td style=\"width:200px; height:100px;\"><b>Last modified date</b>\r\n</table>\r\n"),
              std::string::npos);
}

TEST(ReportWriter, FileRowPaddingAndLastColumn) {
    ListingOptions options;
    options.recordType = options.recordSize = false;
    options.recordModified = true;
    const std::string name35(35, 'n');
    ListedFile row = Named(name35);
    row.modified = *ParseIsoTime("2009-03-07T09:05:30Z");
    row.size = 12 * 1024;
    // 35 characters get 10 spaces; the last column is not padded.
    EXPECT_NE(Written(options, [&](ListingSink& s) { OneRowSection(s, "C:\\A", row); })
                  .find(name35 + Spaces(10) + "2009/3/7 9:5\r\n"),
              std::string::npos);

    // Every recorded column pads, even the last one present.
    options.recordModified = false;
    options.recordSize = true;
    EXPECT_NE(Written(options, [&](ListingSink& s) { OneRowSection(s, "C:\\A", row); })
                  .find(name35 + Spaces(10) + "12" + Spaces(18) + "\r\n"),
              std::string::npos);

    // A name is cut to 35 characters.
    const std::string name50(50, 'x');
    row.name = name50;
    EXPECT_NE(Written(options, [&](ListingSink& s) { OneRowSection(s, "C:\\A", row); })
                  .find(std::string(35, 'x') + Spaces(10) + "12"),
              std::string::npos);
}

TEST(ReportWriter, RowKindsFollowPlaceNotText) {
    ListingOptions options;
    options.recordType = false;  // file rows then have an empty Type, like the summary's other columns
    ListedFile info = Named("Info");
    info.size = 1024;
    EXPECT_EQ(Written(options, [&](ListingSink& s) { OneRowSection(s, "C:\\A", info); }),
              Lines({"Name" + Spaces(41) + "Size(KB)" + Spaces(12), "", "", "C:\\A", Stars(4),
                     "Info" + Spaces(41) + "1" + Spaces(19), "", "File(s): 1 - Size: 0 Byte(s)."}));
}

TEST(ReportWriter, HtmlEscapesNamesPathsAndTypesButCountsTheRealCharacters) {
    ListingOptions options;
    options.format = ReportFormat::kHtml;
    ListedFile row = Named("a&b<c>\"d\".txt");
    row.type = "<i>TXT File";
    const std::string out = Written(options, [&](ListingSink& s) { OneRowSection(s, "C:\\<b>&", row); });
    EXPECT_NE(out.find("<td><b>C:\\&lt;b&gt;&amp;</b>\r\n<tr>\r\n<td>" + Stars(7) + "\r\n"), std::string::npos);
    EXPECT_NE(out.find("px;\">a&amp;b&lt;c&gt;&quot;d&quot;.txt\r\n"), std::string::npos);
    EXPECT_NE(out.find("px;\">&lt;i&gt;TXT File\r\n"), std::string::npos);
    EXPECT_EQ(out.find("<i>"), std::string::npos);
}

TEST(ReportWriter, UnderlineCountsCharactersNotBytes) {
    const std::string out =
        Written(ListingOptions{}, [&](ListingSink& s) { OneRowSection(s, "/tmp/\xC3\xA9t\xC3\xA9", Named("")); });
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
    ListingOptions options;
    options.recordType = options.recordSize = false;
    for (const Case& c : cases) {
        const RunTotals totals{7, 8, c.bytes};
        EXPECT_EQ(Written(options, [&](ListingSink& s) { s.Totals(totals); }),
                  Lines({"Name" + Spaces(41), "", Stars(62), "Total Folder(s): 7", "Total File(s): 8", c.text,
                         Stars(62)}))
            << c.bytes;
    }
}

TEST(ReportWriter, OtherFormatWritesNothing) {
    const std::string path = ::testing::TempDir() + "report_writer_none.out";
    std::remove(path.c_str());
    auto fs = WorkFolder();
    ListingOptions options;
    options.source = "C:\\Work";
    options.format = ReportFormat::kNone;
    testing::RecordingHost host;
    RunTotals totals;
    EXPECT_TRUE(RunListing(options, fs, host, path, totals).reportWritten);
    EXPECT_EQ(totals.totalFiles, 2u);  // the run still counts
    EXPECT_FALSE(std::ifstream(path).good());
}

TEST(ReportWriter, AnExceptionInTheScanStillEndsTheReportWithItsTotalsAndComesThrough) {
    const std::string path = ::testing::TempDir() + "report_writer_throw.out";
    auto fs = WorkFolder();
    ListingOptions options;
    options.source = "C:\\Work";
    testing::RecordingHost host;
    host.onPump = [] { throw std::bad_alloc(); };
    RunTotals totals;
    EXPECT_THROW(RunListing(options, fs, host, path, totals), std::bad_alloc);
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string report = bytes.str();
    EXPECT_NE(report.find("Total Folder(s): "), std::string::npos) << report;
    ASSERT_GT(report.size(), 64u);
    EXPECT_EQ(report.substr(report.size() - 64), std::string(62, '*') + "\r\n");
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

    // A report path that is a folder fails with its own reason.
    EXPECT_EQ(CreateSink(ReportFormat::kText, ::testing::TempDir())->Begin(RunHeader{options, '\\', 0}), EISDIR);
}

}  // namespace
}  // namespace tf::listing
