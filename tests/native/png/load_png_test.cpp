// LoadPNG on files built in the test: chunk handling, error numbers,
// properties, final formats, transparency and the drawing seam.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/message_sink.h"
#include "png/blend.h"
#include "png/load_png.h"
#include "png/memory_surface.h"
#include "loader_fixture.h"
#include "test_streams.h"

namespace tf::png {
namespace {

using test::PngWriter;
using Data = std::vector<std::uint8_t>;

class RecordingSurface : public MemorySurface {
public:
    RecordingSurface() : MemorySurface(4, 4, 0, 0) {}
    bool CaptureBackground(std::int32_t, std::int32_t, std::uint32_t width, std::uint32_t height,
                           std::size_t stride, std::uint8_t* bgr) override {
        ++captures;
        if (!deliver) return false;
        for (std::uint32_t y = 0; y < height; ++y) {
            for (std::uint32_t x = 0; x < width; ++x) {
                std::uint8_t* p = bgr + y * stride + 3 * x;
                p[0] = p[1] = p[2] = static_cast<std::uint8_t>(y);  // bottom row first: row index
            }
        }
        return true;
    }
    void Draw(const DecodedImage& image, std::int32_t x, std::int32_t y, bool backgroundMode) override {
        ++draws;
        drawnWidth = image.width;
        drawnAt = {x, y};
        drawnInBackgroundMode = backgroundMode;
    }
    bool deliver = true;
    int captures = 0, draws = 0;
    std::uint32_t drawnWidth = 0;
    std::pair<int, int> drawnAt{};
    bool drawnInBackgroundMode = false;
};

class LoadPngTest : public test::LoaderTest {
protected:
    // Pixel (x, y) from the top-left, as blue, green, red, alpha.
    static std::vector<int> Pixel(const DecodedImage& image, std::uint32_t x, std::uint32_t y) {
        const std::uint8_t* row = image.RowFromTop(y);
        if (image.bitsPerPixel >= 24) {
            const std::uint8_t* p = row + x * (image.bitsPerPixel / 8);
            return {p[0], p[1], p[2], image.bitsPerPixel == 32 ? p[3] : 255};
        }
        const int d = image.bitsPerPixel;
        const unsigned index = (row[x * d / 8] >> (8 - d - x * d % 8)) & ((1u << d) - 1);
        const BgrQuad& q = image.colourTable.at(index);
        return {q.blue, q.green, q.red, 255};
    }
};

TEST_F(LoadPngTest, FileLevelErrorNumbers) {
    const Data rows = GreyRows(2, 2);
    const Data good = GreyImage(2, 2).ImageData(rows).End().bytes();
    EXPECT_EQ(Open(good), PngError::kNone);
    EXPECT_EQ(png.ErrorNumber(), 0);

    EXPECT_EQ(Open(Data(good.begin(), good.begin() + 7)), PngError::kBadSignature);
    EXPECT_EQ(png.ErrorNumber(), 1);
    Data badSignature = good;
    badSignature[3] = 'g';
    EXPECT_EQ(Open(badSignature), PngError::kBadSignature);

    EXPECT_EQ(Open(GreyImage(2, 2).End().bytes()), PngError::kNoImageData);
    EXPECT_EQ(png.ErrorNumber(), 4);

    // Cut inside the IDAT chunk; and a file that stops after a chunk without IEND.
    EXPECT_EQ(Open(Data(good.begin(), good.end() - 20)), PngError::kTruncatedChunk);
    EXPECT_EQ(png.ErrorNumber(), 3);
    EXPECT_EQ(Open(GreyImage(2, 2).ImageData(rows).bytes()), PngError::kTruncatedChunk);
    EXPECT_EQ(png.ErrorNumber(), 3);
    // The data plus the first CRC byte must be in the file; the rest of the CRC may be missing.
    EXPECT_EQ(Open(Data(good.begin(), good.end() - 3)), PngError::kNone);
    EXPECT_EQ(Open(Data(good.begin(), good.end() - 4)), PngError::kTruncatedChunk);

    // A length with the top bit set.
    Data negative = GreyImage(2, 2).ImageData(rows).End().bytes();
    negative[33] = 0x80;  // length of the chunk after IHDR
    EXPECT_EQ(Open(negative), PngError::kTruncatedChunk);
    EXPECT_FALSE(png.Image().empty() && png.ErrorNumber() == 0);
}

TEST_F(LoadPngTest, MissingFileOrFolderIsErrorOne) {
    EXPECT_EQ(png.OpenPNG("/nonexistent-folder-tf/x.png"), PngError::kCannotOpen);
    EXPECT_EQ(png.ErrorNumber(), 1);
    png.OpenPNG(::testing::TempDir());  // a folder: opened or not, never a PNG
    EXPECT_EQ(png.ErrorNumber(), 1);
    const std::string path = ::testing::TempDir() + "tf_png_missing.png";
    std::remove(path.c_str());
    EXPECT_EQ(png.OpenPNG(path), PngError::kCannotOpen);
    EXPECT_EQ(png.ErrorNumber(), 1);
    std::ifstream created(path);
    EXPECT_FALSE(created.good());  // no file is created

    const Data file = GreyImage(3, 2).ImageData(GreyRows(3, 2)).End().bytes();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                static_cast<std::streamsize>(file.size()));
    EXPECT_EQ(png.OpenPNG(path), PngError::kNone);
    EXPECT_EQ(png.Width(), 3);
    std::remove(path.c_str());
}

TEST_F(LoadPngTest, SplitIdatZeroLengthChunksAndBadCrcsDecodeAlike) {
    const Data rows = GreyRows(5, 3);
    ASSERT_EQ(Open(GreyImage(5, 3).ImageData(rows).End().bytes()), PngError::kNone);
    const Bytes reference = png.Image().pixels;
    EXPECT_EQ(png.Image().bitsPerPixel, 8);
    EXPECT_EQ(png.Image().stride, 8u);  // 5-pixel grey rows padded to 8
    EXPECT_EQ(Pixel(png.Image(), 4, 2)[0], 24);

    const Data stream = test::ZlibStored(rows);
    PngWriter split = GreyImage(5, 3);
    split.Chunk("IDAT", Data(stream.begin(), stream.begin() + 3));
    split.Chunk("IDAT", {});
    split.Chunk("tEXt", Data{'k', 0, 'v'}, false);  // wrong CRC
    split.Chunk("IDAT", Data(stream.begin() + 3, stream.end()), false);
    split.End();
    ASSERT_EQ(Open(split.bytes()), PngError::kNone);
    EXPECT_EQ(png.Image().pixels, reference);
}

TEST_F(LoadPngTest, TextTimeGammaAndBackgroundProperties) {
    PngWriter w = GreyImage(1, 1);
    w.Chunk("tEXt", Data{'T', 'i', 't', 'l', 'e', 0, 'A'});
    w.Chunk("tEXt", Data{'A', 'u', 't', 'h', 'o', 'r', 0, 'B'});
    w.Chunk("tIME", Data{0x07, 0xD7, 3, 5, 14, 7, 9});
    w.Chunk("gAMA", Data{0, 0, 0xB1, 0x8F});  // 45455
    w.Chunk("bKGD", Data{0, 0xFF});
    Data ztxt = {'K', 0, 0, 0x78, 0x9C};
    const Data packed = test::StoredDeflate(Data{'h', 'i'});
    ztxt.insert(ztxt.end(), packed.begin(), packed.end());
    ztxt.insert(ztxt.end(), {0, 0, 0, 0});
    w.Chunk("zTXt", ztxt);
    w.Chunk("zTXt", Data{'n', 'o', 't', 'e', 'r', 'm'});  // no keyword terminator: skipped
    w.Chunk("zTXt", Data{'s', 0, 0, 0x78});             // nothing after the header: skipped
    w.Chunk("tIME", Data{1, 2, 3});                     // too short: skipped
    w.Chunk("gAMA", Data{1});                           // too short: skipped
    w.ImageData({0, 7}).End();
    ASSERT_EQ(Open(w.bytes()), PngError::kNone);
    EXPECT_EQ(png.Text(), std::string("Title\0A\0Author\0B\0", 17));
    EXPECT_EQ(png.zText(), std::string("K\0hi\0", 5));
    EXPECT_EQ(png.ModiTime(), "05.03.2007 14:07:09");
    EXPECT_DOUBLE_EQ(png.gama(), 0.45455);
    EXPECT_TRUE(png.HasBKGDChunk());
    EXPECT_EQ(png.BkgdColor(), MakeColour(255, 255, 255));
    EXPECT_EQ(Pixel(png.Image(), 0, 0)[0], 7);  // gamma is not applied
}

TEST_F(LoadPngTest, HeadersTheDecoderCannotHandleAreRejected) {
    struct Case {
        const char* name;
        std::uint32_t width, height;
        int depth, colourType, interlace, compression;
        PngError error;
    };
    const Case cases[] = {
        {"colour type 1", 1, 1, 8, 1, 0, 0, PngError::kBadHeader},
        {"colour type 5", 1, 1, 8, 5, 0, 0, PngError::kBadHeader},
        {"colour type 7", 1, 1, 8, 7, 0, 0, PngError::kBadHeader},
        {"depth 3", 1, 1, 3, 0, 0, 0, PngError::kBadHeader},
        {"16-bit palette", 1, 1, 16, 3, 0, 0, PngError::kBadHeader},
        {"compression 1", 1, 1, 8, 0, 0, 1, PngError::kBadHeader},
        {"interlace 2", 1, 1, 8, 0, 2, 0, PngError::kBadHeader},
        {"zero width", 0, 1, 8, 0, 0, 0, PngError::kBadHeader},
        {"negative height", 1, 0x80000000u, 8, 0, 0, 0, PngError::kBadHeader},
        {"just over 256 MiB", 16384, 4097, 8, 6, 0, 0, PngError::kImageTooLarge},
        {"row size overflows 32 bits", 0x7FFFFFFF, 1, 16, 6, 0, 0, PngError::kImageTooLarge},
        {"huge both ways", 0x7FFFFFFF, 0x7FFFFFFF, 1, 0, 1, 0, PngError::kImageTooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PngWriter w;
        w.Header(c.width, c.height, c.depth, c.colourType, c.interlace, c.compression);
        w.ImageData({0, 0, 0, 0}).End();
        EXPECT_EQ(Open(w.bytes()), c.error);
        EXPECT_EQ(png.ErrorNumber(), kErrorBadHeader);
        EXPECT_TRUE(png.Image().empty());
    }
    PngWriter shortHeader;
    shortHeader.Chunk("IHDR", Data(12, 1)).ImageData({0, 0}).End();
    EXPECT_EQ(Open(shortHeader.bytes()), PngError::kBadHeader);
    PngWriter noHeader;
    noHeader.ImageData({0, 0}).End();
    EXPECT_EQ(Open(noHeader.bytes()), PngError::kBadHeader);
}

TEST_F(LoadPngTest, DecodingFailuresEndWithAnErrorAndNothingDrawn) {
    RecordingSurface surface;
    png.PicBox(&surface);
    {
        SCOPED_TRACE("only a zlib header");
        EXPECT_EQ(Open(GreyImage(2, 2).Chunk("IDAT", {0x78, 0x9C}).End().bytes()), PngError::kImageDataTooShort);
        EXPECT_EQ(png.ErrorNumber(), kErrorDecode);
    }
    {
        SCOPED_TRACE("fewer rows than the header says");
        EXPECT_EQ(Open(GreyImage(2, 3).ImageData(GreyRows(2, 2)).End().bytes()), PngError::kPixelDataShort);
    }
    {
        SCOPED_TRACE("stream cut short");
        Data stream = test::ZlibStored(GreyRows(2, 2));
        Data dynamicCut = {0x78, 0x9C, 0x05};  // dynamic block, header cut off
        EXPECT_EQ(Open(GreyImage(2, 2).Chunk("IDAT", dynamicCut).End().bytes()), PngError::kInputExhausted);
    }
    {
        SCOPED_TRACE("code table cannot be built");
        // Dynamic block whose code-length code has a single 1-bit code: incomplete.
        test::BitWriter bw;
        bw.Put(1, 1);
        bw.Put(2, 2);
        bw.Put(0, 5);
        bw.Put(0, 5);
        bw.Put(0, 4);                      // HCLEN 4: lengths of 16, 17, 18, 0
        for (int v : {0, 0, 0, 1}) bw.Put(static_cast<std::uint32_t>(v), 3);
        bw.Put(0, 32);
        Data idat = {0x78, 0x9C};
        const Data body = bw.Finish();
        idat.insert(idat.end(), body.begin(), body.end());
        EXPECT_EQ(Open(GreyImage(2, 2).Chunk("IDAT", idat).End().bytes()), PngError::kTreeCreation);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0], "Error in tree creation (Static)");
    }
    EXPECT_EQ(surface.draws, 0);
    EXPECT_TRUE(png.Image().empty());
}

TEST_F(LoadPngTest, ZlibHeaderIsNotRead) {
    Data stream = test::ZlibStored(GreyRows(2, 1));
    stream[0] = 0x00;
    stream[1] = 0xFF;  // preset-dictionary flag, wrong check bits
    stream.back() ^= 0x55;  // damaged trailer
    EXPECT_EQ(Open(GreyImage(2, 1).Chunk("IDAT", stream).End().bytes()), PngError::kNone);
}

TEST_F(LoadPngTest, LowDepthFormatsAndTables) {
    {
        SCOPED_TRACE("2-bit grey drawn as 8-bit");
        PngWriter w;
        w.Header(4, 1, 2, 0).ImageData({0, 0b00011011}).End();
        ASSERT_EQ(Open(w.bytes()), PngError::kNone);
        EXPECT_EQ(png.Image().bitsPerPixel, 8);
        EXPECT_EQ(Pixel(png.Image(), 2, 0)[0], 170);
    }
    {
        SCOPED_TRACE("4-bit grey stays 4-bit");
        PngWriter w;
        w.Header(2, 1, 4, 0).ImageData({0, 0xF1}).End();
        ASSERT_EQ(Open(w.bytes()), PngError::kNone);
        EXPECT_EQ(png.Image().bitsPerPixel, 4);
        EXPECT_EQ(png.Image().rowOrder, RowOrder::kTopDown);
        EXPECT_EQ(Pixel(png.Image(), 0, 0)[0], 255);
        EXPECT_EQ(Pixel(png.Image(), 1, 0)[0], 17);
    }
    {
        SCOPED_TRACE("1-bit palette with three entries is black and white");
        PngWriter w;
        w.Header(2, 1, 1, 3).Chunk("PLTE", Data{9, 9, 9, 50, 60, 70, 1, 1, 1}).ImageData({0, 0b01000000}).End();
        ASSERT_EQ(Open(w.bytes()), PngError::kNone);
        EXPECT_EQ(png.Image().bitsPerPixel, 1);
        EXPECT_EQ(Pixel(png.Image(), 0, 0), (std::vector<int>{0, 0, 0, 255}));
        EXPECT_EQ(Pixel(png.Image(), 1, 0), (std::vector<int>{255, 255, 255, 255}));
    }
    {
        SCOPED_TRACE("1-bit palette with two entries");
        PngWriter w;
        w.Header(2, 1, 1, 3).Chunk("PLTE", Data{9, 8, 7, 50, 60, 70}).ImageData({0, 0b01000000}).End();
        ASSERT_EQ(Open(w.bytes()), PngError::kNone);
        EXPECT_EQ(Pixel(png.Image(), 1, 0), (std::vector<int>{70, 60, 50, 255}));
    }
    {
        SCOPED_TRACE("16-bit RGB keeps the high bytes, 24-bit top-down");
        PngWriter w;
        w.Header(1, 1, 16, 2).ImageData({0, 0x12, 0xAB, 0x34, 0xCD, 0x56, 0xEF}).End();
        ASSERT_EQ(Open(w.bytes()), PngError::kNone);
        EXPECT_EQ(png.Image().bitsPerPixel, 24);
        EXPECT_EQ(png.Image().rowOrder, RowOrder::kTopDown);
        EXPECT_EQ(Pixel(png.Image(), 0, 0), (std::vector<int>{0x56, 0x34, 0x12, 255}));
    }
}

// 2x1 RGBA: opaque red, then black at alpha 128.
Data RgbaFile() {
    PngWriter w;
    w.Header(2, 1, 8, 6).ImageData({0, 255, 0, 0, 255, 0, 0, 0, 128}).End();
    return w.bytes();
}

TEST_F(LoadPngTest, AlphaIsBlendedOnlyWhenSwitchedOn) {
    png.SetOwnBkgndColor(false, MakeColour(192, 192, 192));
    ASSERT_EQ(Open(RgbaFile()), PngError::kNone);
    EXPECT_TRUE(png.HaveAlpha());
    EXPECT_EQ(png.Image().bitsPerPixel, 32);
    EXPECT_EQ(png.Image().rowOrder, RowOrder::kBottomUp);
    EXPECT_EQ(Pixel(png.Image(), 1, 0), (std::vector<int>{0, 0, 0, 128}));

    png.SetAlpha(true);
    ASSERT_EQ(Open(RgbaFile()), PngError::kNone);
    EXPECT_EQ(png.Image().bitsPerPixel, 24);
    EXPECT_EQ(png.Image().rowOrder, RowOrder::kBottomUp);
    EXPECT_EQ(Pixel(png.Image(), 0, 0), (std::vector<int>{0, 0, 255, 255}));
    EXPECT_EQ(Pixel(png.Image(), 1, 0), (std::vector<int>{96, 96, 96, 255}));
}

TEST_F(LoadPngTest, BlendBackgroundComesFromOwnColourThenBkgdThenSurface) {
    png.SetAlpha(true);
    PngWriter w;
    w.Header(1, 2, 8, 4).Chunk("bKGD", Data{0, 255}).ImageData({0, 0, 0, 0, 0, 0}).End();  // transparent
    ASSERT_EQ(Open(w.bytes()), PngError::kNone);
    EXPECT_EQ(Pixel(png.Image(), 0, 0), (std::vector<int>{255, 255, 255, 255}));  // bKGD white

    png.SetOwnBkgndColor(false, MakeColour(255, 0, 0));  // the flag is not looked at
    ASSERT_EQ(Open(w.bytes()), PngError::kNone);
    EXPECT_EQ(Pixel(png.Image(), 0, 1), (std::vector<int>{0, 0, 255, 255}));

    RecordingSurface surface;
    png.BackgroundPicture(&surface);
    png.PicBox(&surface);
    png.SetToBkgrnd(true, 10, 5);
    ASSERT_EQ(Open(w.bytes()), PngError::kNone);
    EXPECT_EQ(surface.captures, 1);
    EXPECT_EQ(Pixel(png.Image(), 0, 0)[0], 1);  // top row = captured row 1 (bottom-up)
    EXPECT_EQ(Pixel(png.Image(), 0, 1)[0], 0);
    EXPECT_EQ(surface.draws, 1);
    EXPECT_EQ(surface.drawnAt, (std::pair<int, int>{10, 5}));
    EXPECT_TRUE(surface.drawnInBackgroundMode);

    surface.deliver = false;  // a surface without pixels gives black
    png.SetOwnBkgndColor(false, 0);
    ASSERT_EQ(Open(w.bytes()), PngError::kNone);
    EXPECT_EQ(Pixel(png.Image(), 0, 0), (std::vector<int>{0, 0, 0, 255}));
}

TEST_F(LoadPngTest, TransparencyChunksAreBlendedWhenSwitchedOn) {
    png.SetOwnBkgndColor(true, MakeColour(0, 0, 200));
    PngWriter palette;
    palette.Header(3, 1, 8, 3).Chunk("PLTE", Data{10, 10, 10, 200, 200, 200, 30, 30, 30});
    palette.Chunk("tRNS", Data{0, 128}).ImageData({0, 0, 1, 2}).End();
    ASSERT_EQ(Open(palette.bytes()), PngError::kNone);
    EXPECT_TRUE(png.HaveTransparence());
    EXPECT_EQ(png.Image().bitsPerPixel, 8);  // tRNS off: drawn indexed

    png.SetTrans(true);
    ASSERT_EQ(Open(palette.bytes()), PngError::kNone);
    EXPECT_EQ(png.Image().bitsPerPixel, 24);
    EXPECT_EQ(png.Image().rowOrder, RowOrder::kBottomUp);
    EXPECT_EQ(Pixel(png.Image(), 0, 0), (std::vector<int>{200, 0, 0, 255}));  // transparent
    EXPECT_EQ(Pixel(png.Image(), 1, 0), (std::vector<int>{200, 100, 100, 255}));  // half
    EXPECT_EQ(Pixel(png.Image(), 2, 0), (std::vector<int>{30, 30, 30, 255}));  // opaque

    PngWriter key;
    key.Header(2, 1, 8, 2).Chunk("tRNS", Data{0, 255, 0, 0, 0, 0});
    key.ImageData({0, 255, 0, 0, 254, 0, 0}).End();
    ASSERT_EQ(Open(key.bytes()), PngError::kNone);
    EXPECT_EQ(Pixel(png.Image(), 0, 0), (std::vector<int>{200, 0, 0, 255}));  // pure red shows background
    EXPECT_EQ(Pixel(png.Image(), 1, 0), (std::vector<int>{0, 0, 254, 255}));

    PngWriter grey16;
    grey16.Header(2, 1, 16, 0).Chunk("tRNS", Data{0x12, 0x34});
    grey16.ImageData({0, 0x12, 0x34, 0x12, 0x35}).End();
    ASSERT_EQ(Open(grey16.bytes()), PngError::kNone);
    EXPECT_EQ(Pixel(png.Image(), 0, 0), (std::vector<int>{200, 0, 0, 255}));
    EXPECT_EQ(Pixel(png.Image(), 1, 0), (std::vector<int>{0x12, 0x12, 0x12, 255}));

    PngWriter grey1;  // a key outside the 1-bit range marks nothing
    grey1.Header(2, 1, 1, 0).Chunk("tRNS", Data{0, 5}).ImageData({0, 0b01000000}).End();
    ASSERT_EQ(Open(grey1.bytes()), PngError::kNone);
    EXPECT_EQ(Pixel(png.Image(), 0, 0), (std::vector<int>{0, 0, 0, 255}));
}

TEST_F(LoadPngTest, TallNarrowInterlacedImagesDecode) {
    // 8 pixels wide, 1 bit, 400 rows: the passes hold more than rows x row bytes + rows.
    const std::uint32_t w = 8, h = 400;
    Data passes;
    static const int kStart[7][2] = {{0, 0}, {4, 0}, {0, 4}, {2, 0}, {0, 2}, {1, 0}, {0, 1}};
    static const int kStep[7][2] = {{8, 8}, {8, 8}, {4, 8}, {4, 4}, {2, 4}, {2, 2}, {1, 2}};
    for (int p = 0; p < 7; ++p) {
        for (std::uint32_t y = kStart[p][1]; y < h; y += kStep[p][1]) {
            passes.push_back(0);
            std::uint8_t bits = 0;
            int n = 0;
            for (std::uint32_t x = kStart[p][0]; x < w; x += kStep[p][0], ++n) {
                bits |= static_cast<std::uint8_t>(((x + y) & 1) << (7 - n));
            }
            passes.push_back(bits);
        }
    }
    ASSERT_GT(passes.size(), (w / 8 + 1) * h + h + 100);
    PngWriter file;
    file.Header(w, h, 1, 0, 1).ImageData(passes).End();
    ASSERT_EQ(Open(file.bytes()), PngError::kNone);
    EXPECT_EQ(Pixel(png.Image(), 3, 399)[0], 0);
    EXPECT_EQ(Pixel(png.Image(), 3, 398)[0], 255);
    EXPECT_EQ(Pixel(png.Image(), 4, 399)[0], 255);
}

}  // namespace
}  // namespace tf::png
