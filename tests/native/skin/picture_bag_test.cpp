// The picture bag and the BMP inside it: the kinds of BMP a skin author may
// store, and bags that are damaged or built to mislead the reader.
#include <gtest/gtest.h>

#include "hand_bytes.h"
#include "skin/format/bmp_image.h"
#include "skin/format/picture_bag.h"

namespace tf::skin {
namespace {

using test::Bytes;
using test::HandBag;
using test::HandBmp;
using test::PutLe;

SkinFileError ReadBag(const Bytes& bag, SkinPicture& out) { return ReadPictureBag(bag.data(), bag.size(), out); }

void ExpectPattern(const SkinPicture& picture, int width, int height) {
    ASSERT_EQ(picture.width, width);
    ASSERT_EQ(picture.height, height);
    ASSERT_EQ(picture.bgr.size(), static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) ASSERT_EQ(picture.ColourAt(x, y), test::Pattern(x, y)) << x << "," << y;
    }
}

TEST(SkinBmp, RowOrderPaddingAndPixelSizes) {
    struct Case {
        int bits;
        bool topDown;
        std::uint32_t compression;
        std::uint32_t headerSize;
    };
    // Widths 5 and 7 leave padding at the end of each 24-bit row.
    for (const Case c : {Case{24, false, 0, 40}, Case{24, true, 0, 40}, Case{32, false, 0, 40},
                         Case{32, true, 3, 124}, Case{24, false, 0, 108}}) {
        for (int width : {1, 5, 7}) {
            SkinPicture picture;
            const Bytes bmp = HandBmp(width, 3, c.bits, c.topDown, test::Pattern, c.compression, c.headerSize);
            ASSERT_EQ(DecodeBmp(bmp.data(), bmp.size(), picture), SkinFileError::kNone)
                << c.bits << " bits, width " << width;
            ExpectPattern(picture, width, 3);
        }
    }
}

TEST(SkinBmp, KindsWeDoNotDecode) {
    const auto decode = [](const Bytes& bmp) {
        SkinPicture picture;
        return DecodeBmp(bmp.data(), bmp.size(), picture);
    };
    EXPECT_EQ(decode(HandBmp(4, 4, 8)), SkinFileError::kBadPicture);          // palette
    EXPECT_EQ(decode(HandBmp(4, 4, 16)), SkinFileError::kBadPicture);         // 16-bit
    EXPECT_EQ(decode(HandBmp(4, 4, 24, false, test::Pattern, 1)), SkinFileError::kBadPicture);  // RLE
    EXPECT_EQ(decode(HandBmp(4, 4, 24, false, test::Pattern, 3)), SkinFileError::kBadPicture);  // masks on 24-bit
    Bytes swapped = HandBmp(4, 4, 32, false, test::Pattern, 3, 124);
    PutLe(swapped, 54, 0x000000FF, 4);  // red mask where blue belongs
    EXPECT_EQ(decode(swapped), SkinFileError::kBadPicture);
    Bytes planes = HandBmp(4, 4);
    PutLe(planes, 26, 2, 2);
    EXPECT_EQ(decode(planes), SkinFileError::kBadPicture);
    Bytes zeroWide = HandBmp(4, 4);
    PutLe(zeroWide, 18, 0, 4);
    EXPECT_EQ(decode(zeroWide), SkinFileError::kBadPicture);
    Bytes mostNegative = HandBmp(4, 4);
    PutLe(mostNegative, 22, 0x80000000u, 4);
    EXPECT_EQ(decode(mostNegative), SkinFileError::kBadPicture);
    Bytes shortPixels = HandBmp(5, 4);
    shortPixels.pop_back();
    EXPECT_EQ(decode(shortPixels), SkinFileError::kBadPicture);
    Bytes offsetPastEnd = HandBmp(4, 4);
    PutLe(offsetPastEnd, 10, 0xFFFFFFF0u, 4);
    EXPECT_EQ(decode(offsetPastEnd), SkinFileError::kBadPicture);
    Bytes offsetInHeader = HandBmp(4, 4);
    PutLe(offsetInHeader, 10, 20, 4);
    EXPECT_EQ(decode(offsetInHeader), SkinFileError::kBadPicture);
}

TEST(SkinBmp, HugeDimensionsAreRefusedBeforeAnyAllocation) {
    // Headers that claim huge pictures over a few bytes of pixels.
    for (const auto& size : {std::pair<std::uint32_t, std::uint32_t>{9000, 1}, {1, 9000}, {4097, 4097}}) {
        Bytes bmp = HandBmp(2, 2);
        PutLe(bmp, 18, size.first, 4);
        PutLe(bmp, 22, size.second, 4);
        SkinPicture picture;
        EXPECT_EQ(DecodeBmp(bmp.data(), bmp.size(), picture), SkinFileError::kTooLarge);
    }
}

TEST(SkinPictureBag, WrittenBagReadsBack) {
    SkinPicture picture;
    const Bytes bmp = HandBmp(9, 4);
    ASSERT_EQ(DecodeBmp(bmp.data(), bmp.size(), picture), SkinFileError::kNone);
    const Bytes bag = WritePictureBag(picture);
    SkinPicture back;
    ASSERT_EQ(ReadBag(bag, back), SkinFileError::kNone);
    ExpectPattern(back, 9, 4);
    // The written bag is the documented form, byte for byte.
    EXPECT_EQ(bag, HandBag(EncodeBmp24(picture)));
}

TEST(SkinPictureBag, OtherPropertiesAreSteppedOver) {
    const Bytes bag = HandBag({{"Author", 7, {'m', 'e'}}, {"SkinPicture", 1, HandBmp(3, 2)}, {"Z", 1, {}}});
    SkinPicture picture;
    ASSERT_EQ(ReadBag(bag, picture), SkinFileError::kNone);
    ExpectPattern(picture, 3, 2);
}

TEST(SkinPictureBag, MalformedBags) {
    const Bytes bmp = HandBmp(3, 2);
    SkinPicture picture;
    EXPECT_EQ(ReadBag({}, picture), SkinFileError::kBadBag);
    EXPECT_EQ(ReadBag(HandBag({{"Author", 1, bmp}}), picture), SkinFileError::kBadBag);  // no picture
    EXPECT_EQ(ReadBag(HandBag({{"SkinPicture", 1, bmp}, {"SkinPicture", 1, bmp}}), picture),
              SkinFileError::kBadBag);                                                      // two pictures
    EXPECT_EQ(ReadBag(HandBag({{"SkinPicture", 2, bmp}}), picture), SkinFileError::kBadBag);  // not a BMP
    EXPECT_EQ(ReadBag(HandBag({{"skinpicture", 1, bmp}}), picture), SkinFileError::kBadBag);  // names are exact
    EXPECT_EQ(ReadBag(HandBag({{"", 1, {}}, {"SkinPicture", 1, bmp}}), picture), SkinFileError::kBadBag);
    EXPECT_EQ(ReadBag(HandBag({{"SkinPicture", 1, {'B', 'M'}}}), picture), SkinFileError::kBadPicture);

    const Bytes good = HandBag(bmp);
    Bytes magic = good;
    magic[0] = 'X';
    EXPECT_EQ(ReadBag(magic, picture), SkinFileError::kBadBag);
    Bytes version = good;
    PutLe(version, 4, 2, 2);
    EXPECT_EQ(ReadBag(version, picture), SkinFileError::kBadBag);
    Bytes trailing = good;
    trailing.push_back(0);
    EXPECT_EQ(ReadBag(trailing, picture), SkinFileError::kBadBag);
    Bytes moreProperties = good;
    PutLe(moreProperties, 6, 2, 2);  // claims a second property that is not there
    EXPECT_EQ(ReadBag(moreProperties, picture), SkinFileError::kBadBag);
    Bytes longValue = good;
    PutLe(longValue, 8 + 2 + 11 + 2, 0xFFFFFFFFu, 4);  // value length past the end
    EXPECT_EQ(ReadBag(longValue, picture), SkinFileError::kBadBag);
    Bytes longName = good;
    PutLe(longName, 8, 0xFFFF, 2);
    EXPECT_EQ(ReadBag(longName, picture), SkinFileError::kBadBag);
    // Every prefix of a good bag is refused.
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        const Bytes prefix(good.begin(), good.begin() + cut);
        ASSERT_NE(ReadBag(prefix, picture), SkinFileError::kNone) << "cut at " << cut;
    }
    EXPECT_TRUE(picture.empty());
}

}  // namespace
}  // namespace tf::skin
