// Every image of the conformance suite through LoadPNG, compared with what
// libpng decodes from the same file once the loader's rules are applied:
// 16-bit samples keep their high byte, and alpha and tRNS are blended onto a
// known background with the loader's arithmetic.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <map>
#include <string>
#include <vector>

#include "platform/message_sink.h"
#include "png/blend.h"
#include "png/load_png.h"

namespace tf::png {
namespace {

const std::string kSuite = TF_PNGSUITE_DIR;

struct Reference {
    std::uint32_t width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    std::vector<std::uint8_t> rgba;  // 8-bit RGBA, top row first
    bool hasTrns = false, hasBkgd = false;
    png_color_16 bkgd{};
    std::vector<png_color> palette;
    std::string text, zText, time;
    bool hasGamma = false;
    png_fixed_point gamma = 0;
};

bool ReadWithLibpng(const std::string& path, Reference& ref) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        return false;
    }
    // The loader ignores CRCs, so the oracle must too.
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
    png_init_io(png, f);
    png_read_info(png, info);
    ref.width = png_get_image_width(png, info);
    ref.height = png_get_image_height(png, info);
    ref.depth = png_get_bit_depth(png, info);
    ref.colourType = png_get_color_type(png, info);
    ref.interlace = png_get_interlace_type(png, info);
    ref.hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_color_16p bkgd = nullptr;
    if (png_get_bKGD(png, info, &bkgd)) {
        ref.hasBkgd = true;
        ref.bkgd = *bkgd;
    }
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &palette, &entries)) ref.palette.assign(palette, palette + entries);
    ref.hasGamma = png_get_gAMA_fixed(png, info, &ref.gamma) != 0;

    png_set_expand(png);  // palette to RGB, low depths to 8 bits, tRNS to alpha
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    ref.rgba.resize(std::size_t{ref.width} * ref.height * 4);
    for (std::uint32_t y = 0; y < ref.height; ++y) rows.push_back(&ref.rgba[std::size_t{y} * ref.width * 4]);
    png_read_image(png, rows.data());
    png_read_end(png, info);

    png_textp texts = nullptr;
    const int count = png_get_text(png, info, &texts, nullptr);
    for (int i = 0; i < count; ++i) {
        std::string entry = std::string(texts[i].key) + '\0' + std::string(texts[i].text, texts[i].text_length) + '\0';
        if (texts[i].compression == PNG_TEXT_COMPRESSION_NONE) ref.text += entry;
        if (texts[i].compression == PNG_TEXT_COMPRESSION_zTXt) ref.zText += entry;  // iTXt is not read
    }
    png_timep time = nullptr;
    if (png_get_tIME(png, info, &time)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%02d.%02d.%d %02d:%02d:%02d", time->day, time->month, time->year,
                      time->hour, time->minute, time->second);
        ref.time = buf;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return true;
}

std::vector<std::string> SuiteFiles() {
    std::vector<std::string> names;
    if (DIR* dir = opendir(kSuite.c_str())) {
        while (dirent* e = readdir(dir)) {
            const std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Loader pixel (x, y from the top) as RGBA.
std::array<int, 4> LoaderPixel(const DecodedImage& image, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* row = image.RowFromTop(y);
    if (image.bitsPerPixel >= 24) {
        const std::uint8_t* p = row + std::size_t{x} * (image.bitsPerPixel / 8);
        return {p[2], p[1], p[0], image.bitsPerPixel == 32 ? p[3] : 255};
    }
    const int d = image.bitsPerPixel;
    const std::size_t bit = std::size_t{x} * static_cast<std::size_t>(d);
    const unsigned index = (row[bit / 8] >> (8 - d - bit % 8)) & ((1u << d) - 1);
    const BgrQuad& q = image.colourTable.at(index);
    return {q.red, q.green, q.blue, 255};
}

std::uint32_t ExpectedBackground(const Reference& ref) {
    const png_color_16& b = ref.bkgd;
    switch (ref.colourType) {
        case 3:
            return b.index < ref.palette.size()
                       ? MakeColour(ref.palette[b.index].red, ref.palette[b.index].green, ref.palette[b.index].blue)
                       : 0;
        case 0:
        case 4: {
            const int level = ref.depth == 16 ? b.gray >> 8 : b.gray * (255 / ((1 << ref.depth) - 1));
            return MakeColour(static_cast<std::uint8_t>(level), static_cast<std::uint8_t>(level), static_cast<std::uint8_t>(level));
        }
        default: {
            auto scale = [&](int v) { return static_cast<std::uint8_t>(ref.depth == 16 ? (v + 128) / 257 : v); };
            return MakeColour(scale(b.red), scale(b.green), scale(b.blue));
        }
    }
}

constexpr std::uint32_t kBackground = 0xC05020;  // red 0x20, green 0x50, blue 0xC0

void CheckImage(const std::string& name, bool alphaOn, bool transOn) {
    SCOPED_TRACE(name + (alphaOn ? " alpha" : "") + (transOn ? " trans" : ""));
    Reference ref;
    ASSERT_TRUE(ReadWithLibpng(kSuite + "/" + name, ref));
    platform::RecordingMessageSink messages;
    LoadPNG png(messages);
    png.SetAlpha(alphaOn);
    png.SetTrans(transOn);
    png.SetOwnBkgndColor(true, kBackground);
    ASSERT_EQ(png.OpenPNG(kSuite + "/" + name), PngError::kNone);
    EXPECT_EQ(png.ErrorNumber(), 0);
    EXPECT_TRUE(messages.shown.empty());

    EXPECT_EQ(png.Width(), static_cast<std::int32_t>(ref.width));
    EXPECT_EQ(png.Height(), static_cast<std::int32_t>(ref.height));
    EXPECT_EQ(png.Bitdepht(), ref.depth);
    EXPECT_EQ(png.ColorType(), ref.colourType);
    EXPECT_EQ(png.Interlacing(), ref.interlace);
    const bool alphaType = ref.colourType == 4 || ref.colourType == 6;
    EXPECT_EQ(png.HaveAlpha(), alphaType);
    EXPECT_EQ(png.HaveTransparence(), ref.hasTrns);
    EXPECT_EQ(png.Text(), ref.text);
    EXPECT_EQ(png.zText(), ref.zText);
    EXPECT_EQ(png.ModiTime(), ref.time);
    if (ref.hasGamma) {
        EXPECT_DOUBLE_EQ(png.gama(), ref.gamma / 100000.0);
    }
    EXPECT_EQ(png.HasBKGDChunk(), ref.hasBkgd);
    if (ref.hasBkgd) {
        EXPECT_EQ(png.BkgdColor(), ExpectedBackground(ref));
    }

    const DecodedImage& image = png.Image();
    ASSERT_EQ(image.width, ref.width);
    ASSERT_EQ(image.height, ref.height);
    ASSERT_EQ(image.stride % 4, 0u);
    ASSERT_GE(image.pixels.size(), image.stride * image.height);
    const bool blended = (alphaType && alphaOn) || (ref.hasTrns && transOn && !alphaType);
    int mismatches = 0;
    for (std::uint32_t y = 0; y < ref.height; ++y) {
        for (std::uint32_t x = 0; x < ref.width; ++x) {
            const std::uint8_t* r = &ref.rgba[(std::size_t{y} * ref.width + x) * 4];
            std::array<int, 4> want = {r[0], r[1], r[2], 255};
            const unsigned a = r[3];
            if (blended) {
                const std::uint8_t bg[3] = {RedOf(kBackground), GreenOf(kBackground), BlueOf(kBackground)};
                for (int c = 0; c < 3; ++c) {
                    want[c] = a == 255 ? r[c] : a == 0 ? bg[c] : BlendChannel(r[c], bg[c], a);
                }
            } else if (alphaType) {
                want[3] = r[3];
            } else if (ref.colourType == 3 && ref.depth == 1 && ref.interlace == 0 && ref.palette.size() != 2) {
                // 1-bit palette images use their palette only when it has exactly two entries.
                const bool first = ref.palette[0].red == r[0] && ref.palette[0].green == r[1] && ref.palette[0].blue == r[2];
                want = first ? std::array<int, 4>{0, 0, 0, 255} : std::array<int, 4>{255, 255, 255, 255};
            }
            if (LoaderPixel(image, x, y) != want && ++mismatches <= 3) {
                ADD_FAILURE() << "pixel " << x << "," << y;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(PngSuiteTest, EveryValidImageMatchesLibpng) {
    int checked = 0;
    for (const std::string& name : SuiteFiles()) {
        if (name[0] == 'x') continue;
        CheckImage(name, true, true);
        CheckImage(name, false, false);
        ++checked;
    }
    EXPECT_GE(checked, 150);
}

TEST(PngSuiteTest, BrokenImagesAreRejectedWithTheirError) {
    // CRCs are not checked, so the two files whose only fault is a CRC decode.
    const std::map<std::string, std::pair<PngError, std::int32_t>> expected = {
        {"xc1n0g08.png", {PngError::kBadHeader, kErrorBadHeader}},
        {"xc9n2c08.png", {PngError::kBadHeader, kErrorBadHeader}},
        {"xcrn0g04.png", {PngError::kBadSignature, kErrorNotPng}},
        {"xcsn0g01.png", {PngError::kNone, kErrorNone}},
        {"xd0n2c08.png", {PngError::kBadHeader, kErrorBadHeader}},
        {"xd3n2c08.png", {PngError::kBadHeader, kErrorBadHeader}},
        {"xd9n2c08.png", {PngError::kBadHeader, kErrorBadHeader}},
        {"xdtn0g01.png", {PngError::kNoImageData, kErrorNoImageData}},
        {"xhdn0g08.png", {PngError::kNone, kErrorNone}},
        {"xlfn0g04.png", {PngError::kBadSignature, kErrorNotPng}},
        {"xs1n0g01.png", {PngError::kBadSignature, kErrorNotPng}},
        {"xs2n0g01.png", {PngError::kBadSignature, kErrorNotPng}},
        {"xs4n0g01.png", {PngError::kBadSignature, kErrorNotPng}},
        {"xs7n0g01.png", {PngError::kBadSignature, kErrorNotPng}},
    };
    int checked = 0;
    for (const std::string& name : SuiteFiles()) {
        if (name[0] != 'x') continue;
        SCOPED_TRACE(name);
        const auto it = expected.find(name);
        ASSERT_NE(it, expected.end()) << "no expectation for " << name;
        platform::RecordingMessageSink messages;
        LoadPNG png(messages);
        EXPECT_EQ(png.OpenPNG(kSuite + "/" + name), it->second.first);
        EXPECT_EQ(png.ErrorNumber(), it->second.second);
        EXPECT_EQ(png.Image().empty(), it->second.first != PngError::kNone);
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(expected.size()));
    CheckImage("xcsn0g01.png", true, true);
    CheckImage("xhdn0g08.png", true, true);
}

}  // namespace
}  // namespace tf::png
