// The comparison's formats on a hand-made result: names that would make a
// text line ambiguous, the exact bytes in JSON Lines, CSV fields, and the
// lines of the cases a backup check brings.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

#include "snapshot/diff_writers.h"
#include "temp_tree.h"

namespace tf::snapshot {
namespace {

std::string Written(const DiffResult& result, void (*writer)(const DiffResult&, listing::ReportFile&)) {
    testing::TempTree tree;
    const std::string path = tree.Path("out");
    listing::ReportFile report(path);
    EXPECT_EQ(report.Create(), 0);
    writer(result, report);
    EXPECT_EQ(report.Commit(), 0);
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

DiffResult Sample() {
    DiffResult r;
    r.oldSource = "/old";
    r.newSource = "/new";
    DiffItem moved;
    moved.change = Change::kMoved;
    moved.kind = EntryKind::kFolder;
    moved.path = "album";
    moved.from = "photos";
    moved.files = 2;
    DiffItem inside;
    inside.change = Change::kChanged;
    inside.path = "album/a, \"b\".jpg";
    inside.from = "photos/a, \"b\".jpg";
    inside.oldSize = 1;
    inside.newSize = 2;
    DiffItem odd;
    odd.change = Change::kAdded;
    odd.path = std::string("odd\xff -> x");
    odd.newSize = 3;
    DiffItem unread;
    unread.change = Change::kNotRead;
    unread.kind = EntryKind::kFolder;
    unread.path = "locked";
    unread.side = Side::kNew;
    unread.reason = "permission denied";
    unread.otherHeld = true;
    unread.otherFiles = 4;
    unread.otherBytes = 40;
    DiffItem unhashed;
    unhashed.change = Change::kContentNotCompared;
    unhashed.path = "u.bin";
    unhashed.side = Side::kNew;
    unhashed.reason = "not read in the new listing: permission denied";
    r.items = {moved, inside, odd, unread, unhashed};
    return r;
}

TEST(DiffWriters, TextNamesThatWouldMakeALineAmbiguousAreQuoted) {
    EXPECT_EQ(TextName("plain name.txt"), "plain name.txt");
    EXPECT_EQ(TextName(""), ".");
    EXPECT_EQ(TextName("a -> b"), "\"a -> b\"");
    EXPECT_EQ(TextName("two\nlines\r\x01\t\"q\\"), "\"two\\nlines\\r\\x01\\t\\\"q\\\\\"");
    EXPECT_EQ(TextName("\"quoted"), "\"\\\"quoted\"");
    EXPECT_EQ(TextName("in \"middle\""), "in \"middle\"");
    EXPECT_EQ(TextName("bad\xff"), "bad\xef\xbf\xbd");
}

TEST(DiffWriters, TextNamesBothPlacesAndWhatWasNotRead) {
    const std::string text = Written(Sample(), WriteDiffText);
    EXPECT_NE(text.find("\n> photos/ -> album/ (folder, 2 files, 0 bytes)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n~ album/a, \"b\".jpg <- photos/a, \"b\".jpg: size 1 -> 2 (+1)\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\n+ \"odd\xef\xbf\xbd -> x\" (3 bytes)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nx locked/: not read in the new listing (permission denied); the old listing holds 4 "
                        "files, 40 bytes\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n? u.bin: content not compared: not read in the new listing: permission denied\n"),
              std::string::npos)
        << text;
}

TEST(DiffWriters, JsonLinesKeepTheExactBytesAndEveryField) {
    std::istringstream lines(Written(Sample(), WriteDiffJsonl));
    std::vector<nlohmann::json> records;
    for (std::string line; std::getline(lines, line);) records.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(records.size(), 7u);  // five items, the summary and the total
    EXPECT_EQ(records[1]["from"], "photos/a, \"b\".jpg");
    EXPECT_EQ(records[2]["path_bytes"], "odd%FF -> x");
    EXPECT_EQ(records[3]["change"], "not_read");
    EXPECT_EQ(records[3]["unread_in"], "new");
    EXPECT_EQ(records[3]["other_files"], 4);
    EXPECT_EQ(records[4]["change"], "content_not_compared");
    EXPECT_EQ(records[4]["unhashed_in"], "new");
    EXPECT_EQ(records[5]["change"], "summary");
}

TEST(DiffWriters, CsvQuotesFieldsAndGivesTheReason) {
    const std::string csv = Written(Sample(), WriteDiffCsv);
    EXPECT_EQ(csv.rfind("change,path,from,kind,files,old_size,new_size,size_change,old_modified,new_modified,reason\r\n",
                        0),
              0u);
    EXPECT_NE(csv.find("\r\nchanged,\"album/a, \"\"b\"\".jpg\",\"photos/a, \"\"b\"\".jpg\",file,,1,2,+1,"),
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find("\r\nnot_read,locked,,folder,,,,,,,\"not read in the new listing (permission denied); the old "
                       "listing holds 4 files, 40 bytes\"\r\n"),
              std::string::npos)
        << csv;
}

}  // namespace
}  // namespace tf::snapshot
