#include "png/load_png.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "png/blend.h"
#include "png/chunk_fields.h"
#include "png/convert.h"
#include "png/draw_on_picture.h"
#include "png/limits.h"
#include "png/scanline.h"

namespace tf::png {

namespace {

bool TypeIs(const std::uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

bool ValidDepthFor(int colourType, int depth) {
    switch (colourType) {
        case kColourGrey: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case kColourPalette: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case kColourRgb:
        case kColourGreyAlpha:
        case kColourRgba: return depth == 8 || depth == 16;
        default: return false;
    }
}

// Bits per pixel of the final bitmap, from the conversion table.
int FinalBitsPerPixel(int colourType, int depth, bool interlaced, bool applyTrans, bool alphaOn) {
    switch (colourType) {
        case kColourGrey:
        case kColourPalette:
            if (applyTrans) return 24;
            return (!interlaced && (depth == 1 || depth == 4)) ? depth : 8;
        case kColourRgb: return 24;
        default: return alphaOn ? 24 : 32;
    }
}

}  // namespace

LoadPNG::LoadPNG(platform::MessageSink& messages) : inflater_(messages) {}

PngError LoadPNG::Fail(std::int32_t errorNumber, PngError error) {
    errorNumber_ = errorNumber;
    image_ = DecodedImage{};
    return error;
}

PngError LoadPNG::OpenPNG(const std::string& filename) {
    std::ifstream file(filename, std::ios::binary);
    if (!file) {
        // A missing file or folder is reported like a file that is not a PNG.
        imageData_.clear();
        hasBkgdChunk_ = false;
        haveTransparence_ = false;
        return Fail(kErrorNotPng, PngError::kCannotOpen);
    }
    // Read in blocks rather than trusting a size: a folder or a device
    // reports none that can be used.
    std::vector<std::uint8_t> bytes;
    constexpr std::size_t kBlock = 1 << 16;
    while (file) {
        const std::size_t at = bytes.size();
        if (at > kMaxFileBytes) return Fail(kErrorBadHeader, PngError::kImageTooLarge);
        bytes.resize(at + kBlock);
        file.read(reinterpret_cast<char*>(bytes.data() + at), kBlock);
        bytes.resize(at + static_cast<std::size_t>(file.gcount()));
    }
    file.close();
    return OpenPNGFromMemory(bytes.data(), bytes.size());
}

PngError LoadPNG::OpenPNGFromMemory(const std::uint8_t* file, std::size_t size) {
    imageData_.clear();
    hasBkgdChunk_ = false;
    haveTransparence_ = false;
    headerSeen_ = false;
    errorNumber_ = kErrorNone;
    image_ = DecodedImage{};

    PngError error = ReadChunks(file, size);
    if (error != PngError::kNone) return error;
    if (imageData_.empty()) return Fail(kErrorNoImageData, PngError::kNoImageData);
    error = CheckHeader();
    if (error != PngError::kNone) return Fail(kErrorBadHeader, error);
    if (imageData_.size() <= kZlibHeaderBytes) {
        return Fail(kErrorDecode, PngError::kImageDataTooShort);
    }
    error = Decode();
    if (error != PngError::kNone) return Fail(kErrorDecode, error);
    if (picBox_) picBox_->Draw(image_, x_, y_, setToBg_);
    return PngError::kNone;
}

PngError LoadPNG::ReadChunks(const std::uint8_t* file, std::size_t size) {
    if (size < kPngSignature.size() ||
        !std::equal(kPngSignature.begin(), kPngSignature.end(), file)) {
        return Fail(kErrorNotPng, PngError::kBadSignature);
    }
    std::size_t pos = kPngSignature.size();
    for (;;) {
        if (pos > size || size - pos < kChunkHeaderBytes) {
            return Fail(kErrorTruncated, PngError::kTruncatedChunk);
        }
        const std::uint32_t length = ReadBe32(file + pos);
        const std::uint8_t* type = file + pos + 4;
        const std::size_t dataStart = pos + kChunkHeaderBytes;
        // The data and at least the first byte of the CRC must be in the file.
        if ((length & 0x80000000u) != 0 || size - dataStart < std::size_t{length} + 1) {
            return Fail(kErrorTruncated, PngError::kTruncatedChunk);
        }
        const std::uint8_t* data = file + dataStart;
        pos = dataStart + length + kChunkCrcBytes;

        if (TypeIs(type, "IHDR")) {
            if (length < kIhdrLength) return Fail(kErrorBadHeader, PngError::kBadHeader);
            width_ = static_cast<std::int32_t>(ReadBe32(data));
            height_ = static_cast<std::int32_t>(ReadBe32(data + 4));
            bitDepth_ = data[8];
            colourType_ = data[9];
            compression_ = data[10];
            filterMethod_ = data[11];
            interlacing_ = data[12];
            headerSeen_ = true;
        } else if (TypeIs(type, "PLTE")) {
            paletteBytes_.assign(data, data + length);
        } else if (TypeIs(type, "IDAT")) {
            imageData_.insert(imageData_.end(), data, data + length);
        } else if (TypeIs(type, "IEND")) {
            break;
        } else if (TypeIs(type, "bKGD")) {
            backgroundBytes_.assign(data, data + length);
            bkgdColour_ = BackgroundColour(backgroundBytes_, colourType_, bitDepth_, paletteBytes_);
            hasBkgdChunk_ = true;
        } else if (TypeIs(type, "gAMA")) {
            if (length >= kGamaLength) gammaValue_ = static_cast<std::int32_t>(ReadBe32(data));
        } else if (TypeIs(type, "tEXt")) {
            text_.append(reinterpret_cast<const char*>(data), length);
            text_.push_back('\0');
        } else if (TypeIs(type, "zTXt")) {
            const PngError error = HandleZtxt(data, length);
            if (error != PngError::kNone) return Fail(kErrorDecode, error);
        } else if (TypeIs(type, "tIME")) {
            if (length >= kTimeLength) modiTime_ = FormatModificationTime(data);
        } else if (TypeIs(type, "tRNS")) {
            transparencyBytes_.assign(data, data + length);
            haveTransparence_ = true;
        }
        // Every other chunk is skipped; CRCs are not checked.
    }
    return PngError::kNone;
}

// A zTXt entry is the keyword, NUL, the inflated text, NUL. Chunks without a
// keyword terminator or without compressed bytes after it are skipped.
PngError LoadPNG::HandleZtxt(const std::uint8_t* data, std::size_t length) {
    const std::uint8_t* keywordEnd = std::find(data, data + length, 0);
    const std::size_t keywordLength = static_cast<std::size_t>(keywordEnd - data);
    if (keywordLength == length || length - keywordLength <= kZtxtBytesAfterKeyword) {
        return PngError::kNone;
    }
    zText_.append(reinterpret_cast<const char*>(data), keywordLength);
    zText_.push_back('\0');

    const std::uint8_t* compressed = data + keywordLength + kZtxtBytesAfterKeyword;
    const std::size_t compressedLength = length - keywordLength - kZtxtBytesAfterKeyword;
    const std::int64_t hint =
        std::min<std::int64_t>(static_cast<std::int64_t>(compressedLength - 1) * kZtxtHintFactor,
                               static_cast<std::int64_t>(kMaxPixelBytes));
    Bytes text;
    const InflateOutcome outcome = inflater_.Inflate(compressed, compressedLength,
                                                     hint + kInflateHintSlack, false, text);
    if (outcome.error == PngError::kTreeCreation) {
        // The message has been shown; the data stays as it came in.
        zText_.append(reinterpret_cast<const char*>(compressed), compressedLength);
    } else if (!outcome.ok()) {
        return outcome.error;
    } else {
        zText_.append(reinterpret_cast<const char*>(text.data()), text.size());
    }
    zText_.push_back('\0');
    return PngError::kNone;
}

PngError LoadPNG::CheckHeader() const {
    if (!headerSeen_ || width_ <= 0 || height_ <= 0 || compression_ != 0 || interlacing_ > 1 ||
        !ValidDepthFor(colourType_, bitDepth_)) {
        return PngError::kBadHeader;
    }
    const auto width = static_cast<std::uint32_t>(width_);
    const auto height = static_cast<std::uint32_t>(height_);
    const int bpp = BitsPerPixel(colourType_, bitDepth_);
    const bool interlaced = interlacing_ == 1;
    const bool applyTrans = haveTransparence_ && transOn_;

    std::uint64_t largest = RowBytes(width, bpp) * height + height;
    if (interlaced) {
        largest = std::max(largest, InterlacedBytes(width, height, bpp));
        largest = std::max<std::uint64_t>(largest, std::uint64_t{width} * height *
                                                        static_cast<std::uint64_t>(FilterBytesPerPixel(bpp)));
    }
    const int finalBpp = FinalBitsPerPixel(colourType_, bitDepth_, interlaced, applyTrans, alphaOn_);
    largest = std::max(largest, BitmapStride(width, finalBpp) * height);
    if (applyTrans) largest = std::max<std::uint64_t>(largest, std::uint64_t{width} * height * 4);
    if (largest > kMaxPixelBytes) return PngError::kImageTooLarge;
    return PngError::kNone;
}

// A background surface smaller than the image grows to the image's size
// plus a margin, so the capture reads the surface's own colour rather than
// what lies beyond it.
void LoadPNG::WidenToImage(PictureSurface& surface) const {
    const TwipsContainer twips(surface);
    const TwipSize image = PixelsToTwips(surface, width_, height_);
    constexpr std::int32_t kLargest = INT32_MAX - kWidenTwips;
    if (surface.Width() < image.width) surface.SetWidth(std::min(image.width, kLargest) + kWidenTwips);
    if (surface.Height() < image.height) surface.SetHeight(std::min(image.height, kLargest) + kWidenTwips);
}

void LoadPNG::PrepareBackground(Bytes& buffer, Background& background) const {
    const auto width = static_cast<std::uint32_t>(width_);
    const auto height = static_cast<std::uint32_t>(height_);
    const std::size_t stride = static_cast<std::size_t>(BitmapStride(width, 24));
    if (backgroundPicture_) {
        WidenToImage(*backgroundPicture_);
        buffer.assign(stride * height, 0);
        if (!backgroundPicture_->CaptureBackground(x_, y_, width, height, stride, buffer.data())) {
            std::fill(buffer.begin(), buffer.end(), 0);
        }
        background = Background{buffer.data(), stride};
        return;
    }
    // Without a surface every background row is the same colour: one row does.
    buffer.assign(stride, 0);
    FillBackground(buffer.data(), width, 1, stride, ownBackColour_ != 0 ? ownBackColour_ : bkgdColour_);
    background = Background{buffer.data(), 0};
}

PngError LoadPNG::Decode() {
    haveAlpha_ = false;
    const auto width = static_cast<std::uint32_t>(width_);
    const auto height = static_cast<std::uint32_t>(height_);
    const int bpp = BitsPerPixel(colourType_, bitDepth_);
    const bool interlaced = interlacing_ == 1;

    // The size hint bounds the inflated data. For interlaced images the
    // row-count estimate can fall short of what the passes hold (narrow 1-bit
    // images), so it is never allowed below the exact length.
    std::uint64_t hint = RowBytes(width, bpp) * height;
    if (interlaced) hint = std::max(hint + height, InterlacedBytes(width, height, bpp));

    Bytes raw;
    const InflateOutcome outcome =
        inflater_.Inflate(imageData_.data() + kZlibHeaderBytes, imageData_.size() - kZlibHeaderBytes,
                          static_cast<std::int64_t>(hint) + kInflateHintSlack, false, raw);
    if (!outcome.ok()) return outcome.error;
    Bytes().swap(imageData_);

    SampleRows samples{};
    Bytes merged;
    if (!interlaced) {
        if (!UnfilterRows(raw, width, height, bpp)) return PngError::kPixelDataShort;
        samples = SampleRows{raw.data() + 1, static_cast<std::size_t>(RowBytes(width, bpp)), bitDepth_};
    } else {
        if (!Deinterlace(raw, width, height, bpp, merged)) return PngError::kPixelDataShort;
        Bytes().swap(raw);
        samples = SampleRows{merged.data(), std::size_t{width} * static_cast<std::size_t>(FilterBytesPerPixel(bpp)),
                             bitDepth_ < 8 ? 8 : bitDepth_};
    }

    haveAlpha_ = colourType_ == kColourGreyAlpha || colourType_ == kColourRgba;
    ConvertInput in;
    in.width = width;
    in.height = height;
    in.colourType = colourType_;
    in.bitDepth = bitDepth_;
    in.samples = samples;
    in.palette = &paletteBytes_;
    in.transparency = &transparencyBytes_;
    in.applyTransparency = haveTransparence_ && transOn_;
    in.alphaOn = alphaOn_;

    Bytes backgroundBuffer;
    Background background;
    if (NeedsBlend(colourType_, in.applyTransparency, alphaOn_)) {
        PrepareBackground(backgroundBuffer, background);
    }
    ConvertToBitmap(in, tables_, background, image_);
    return PngError::kNone;
}

}  // namespace tf::png
