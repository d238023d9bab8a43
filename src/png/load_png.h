#pragma once
// LoadPNG reads one PNG file, decodes it with the loader's own inflater and
// scanline code, blends transparency against a background, and hands the
// final bitmap to a picture surface. One object decodes one file; configure
// it first (SetTrans, SetAlpha, BackgroundPicture, SetOwnBkgndColor, PicBox,
// SetToBkgrnd), then call OpenPNG.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "png/bytes.h"
#include "png/colour_tables.h"
#include "png/convert.h"
#include "png/decoded_image.h"
#include "png/inflate.h"
#include "png/picture_surface.h"
#include "png/png_error.h"

namespace tf::platform {
class MessageSink;
}

namespace tf::png {

class PngInput;

class LoadPNG {
public:
    explicit LoadPNG(platform::MessageSink& messages);

    // Reads, decodes and draws the file. The outcome is also kept in
    // ErrorNumber(); nothing is drawn unless the result is kNone. Every
    // property of a previous file is cleared first. Memory is bounded: the
    // file is read only as far as its header allows, Text and zText keep at
    // most kMaxTextBytes each, and a failed allocation ends with error 5.
    PngError OpenPNG(const std::string& filename);
    // The same for a file already in memory.
    PngError OpenPNGFromMemory(const std::uint8_t* file, std::size_t size);

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    std::int32_t Bitdepht() const { return bitDepth_; }
    std::int32_t ColorType() const { return colourType_; }
    std::int32_t Compression() const { return compression_; }
    std::int32_t filter() const { return filterMethod_; }
    std::int32_t Interlacing() const { return interlacing_; }
    std::int32_t ErrorNumber() const { return errorNumber_; }
    bool HaveAlpha() const { return haveAlpha_; }
    bool HaveTransparence() const { return haveTransparence_; }
    void SetTrans(bool vNewValue) { transOn_ = vNewValue; }
    void SetAlpha(bool vNewValue) { alphaOn_ = vNewValue; }
    bool HasBKGDChunk() const { return hasBkgdChunk_; }
    std::uint32_t BkgdColor() const { return bkgdColour_; }
    // Entries of keyword, NUL, text, NUL in file order.
    const std::string& Text() const { return text_; }
    const std::string& zText() const { return zText_; }
    // tEXt and zTXt entries left out because their collection was full.
    std::int32_t DroppedTextEntries() const { return droppedText_; }
    const std::string& ModiTime() const { return modiTime_; }
    double gama() const { return gammaValue_ / 100000.0; }
    // The gAMA value as stored: gamma x 100000.
    std::int32_t GammaValue() const { return gammaValue_; }
    void BackgroundPicture(PictureSurface* vNewValue) { backgroundPicture_ = vNewValue; }
    // The blend background: with the switch on, `backColor` whatever it is
    // (black included); with it off, a non-zero `backColor`, else the bKGD
    // colour.
    void SetOwnBkgndColor(bool ownBkgndOn, std::uint32_t backColor) {
        ownBkgndOn_ = ownBkgndOn;
        ownBackColour_ = backColor;
    }
    void PicBox(PictureSurface* newPicBox) { picBox_ = newPicBox; }
    void SetToBkgrnd(bool setToBg, std::int32_t x, std::int32_t y) {
        setToBg_ = setToBg;
        x_ = x;
        y_ = y;
    }

    // The final bitmap of the last successful OpenPNG (empty otherwise).
    const DecodedImage& Image() const { return image_; }

private:
    void ResetFileState();
    PngError Open(PngInput& input);
    PngError Finish(PngError error);
    PngError ReadChunks(PngInput& input);
    void HandleText(const std::uint8_t* data, std::size_t length);
    PngError HandleZtxt(const std::uint8_t* data, std::size_t length);
    PngError CheckHeader() const;
    std::uint64_t FilteredBytes() const;
    std::uint64_t PeakBytes(std::uint64_t keptImageData) const;
    std::uint64_t InputBudget() const;
    PngError Decode();
    void WidenToImage(PictureSurface& surface) const;
    void PrepareBackground(Bytes& buffer, Background& background) const;

    platform::MessageSink& messages_;  // the tree-creation message
    Inflater inflater_;
    ColourTables tables_;

    // Per-file state, cleared by ResetFileState.
    Bytes imageData_;
    std::vector<std::uint8_t> paletteBytes_;
    std::vector<std::uint8_t> transparencyBytes_;
    std::vector<std::uint8_t> backgroundBytes_;
    bool headerSeen_ = false;
    std::int32_t width_ = 0, height_ = 0;
    std::int32_t bitDepth_ = 0, colourType_ = 0, compression_ = 0, filterMethod_ = 0,
                 interlacing_ = 0;
    std::int32_t errorNumber_ = kErrorNone;
    bool haveAlpha_ = false;
    bool haveTransparence_ = false;
    bool hasBkgdChunk_ = false;
    std::uint32_t bkgdColour_ = 0;
    std::string text_, modiTime_, zText_;
    std::int32_t gammaValue_ = 0;
    std::int32_t droppedText_ = 0;
    DecodedImage image_;

    // Configuration, kept across files.
    std::int32_t x_ = 0, y_ = 0;
    bool alphaOn_ = false;
    bool transOn_ = false;
    PictureSurface* backgroundPicture_ = nullptr;
    bool ownBkgndOn_ = false;
    std::uint32_t ownBackColour_ = 0;
    PictureSurface* picBox_ = nullptr;
    bool setToBg_ = false;
};

}  // namespace tf::png
