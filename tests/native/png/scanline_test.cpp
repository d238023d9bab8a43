// Scanline geometry, filters, Adam7, sample conversions, colour tables and
// the blend arithmetic.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "png/blend.h"
#include "png/chunk_fields.h"
#include "png/colour_tables.h"
#include "png/scanline.h"

namespace tf::png {
namespace {

// The encoder side of the PNG filters, written out from the definitions.
std::vector<std::uint8_t> FilterRow(int type, const std::vector<std::uint8_t>& row,
                                    const std::vector<std::uint8_t>& prev, int bpp) {
    std::vector<std::uint8_t> out(row.size());
    for (std::size_t i = 0; i < row.size(); ++i) {
        const int a = i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0;
        const int b = prev[i];
        const int c = i >= static_cast<std::size_t>(bpp) ? prev[i - bpp] : 0;
        int predictor = 0;
        switch (type) {
            case 1: predictor = a; break;
            case 2: predictor = b; break;
            case 3: predictor = (a + b) / 2; break;
            case 4: {
                const int p = a + b - c;
                const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
                break;
            }
            default: break;
        }
        out[i] = static_cast<std::uint8_t>(row[i] - predictor);
    }
    return out;
}

TEST(ScanlineTest, EveryFilterTypeRoundTripsAndUnknownTypesLeaveTheRow) {
    for (int bpp : {1, 3, 4, 8}) {
        SCOPED_TRACE(bpp);
        const std::uint32_t width = 5;
        const std::size_t length = width * static_cast<std::size_t>(bpp);
        const int types[] = {0, 1, 2, 3, 4, 4, 3, 7};
        std::vector<std::vector<std::uint8_t>> image;
        Bytes stream;
        std::vector<std::uint8_t> prev(length, 0);
        unsigned seed = 1;
        for (int type : types) {
            std::vector<std::uint8_t> row(length);
            for (auto& b : row) b = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
            const std::vector<std::uint8_t> filtered = FilterRow(type, row, prev, bpp);
            if (type == 7) row = filtered;  // type 7 is kept as stored
            stream.push_back(static_cast<std::uint8_t>(type));
            stream.insert(stream.end(), filtered.begin(), filtered.end());
            image.push_back(row);
            prev = row;
        }
        ASSERT_TRUE(UnfilterRows(stream, width, static_cast<std::uint32_t>(image.size()), bpp * 8));
        for (std::size_t y = 0; y < image.size(); ++y) {
            EXPECT_TRUE(std::equal(image[y].begin(), image[y].end(), stream.begin() + y * (length + 1) + 1)) << "row " << y;
        }
    }
    Bytes shortStream(10, 0);
    EXPECT_FALSE(UnfilterRows(shortStream, 4, 3, 8));
}

TEST(ScanlineTest, Adam7PassGeometry) {
    // A 3-pixel-wide image has no pass 2; the others are 1, 1, 1, 2, 1, 3 wide.
    const std::uint32_t widths[] = {1, 0, 1, 1, 2, 1, 3};
    for (int pass = 1; pass <= 7; ++pass) EXPECT_EQ(PassColumns(pass, 3), widths[pass - 1]) << pass;
    // A 1x1 image has data only in pass 1.
    for (int pass = 2; pass <= 7; ++pass) {
        EXPECT_TRUE(PassColumns(pass, 1) == 0 || PassRows(pass, 1) == 0) << pass;
    }
    EXPECT_EQ(InterlacedBytes(1, 1, 8), 2u);
    // Rows for a 13-row image: R = 1, q = 5.
    const std::uint32_t rows[] = {2, 2, 2, 4, 3, 7, 6};
    for (int pass = 1; pass <= 7; ++pass) EXPECT_EQ(PassRows(pass, 13), rows[pass - 1]) << pass;
    EXPECT_EQ(PassRowBytes(9, 2, 7), 3u);   // 9 pixels of 2 bits
    EXPECT_EQ(PassRowBytes(9, 1, 1), 1u);   // 2 pixels of 1 bit
}

// Interlaces a byte-per-sample image (filter type 0) the way an encoder does.
Bytes Interlace(const std::vector<std::uint8_t>& image, std::uint32_t w, std::uint32_t h, int depth) {
    static const int kStart[7][2] = {{0, 0}, {4, 0}, {0, 4}, {2, 0}, {0, 2}, {1, 0}, {0, 1}};
    static const int kStep[7][2] = {{8, 8}, {8, 8}, {4, 8}, {4, 4}, {2, 4}, {2, 2}, {1, 2}};
    Bytes out;
    for (int p = 0; p < 7; ++p) {
        for (std::uint32_t y = kStart[p][1]; y < h; y += kStep[p][1]) {
            std::vector<std::uint8_t> row;
            int bits = 0;
            for (std::uint32_t x = kStart[p][0]; x < w; x += kStep[p][0]) {
                if (bits % 8 == 0) row.push_back(0);
                row.back() |= static_cast<std::uint8_t>(image[y * w + x] << (8 - depth - bits % 8));
                bits += depth;
            }
            if (row.empty()) continue;
            out.push_back(0);
            out.insert(out.end(), row.begin(), row.end());
        }
    }
    return out;
}

TEST(ScanlineTest, DeinterlaceRestoresEveryPixel) {
    for (int depth : {2, 8}) {
        for (std::uint32_t w : {1u, 3u, 9u}) {
            for (std::uint32_t h : {1u, 5u, 11u}) {
                std::vector<std::uint8_t> image(w * h);
                for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>((i * 7 + 1) % (depth == 2 ? 4 : 256));
                const Bytes stream = Interlace(image, w, h, depth);
                EXPECT_EQ(stream.size(), InterlacedBytes(w, h, depth));
                Bytes out;
                ASSERT_TRUE(Deinterlace(stream, w, h, depth, out));
                EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.end()), image) << w << "x" << h << " depth " << depth;
                Bytes cut(stream.begin(), stream.end() - 1);
                EXPECT_FALSE(Deinterlace(cut, w, h, depth, out));
            }
        }
    }
}

TEST(ScanlineTest, SampleConversions) {
    const std::uint8_t wide[] = {0x12, 0xAB, 0x34, 0xCD, 0x56, 0xEF};
    std::uint8_t narrow[3];
    ReduceTo8Bit(wide, narrow, 3);
    EXPECT_EQ(narrow[0], 0x12);
    EXPECT_EQ(narrow[2], 0x56);

    const std::uint8_t twoBit[] = {0b00011011, 0b10000000};
    std::uint8_t expanded[5];
    ExpandTwoBit(twoBit, expanded, 5);
    EXPECT_EQ(std::vector<int>(expanded, expanded + 5), (std::vector<int>{0, 1, 2, 3, 2}));

    const std::uint8_t rgba16[] = {1, 0, 2, 0, 3, 0, 4, 0};
    std::uint8_t bgra[4];
    RgbaToBgra(rgba16, bgra, 1, 2);
    EXPECT_EQ(std::vector<int>(bgra, bgra + 4), (std::vector<int>{3, 2, 1, 4}));
    const std::uint8_t rgba8[] = {10, 20, 30, 40, 50, 60, 70, 80};
    std::uint8_t bgra8[8];
    RgbaToBgra(rgba8, bgra8, 2, 1);
    EXPECT_EQ(std::vector<int>(bgra8, bgra8 + 8), (std::vector<int>{30, 20, 10, 40, 70, 60, 50, 80}));
    const std::uint8_t ga[] = {9, 200};
    GreyAlphaToBgra(ga, bgra, 1, 1);
    EXPECT_EQ(std::vector<int>(bgra, bgra + 4), (std::vector<int>{9, 9, 9, 200}));

    std::uint8_t rows[] = {1, 2, 3, 4, 5, 6};  // three rows of 2
    FlipRows(rows, 6, 2);
    EXPECT_EQ(std::vector<int>(rows, rows + 6), (std::vector<int>{5, 6, 3, 4, 1, 2}));
    std::uint8_t padded[16];
    std::fill(padded, padded + 16, 0xEE);
    PadRows(rows, 2, 2, 2, padded, 8);
    EXPECT_EQ(std::vector<int>(padded, padded + 16),
              (std::vector<int>{5, 6, 0, 0, 0, 0, 0, 0, 3, 4, 0, 0, 0, 0, 0, 0}));
}

TEST(ScanlineTest, BlendArithmetic) {
    EXPECT_EQ(BlendChannel(200, 100, 128), 150);
    EXPECT_EQ(BlendChannel(0, 192, 128), 96);
    const std::uint8_t image[] = {1, 2, 3, 255, 1, 2, 3, 0, 200, 0, 0, 128};
    const std::uint8_t background[] = {100, 100, 100, 100, 100, 100, 100, 100, 100};
    std::uint8_t out[9];
    BlendRow(image, background, out, 3);
    EXPECT_EQ(std::vector<int>(out, out + 9), (std::vector<int>{1, 2, 3, 100, 100, 100, 150, 50, 50}));

    std::uint8_t grey[16], colour[16];
    std::fill(colour, colour + 16, 0xEE);
    FillBackground(grey, 1, 2, 8, MakeColour(7, 7, 7));
    EXPECT_EQ(std::count(grey, grey + 16, 7), 16);  // every byte, padding included
    FillBackground(colour, 1, 2, 8, MakeColour(255, 0, 0));
    EXPECT_EQ(std::vector<int>(colour, colour + 4), (std::vector<int>{0, 0, 255, 0xEE}));
}

TEST(ScanlineTest, GreyRampsAndPaletteTables) {
    ColourTables tables;
    EXPECT_EQ(BuildGreyRamp(tables, 2, true)[2 * 3], 170);
    EXPECT_EQ(tables.table8[2].green, 170);
    EXPECT_EQ(BuildGreyRamp(tables, 4, false)[15 * 3], 255);
    EXPECT_EQ(tables.table4[1].red, 17);
    EXPECT_EQ(BuildGreyRamp(tables, 16, true).size(), 256u * 3);
    EXPECT_EQ(BuildGreyRamp(tables, 1, false)[3], 255);

    const std::vector<std::uint8_t> three = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    SetTwoColourTable(tables, three);  // not exactly two entries: black and white
    EXPECT_EQ(tables.table1[0].red, 0);
    EXPECT_EQ(tables.table1[1].blue, 255);
    SetTwoColourTable(tables, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(tables.table1[1].red, 4);
    EXPECT_EQ(tables.table1[1].blue, 6);
    SetColourTable16(tables, three);
    EXPECT_EQ(tables.table4[2].green, 8);
    EXPECT_EQ(tables.table4[3].green, 0);  // beyond the palette: black
}

TEST(ScanlineTest, BackgroundColourAndTimeFields) {
    const std::vector<std::uint8_t> palette = {1, 2, 3};
    EXPECT_EQ(BackgroundColour({0, 255, 0, 128, 0, 0}, 2, 8, palette), MakeColour(255, 128, 0));
    EXPECT_EQ(BackgroundColour({0xFF, 0xFF, 0x80, 0x80, 0, 0}, 6, 16, palette), MakeColour(255, 128, 0));
    EXPECT_EQ(BackgroundColour({0, 0}, 3, 8, palette), 0u);         // wrong length
    EXPECT_EQ(BackgroundColour({1}, 3, 8, palette), 0u);            // index beyond the palette
    EXPECT_EQ(BackgroundColour({0}, 3, 8, palette), MakeColour(1, 2, 3));
    EXPECT_EQ(BackgroundColour({0, 2}, 0, 2, palette), MakeColour(170, 170, 170));
    EXPECT_EQ(BackgroundColour({0, 4}, 0, 2, palette), 0u);         // above the depth's range
    EXPECT_EQ(BackgroundColour({0xAB, 0xCD}, 4, 16, palette), MakeColour(0xAB, 0xAB, 0xAB));

    const std::uint8_t march[] = {0x07, 0xD7, 3, 5, 14, 7, 9};
    EXPECT_EQ(FormatModificationTime(march), "05.03.2007 14:07:09");
    const std::uint8_t early[] = {0x03, 0x2C, 12, 31, 0, 0, 0};
    EXPECT_EQ(FormatModificationTime(early), "31.12.812 00:00:00");
}

}  // namespace
}  // namespace tf::png
