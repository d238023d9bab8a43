// The loader against files made to cost memory or to confuse it: a fresh
// state for every file, the text caps, the input budget, the per-decode
// memory cap, and the whole set run in a child under a memory ceiling.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/message_sink.h"
#include "png/blend.h"
#include "png/limits.h"
#include "png/load_png.h"
#include "loader_fixture.h"
#include "test_streams.h"

namespace tf::png {
namespace {

using test::PngWriter;
using Data = std::vector<std::uint8_t>;

Data AsData(const std::string& text) { return Data(text.begin(), text.end()); }

// A zlib stream whose dynamic block header over-subscribes the code-length
// code: the code table cannot be built.
Data UnbuildableCodes() {
    test::BitWriter w;
    w.Put(1, 1);
    w.Put(2, 2);
    w.Put(0, 5);  // 257 literal/length codes
    w.Put(0, 5);  // 1 distance code
    w.Put(0, 4);  // 4 code-length codes, all of length 1
    for (int i = 0; i < 4; ++i) w.Put(1, 3);
    w.Put(0, 32);
    Data out = {0x78, 0x01};
    const Data deflate = w.Finish();
    out.insert(out.end(), deflate.begin(), deflate.end());
    return out;
}

Data ZtxtChunk(const std::string& keyword, const Data& zlib) {
    Data data = AsData(keyword);
    data.push_back(0);
    data.push_back(0);  // compression method
    data.insert(data.end(), zlib.begin(), zlib.end());
    return data;
}

using HostileInputTest = test::LoaderTest;

TEST_F(HostileInputTest, EveryFileStartsFromAFreshState) {
    PngWriter first = GreyImage(2, 1);
    first.Chunk("PLTE", Data{1, 2, 3}).Chunk("tRNS", Data{0, 7}).Chunk("bKGD", Data{0, 9});
    first.Chunk("tEXt", AsData(std::string("k\0v", 3))).Chunk("gAMA", Data{0, 0, 0xB1, 0x8F});
    first.Chunk("tIME", Data{7, 215, 3, 5, 14, 7, 9});
    first.Chunk("zTXt", ZtxtChunk("z", test::ZlibStored(AsData("t"))));
    ASSERT_EQ(Open(first.ImageData(GreyRows(2, 1)).End().bytes()), PngError::kNone);
    ASSERT_FALSE(png.Text().empty());

    ASSERT_EQ(Open(GreyImage(3, 1).ImageData(GreyRows(3, 1)).End().bytes()), PngError::kNone);
    EXPECT_EQ(png.Text(), "");
    EXPECT_EQ(png.zText(), "");
    EXPECT_EQ(png.ModiTime(), "");
    EXPECT_EQ(png.GammaValue(), 0);
    EXPECT_FALSE(png.HaveTransparence());
    EXPECT_FALSE(png.HasBKGDChunk());
    EXPECT_EQ(png.BkgdColor(), 0u);

    // A file that is not a PNG leaves no header values of the last one behind.
    ASSERT_EQ(Open(AsData("not a png at all")), PngError::kBadSignature);
    EXPECT_EQ(png.Width(), 0);
    EXPECT_EQ(png.ErrorNumber(), kErrorNotPng);
}

TEST_F(HostileInputTest, TextCollectionsStopAtTheirCapAndCountWhatTheyDrop) {
    const std::string keyword("note\0", 5);
    const Data big = AsData(keyword + std::string(600 * 1024, 'a'));
    PngWriter w = GreyImage(2, 1);
    w.Chunk("tEXt", big).Chunk("tEXt", big).Chunk("tEXt", AsData(keyword + "small"));
    // 30 MB of zeros in 190 KB: the kind of zTXt that once took gigabytes.
    const Data bomb = ZtxtChunk("z", test::ZlibZeros(30u << 20));
    for (int i = 0; i < 3; ++i) w.Chunk("zTXt", bomb);
    w.Chunk("zTXt", ZtxtChunk("fits", test::ZlibZeros(1000)));
    ASSERT_EQ(Open(w.ImageData(GreyRows(2, 1)).End().bytes()), PngError::kNone);

    // The second big entry no longer fits; the small one after it does.
    EXPECT_EQ(png.Text().size(), big.size() + 1 + 11);
    EXPECT_TRUE(png.Text().substr(png.Text().size() - 11) == keyword + "small" + '\0');
    EXPECT_TRUE(png.zText() == std::string("fits\0", 5) + std::string(1000, '\0') + '\0')
        << png.zText().size() << " bytes";
    EXPECT_EQ(png.DroppedTextEntries(), 1 + 3);
}

TEST_F(HostileInputTest, UnbuildableZtxtCodesKeepTheRawBytes) {
    const Data raw = UnbuildableCodes();
    PngWriter w = GreyImage(2, 1);
    w.Chunk("zTXt", ZtxtChunk("key", raw));
    ASSERT_EQ(Open(w.ImageData(GreyRows(2, 1)).End().bytes()), PngError::kNone);
    const Data compressed(raw.begin() + 2, raw.end());  // without the zlib header
    EXPECT_TRUE(png.zText() == std::string("key\0", 4) + std::string(compressed.begin(), compressed.end()) + '\0')
        << png.zText().size() << " bytes";
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(HostileInputTest, PaletteBackgroundNeedsAllThreeBytesOfItsEntry) {
    // Five palette bytes: entry 0 is whole, entry 1 has two of its three bytes.
    PngWriter whole;
    whole.Header(1, 1, 8, 3).Chunk("PLTE", Data{10, 20, 30, 40, 50}).Chunk("bKGD", Data{0});
    whole.ImageData({0, 0}).End();
    Open(whole.bytes());
    EXPECT_EQ(png.BkgdColor(), MakeColour(10, 20, 30));
    PngWriter partial;
    partial.Header(1, 1, 8, 3).Chunk("PLTE", Data{10, 20, 30, 40, 50}).Chunk("bKGD", Data{1});
    partial.ImageData({0, 0}).End();
    Open(partial.bytes());
    EXPECT_TRUE(png.HasBKGDChunk());
    EXPECT_EQ(png.BkgdColor(), 0u);
}

TEST_F(HostileInputTest, MemoryCapCountsTheTransparencyBufferOnlyWhenItIsUsed) {
    // 8000 x 6000 grey: 96 MB plain, but with tRNS applied the BGRA rows,
    // the 24-bit bitmap and the samples are alive together (384 MB).
    PngWriter w = GreyImage(8000, 6000);
    w.Chunk("tRNS", Data{0, 0}).Chunk("IDAT", test::ZlibZeros(10)).End();
    png.SetTrans(true);
    EXPECT_EQ(Open(w.bytes()), PngError::kImageTooLarge);
    EXPECT_EQ(png.ErrorNumber(), kErrorBadHeader);
    png.SetTrans(false);
    EXPECT_EQ(Open(w.bytes()), PngError::kPixelDataShort);  // sized, then found short

    // RGBA keeps its own alpha and never takes that path: 5000 x 5000 with
    // tRNS holds 200 MB, not 300.
    PngWriter rgba;
    rgba.Header(5000, 5000, 8, 6).Chunk("tRNS", Data(6, 0)).Chunk("IDAT", test::ZlibZeros(10)).End();
    png.SetTrans(true);
    EXPECT_EQ(Open(rgba.bytes()), PngError::kPixelDataShort);
}

TEST_F(HostileInputTest, BlackOwnColourIsUsedWhenSwitchedOn) {
    PngWriter w = GreyImage(1, 1);
    w.Chunk("bKGD", Data{0, 255}).Chunk("tRNS", Data{0, 5}).ImageData({0, 5}).End();
    png.SetTrans(true);
    png.SetOwnBkgndColor(false, 0);  // off: the bKGD white
    ASSERT_EQ(Open(w.bytes()), PngError::kNone);
    EXPECT_EQ(png.Image().pixels[0], 255);
    png.SetOwnBkgndColor(true, 0);
    ASSERT_EQ(Open(w.bytes()), PngError::kNone);
    EXPECT_EQ(png.Image().pixels[0], 0);
}

TEST_F(HostileInputTest, HeaderFaultsStopTheReadAtOnce) {
    // A bad header followed by a chunk that runs past the end: the header is
    // the first fault and the one reported.
    PngWriter w;
    w.Header(1, 1, 3, 0);
    Data file = w.bytes();
    file.insert(file.end(), {0, 0, 0x10, 0, 'I', 'D', 'A', 'T', 1});
    EXPECT_EQ(Open(file), PngError::kBadHeader);
    EXPECT_EQ(png.ErrorNumber(), kErrorBadHeader);
    EXPECT_EQ(Open(GreyImage(70000, 70000).End().bytes()), PngError::kImageTooLarge);
}

std::string WriteFile(const std::string& name, const Data& bytes, std::uint64_t sparseSize = 0) {
    const std::string path = ::testing::TempDir() + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    if (sparseSize != 0 && ::truncate(path.c_str(), static_cast<off_t>(sparseSize)) != 0) return "";
    return path;
}

// Outcome of one hostile file in the child: 0 when it ended as expected.
int Expect(LoadPNG& png, PngError got, PngError wanted, int caseNumber) {
    return got == wanted && png.Image().empty() == (wanted != PngError::kNone) ? 0 : caseNumber;
}

TEST(HostileInputLimits, HostileFilesEndUnderAMemoryCeiling) {
    // 600 MB of IDAT behind a 4 x 2 header, in a sparse file.
    PngWriter small;
    small.Header(4, 2, 8, 0);
    Data idat = small.bytes();
    idat.insert(idat.end(), {0x23, 0xC3, 0x46, 0x00, 'I', 'D', 'A', 'T'});
    const std::string bigIdat = WriteFile("tf_big_idat.png", idat, 600100000);
    ASSERT_FALSE(bigIdat.empty());
    // 26 MB of zTXt, each chunk 300 MB inflated, behind a 2 x 1 header.
    PngWriter ztxt;
    ztxt.Header(2, 1, 8, 0);
    const Data bomb = ZtxtChunk("z", test::ZlibZeros(300u << 20));
    for (int i = 0; i < 13; ++i) ztxt.Chunk("zTXt", bomb);
    ztxt.ImageData(Data(3, 0)).End();
    // 8000 x 8000 RGB with tRNS; 65535 x 32000 at one bit.
    PngWriter rgb;
    rgb.Header(8000, 8000, 8, 2).Chunk("tRNS", Data(6, 0)).Chunk("IDAT", test::ZlibZeros(1000)).End();
    PngWriter wide;
    wide.Header(65535, 32000, 1, 0).Chunk("IDAT", test::ZlibZeros(1000)).End();

    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
#if !defined(__SANITIZE_ADDRESS__)
        // The address sanitizer reserves terabytes of shadow; there only
        // the peak resident size below is checked.
        const rlimit ceiling{512u << 20, 512u << 20};
        ::setrlimit(RLIMIT_AS, &ceiling);
#endif
        platform::RecordingMessageSink messages;
        LoadPNG png(messages);
        png.SetTrans(true);
        png.SetAlpha(true);
        int failed = Expect(png, png.OpenPNG("/dev/zero"), PngError::kBadSignature, 10);
        if (!failed) failed = Expect(png, png.OpenPNG(bigIdat), PngError::kInputTooLarge, 11);
        if (!failed) {
            const Data& f = ztxt.bytes();
            failed = Expect(png, png.OpenPNGFromMemory(f.data(), f.size()), PngError::kInputTooLarge, 12);
            if (!failed && png.DroppedTextEntries() + png.zText().size() == 0) failed = 13;
        }
        if (!failed) {
            const Data& f = rgb.bytes();
            failed = Expect(png, png.OpenPNGFromMemory(f.data(), f.size()), PngError::kImageTooLarge, 14);
        }
        if (!failed) {
            const Data& f = wide.bytes();
            failed = Expect(png, png.OpenPNGFromMemory(f.data(), f.size()), PngError::kImageTooLarge, 15);
        }
        ::_exit(failed);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    std::remove(bigIdat.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "case that ended otherwise";
    EXPECT_LT(usage.ru_maxrss, 512 * 1024) << "peak resident kB";
}

}  // namespace
}  // namespace tf::png
