// The NTFS reader on volumes made by hand: what no formatter writes (names
// spilled into extension records, links of both kinds, holes, streams) and
// images that are broken or hostile, each refused naming its record.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "listing/volume/ntfs_volume.h"
#include "listing/volume/volume_file_system.h"
#include "ntfs_image.h"

namespace tf::listing::volume {
namespace {

using test::NtfsImage;

struct Listed {
    std::string name;
    platform::FindData data;
};

// Reads the image; empty with the error's text when it cannot be read.
std::shared_ptr<NtfsTree> Read(const std::vector<std::uint8_t>& image, std::string& error) {
    platform::MemoryVolumeFile file(image);
    auto tree = std::make_shared<NtfsTree>();
    NtfsError e;
    if (tree->Read(file, e)) return tree;
    error = e.Text();
    return nullptr;
}

std::vector<Listed> ListFolder(const std::shared_ptr<NtfsTree>& tree, const std::string& path) {
    VolumeFileSystem fs(tree, "vol", NtfsTree::kRoot);
    std::vector<Listed> out;
    fs.ReadFolder(path, "*", false, [&out](const platform::FindData& d, platform::SearchDetail) {
        out.push_back({d.name, d});
        return true;
    });
    return out;
}

std::vector<std::string> Names(const std::vector<Listed>& listed) {
    std::vector<std::string> names;
    for (const Listed& l : listed) names.push_back(l.name);
    return names;
}

TEST(NtfsVolume, ReadsNamesAndFactsAsAWalkWouldSeeThem) {
    for (std::uint32_t recordSize : {1024u, 4096u}) {
        SCOPED_TRACE(recordSize);
        NtfsImage image(recordSize);
        const std::uint64_t data = image.DataCluster();
        // Names in upper-case order, whatever order their records have.
        image.File(16);
        image.Name(16, 5, u"b.txt");
        image.Name(16, 5, u"B~1.TXT", 2);  // a short name: never listed
        image.Resident(16, 0x80, {'h', 'e', 'l', 'l', 'o'});
        image.Folder(17);
        image.Name(17, 5, u"A");
        image.File(18);
        image.Name(18, 5, u"\u00e9t\u00e9");
        image.File(19);
        image.Name(19, 5, u"_c");
        // A second name of b.txt, in the folder: one file with two links.
        image.Name(16, 17, u"again.txt");
        // Gone: a record not in use keeps its old name.
        image.File(20).flags = 0;
        image.Name(20, 5, u"deleted");
        // A file whose name and data live in an extension record.
        image.File(21);
        image.Extension(22, 21);
        image.Name(22, 17, u"spilled");
        image.Data(22, 3000, {{data, 6}});
        // Sparse, with one cluster on disk, and a named stream of four
        // clusters beside a resident main stream.
        image.File(23);
        image.Name(23, 17, u"sparse");
        image.Data(23, 1 << 20, {{NtfsImage::kSparse, 1000}, {data + 10, 1}, {NtfsImage::kSparse, 1047}}, u"", 0x8000,
                   512);
        image.File(24);
        image.Name(24, 17, u"streams");
        image.Resident(24, 0x80, {'x'});
        image.Data(24, 2000, {{data + 20, 4}}, u"side");
        // Links: relative to a file, to a folder, a junction out of the
        // volume.
        image.File(25);
        image.Name(25, 17, u"to-b");
        image.Reparse(25, 0xA000000C, u"..\\b.txt", true);
        image.File(26);
        image.Name(26, 5, u"to-a");
        image.Reparse(26, 0xA000000C, u"A", true);
        image.Folder(27);
        image.Name(27, 5, u"junction");
        image.Reparse(27, 0xA0000003, u"C:\\Windows", false);
        // The volume's own files are not shown.
        image.Folder(11);
        image.Name(11, 5, u"$Extend");

        std::string error;
        auto tree = Read(image.Build(), error);
        ASSERT_TRUE(tree) << error;
        const auto root = ListFolder(tree, "vol");
        EXPECT_EQ(Names(root), (std::vector<std::string>{"A", "b.txt", "junction", "to-a", "_c", "\u00e9t\u00e9"}));
        const auto& b = root[1].data;
        EXPECT_EQ(b.sizeLow, 5u);
        EXPECT_EQ(b.allocated, 512u);  // eight bytes in the record, as whole blocks
        EXPECT_EQ(b.links, 2u);
        EXPECT_EQ(b.inode, 16u);
        EXPECT_EQ(b.creationTime, 1000u);
        EXPECT_EQ(b.lastWriteTime, 2000u);
        EXPECT_TRUE(root[0].data.isDirectory);
        // A junction and a link to a folder are listed as links of their
        // own, with their targets' lengths.
        EXPECT_TRUE(root[2].data.isLink);
        EXPECT_FALSE(root[2].data.isDirectory);
        EXPECT_EQ(root[2].data.sizeLow, std::string("C:/Windows").size());
        EXPECT_TRUE(root[3].data.isLink);
        EXPECT_EQ(root[3].data.sizeLow, 1u);

        const auto a = ListFolder(tree, "vol/A");
        EXPECT_EQ(Names(a), (std::vector<std::string>{"again.txt", "sparse", "spilled", "streams", "to-b"}));
        EXPECT_EQ(a[0].data.inode, 16u);
        EXPECT_EQ(a[1].data.sizeLow, 1u << 20);
        EXPECT_EQ(a[1].data.allocated, 512u);
        EXPECT_EQ(a[2].data.sizeLow, 3000u);
        EXPECT_EQ(a[2].data.allocated, 3072u);
        EXPECT_EQ(a[3].data.sizeLow, 1u);
        EXPECT_EQ(a[3].data.allocated, 512u + 2048u);  // the stream's clusters count as the file's space
        // A link is listed as itself: its target, '/'-separated, and its length.
        EXPECT_TRUE(a[4].data.isLink);
        EXPECT_EQ(a[4].data.linkTarget, "../b.txt");
        EXPECT_EQ(a[4].data.sizeLow, 8u);
        EXPECT_EQ(a[4].data.inode, 0u);

        VolumeFileSystem fs(tree, "vol", NtfsTree::kRoot);
        EXPECT_TRUE(fs.IsDirectory("vol/A"));
        EXPECT_FALSE(fs.IsDirectory("vol/to-a"));
        EXPECT_FALSE(fs.IsDirectory("vol/$Extend"));
        EXPECT_FALSE(fs.IsDirectory("vol/deleted"));
        std::uint32_t folder = 0;
        EXPECT_TRUE(FindFolder(*tree, "/A/", folder));
        EXPECT_EQ(folder, 17u);
    }
}

// Each broken image is refused with the record at fault named.
TEST(NtfsVolume, RefusesBrokenImagesNamingTheRecord) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> image;
        const char* expected;
    };
    std::vector<Case> cases;
    auto base = [] {
        NtfsImage image;
        image.File(16);
        image.Name(16, 5, u"file");
        return image;
    };
    { cases.push_back({"a torn record", base().Build({16}), "record 16: it is torn"}); }
    {
        auto image = base().Build();
        NtfsImage::Put(image, NtfsImage::kMftCluster * 512 + 16 * 1024 + 0x18, 5000, 4);
        cases.push_back({"more bytes in use than the record has", image, "record 16: it claims 5000 bytes"});
    }
    {
        auto image = base().Build();
        // The first attribute's length, past the record's end.
        NtfsImage::Put(image, NtfsImage::kMftCluster * 512 + 16 * 1024 + 0x38 + 4, 0x10000, 4);
        cases.push_back({"an attribute past its record", image, "record 16: an attribute claims"});
    }
    {
        NtfsImage image;
        image.Data(0, 1024 * 64, {{1 << 20, 128}});
        cases.push_back({"the file table outside the volume", image.Build(), "record 0: a run lies outside"});
    }
    {
        NtfsImage image;
        image.File(0).attributes.clear();
        image.Data(0, std::uint64_t{1} << 50, {{NtfsImage::kMftCluster, 128}});
        cases.push_back({"a table of 2^40 records", image.Build(), "record 0: the file table's runs cover less"});
    }
    {
        NtfsImage image;
        image.Folder(16);
        image.Name(16, 17, u"one");
        image.Folder(17);
        image.Name(17, 16, u"two");
        cases.push_back({"a loop of parent folders", image.Build(), "a loop of parent folders"});
    }
    {
        NtfsImage image;
        image.Folder(16);
        image.Name(16, 5, u"one");
        image.Name(16, 5, u"two");
        cases.push_back({"a folder with two names", image.Build(), "record 16: a folder with several names"});
    }
    {
        NtfsImage image(1024, 1100);
        for (std::uint32_t n = 16; n < 1100; ++n) {
            image.Folder(n);
            image.Name(n, n == 16 ? 5 : n - 1, u"d");
        }
        cases.push_back({"folders too deep", image.Build(), "nested deeper than 1000 levels"});
    }
    {
        auto image = base().Build();
        image.resize(image.size() / 2);
        cases.push_back({"a cut image", image, "hold fewer"});
    }
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(Read(c.image, error)) << c.what;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.what << ": " << error;
    }
}

TEST(NtfsVolume, DecodesRunsAndTheirBounds) {
    std::vector<NtfsRun> runs;
    std::string why;
    // 3 clusters at 100, a hole of 2, 1 cluster 40 back from 100.
    const std::uint8_t good[] = {0x11, 3, 100, 0x01, 2, 0x11, 1, 0xD8, 0};
    ASSERT_TRUE(DecodeRuns(good, sizeof good, 0, 1000, runs, why)) << why;
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1].lcn, NtfsRun::kSparse);
    EXPECT_EQ(runs[2].vcn, 5u);
    EXPECT_EQ(runs[2].lcn, 60u);
    const std::uint8_t before[] = {0x11, 1, 0x80, 0};  // 128 back from 0
    EXPECT_FALSE(DecodeRuns(before, sizeof before, 0, 1000, runs, why));
    const std::uint8_t cut[] = {0x44, 1, 2};
    EXPECT_FALSE(DecodeRuns(cut, sizeof cut, 0, 1000, runs, why));
}

}  // namespace
}  // namespace tf::listing::volume
