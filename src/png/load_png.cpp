#include "png/load_png.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>

#include "platform/message_sink.h"
#include "png/blend.h"
#include "png/chunk_fields.h"
#include "png/convert.h"
#include "png/draw_on_picture.h"
#include "png/limits.h"
#include "png/png_input.h"
#include "png/scanline.h"
#include "png/transparency.h"

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

LoadPNG::LoadPNG(platform::MessageSink& messages) : messages_(messages) {}

void LoadPNG::ResetFileState() {
    Bytes().swap(imageData_);
    paletteBytes_.clear();
    transparencyBytes_.clear();
    backgroundBytes_.clear();
    headerSeen_ = false;
    width_ = height_ = 0;
    bitDepth_ = colourType_ = compression_ = filterMethod_ = interlacing_ = 0;
    errorNumber_ = kErrorNone;
    haveAlpha_ = haveTransparence_ = hasBkgdChunk_ = false;
    bkgdColour_ = 0;
    text_.clear();
    modiTime_.clear();
    zText_.clear();
    gammaValue_ = 0;
    droppedText_ = 0;
    image_ = DecodedImage{};
}

PngError LoadPNG::Finish(PngError error) {
    errorNumber_ = ErrorNumberFor(error);
    Bytes().swap(imageData_);
    if (error != PngError::kNone) image_ = DecodedImage{};
    return error;
}

PngError LoadPNG::OpenPNG(const std::string& filename) {
    ResetFileState();
    try {
        FileInput input(filename);
        // A missing file or folder is reported like a file that is not a PNG.
        if (!input.IsOpen()) return Finish(PngError::kCannotOpen);
        return Open(input);
    } catch (const std::bad_alloc&) {
        return Finish(PngError::kOutOfMemory);
    }
}

PngError LoadPNG::OpenPNGFromMemory(const std::uint8_t* file, std::size_t size) {
    ResetFileState();
    try {
        MemoryInput input(file, size);
        return Open(input);
    } catch (const std::bad_alloc&) {
        return Finish(PngError::kOutOfMemory);
    }
}

PngError LoadPNG::Open(PngInput& input) {
    PngError error = ReadChunks(input);
    if (error != PngError::kNone) return Finish(error);
    if (imageData_.empty()) return Finish(PngError::kNoImageData);
    error = CheckHeader();
    if (error == PngError::kNone && PeakBytes(imageData_.capacity()) > kMaxPixelBytes) {
        error = PngError::kImageTooLarge;
    }
    if (error != PngError::kNone) return Finish(error);
    if (imageData_.size() <= kZlibHeaderBytes) return Finish(PngError::kImageDataTooShort);
    error = Decode();
    if (error != PngError::kNone) return Finish(error);
    Finish(PngError::kNone);
    if (picBox_) picBox_->Draw(image_, x_, y_, setToBg_);
    return PngError::kNone;
}

PngError LoadPNG::ReadChunks(PngInput& input) {
    std::uint8_t signature[kPngSignature.size()];
    if (input.Read(signature, sizeof signature) != sizeof signature ||
        !std::equal(kPngSignature.begin(), kPngSignature.end(), signature)) {
        return PngError::kBadSignature;
    }
    std::uint64_t consumed = sizeof signature;
    Bytes data;
    for (;;) {
        std::uint8_t head[kChunkHeaderBytes];
        if (input.Read(head, sizeof head) != sizeof head) return PngError::kTruncatedChunk;
        consumed += sizeof head;
        const std::uint32_t length = ReadBe32(head);
        const std::uint8_t* type = head + 4;
        if ((length & 0x80000000u) != 0) return PngError::kTruncatedChunk;
        // The data and at least the first byte of the CRC must be in the file.
        const std::optional<std::uint64_t> left = input.Remaining();
        if (left && *left < std::uint64_t{length} + 1) return PngError::kTruncatedChunk;
        if (consumed + length + kChunkCrcBytes > InputBudget()) return PngError::kInputTooLarge;

        const bool isText = TypeIs(type, "tEXt");
        const bool kept = TypeIs(type, "IHDR") || TypeIs(type, "PLTE") || TypeIs(type, "bKGD") ||
                          TypeIs(type, "gAMA") || TypeIs(type, "tIME") || TypeIs(type, "tRNS") ||
                          TypeIs(type, "zTXt") ||
                          (isText && text_.size() + length + 1 <= kMaxTextBytes);
        std::size_t got = 0;
        if (TypeIs(type, "IDAT")) {
            const std::size_t at = imageData_.size();
            if (headerSeen_ && PeakBytes(std::uint64_t{at} + length) > kMaxPixelBytes) {
                return PngError::kImageTooLarge;
            }
            imageData_.resize(at + length);
            got = input.Read(imageData_.data() + at, length);
        } else if (kept) {
            data.resize(length);
            got = input.Read(data.data(), length);
        } else {
            if (isText) ++droppedText_;
            got = input.Skip(length);
        }
        // CRCs are not checked; only the first byte has to be there.
        if (got != length || input.Skip(kChunkCrcBytes) == 0) return PngError::kTruncatedChunk;
        consumed += std::uint64_t{length} + kChunkCrcBytes;
        const std::uint8_t* bytes = data.data();

        if (TypeIs(type, "IHDR")) {
            if (length < kIhdrLength) return PngError::kBadHeader;
            width_ = static_cast<std::int32_t>(ReadBe32(bytes));
            height_ = static_cast<std::int32_t>(ReadBe32(bytes + 4));
            bitDepth_ = bytes[8];
            colourType_ = bytes[9];
            compression_ = bytes[10];
            filterMethod_ = bytes[11];
            interlacing_ = bytes[12];
            headerSeen_ = true;
            // Nothing after a header the decoder cannot take is worth reading.
            const PngError error = CheckHeader();
            if (error != PngError::kNone) return error;
        } else if (TypeIs(type, "PLTE")) {
            paletteBytes_.assign(bytes, bytes + length);
        } else if (TypeIs(type, "IEND")) {
            break;
        } else if (TypeIs(type, "bKGD")) {
            backgroundBytes_.assign(bytes, bytes + length);
            bkgdColour_ = BackgroundColour(backgroundBytes_, colourType_, bitDepth_, paletteBytes_);
            hasBkgdChunk_ = true;
        } else if (TypeIs(type, "gAMA")) {
            if (length >= kGamaLength) gammaValue_ = static_cast<std::int32_t>(ReadBe32(bytes));
        } else if (isText && kept) {
            text_.append(reinterpret_cast<const char*>(bytes), length);
            text_.push_back('\0');
        } else if (TypeIs(type, "zTXt")) {
            const PngError error = HandleZtxt(bytes, length);
            if (error != PngError::kNone) return error;
        } else if (TypeIs(type, "tIME")) {
            if (length >= kTimeLength) modiTime_ = FormatModificationTime(bytes);
        } else if (TypeIs(type, "tRNS")) {
            transparencyBytes_.assign(bytes, bytes + length);
            haveTransparence_ = true;
        }
        // Every other chunk is skipped.
    }
    return PngError::kNone;
}

// A zTXt entry is the keyword, NUL, the inflated text, NUL. Chunks without a
// keyword terminator or without compressed bytes after it are skipped, and so
// are entries that would take zText past kMaxTextBytes.
PngError LoadPNG::HandleZtxt(const std::uint8_t* data, std::size_t length) {
    const std::uint8_t* keywordEnd = std::find(data, data + length, 0);
    const std::size_t keywordLength = static_cast<std::size_t>(keywordEnd - data);
    if (keywordLength == length || length - keywordLength <= kZtxtBytesAfterKeyword) {
        return PngError::kNone;
    }
    const std::size_t room = kMaxTextBytes - zText_.size();
    if (keywordLength + 2 > room) {
        ++droppedText_;
        return PngError::kNone;
    }
    const std::size_t textRoom = room - keywordLength - 2;

    const std::uint8_t* compressed = data + keywordLength + kZtxtBytesAfterKeyword;
    const std::size_t compressedLength = length - keywordLength - kZtxtBytesAfterKeyword;
    const std::int64_t hint =
        static_cast<std::int64_t>(compressedLength - 1) * kZtxtHintFactor + kInflateHintSlack;
    // A hint past the room left is cut to one byte more than the room: text
    // that reaches it does not fit.
    const auto limit = static_cast<std::int64_t>(textRoom) + 1;
    Bytes text;
    const InflateOutcome outcome =
        inflater_.Inflate(compressed, compressedLength, std::min(hint, limit), false, text);
    const std::uint8_t* kept = text.data();
    std::size_t keptLength = text.size();
    if (outcome.error == PngError::kTreeCreation) {
        // The text is kept as it came in.
        messages_.Show(kTreeCreationMessage);
        kept = compressed;
        keptLength = compressedLength;
    } else if (!outcome.ok()) {
        return outcome.error;
    }
    if (keptLength > textRoom) {
        ++droppedText_;
        return PngError::kNone;
    }
    zText_.append(reinterpret_cast<const char*>(data), keywordLength);
    zText_.push_back('\0');
    zText_.append(reinterpret_cast<const char*>(kept), keptLength);
    zText_.push_back('\0');
    return PngError::kNone;
}

PngError LoadPNG::CheckHeader() const {
    if (!headerSeen_ || width_ <= 0 || height_ <= 0 || compression_ != 0 || interlacing_ > 1 ||
        !ValidDepthFor(colourType_, bitDepth_)) {
        return PngError::kBadHeader;
    }
    if (PeakBytes(0) > kMaxPixelBytes) return PngError::kImageTooLarge;
    return PngError::kNone;
}

// The size hint that bounds the inflated data. For interlaced images the
// row-count estimate can fall short of what the passes hold (narrow 1-bit
// images), so it is never allowed below the exact length.
std::uint64_t LoadPNG::FilteredBytes() const {
    const auto width = static_cast<std::uint32_t>(width_);
    const auto height = static_cast<std::uint32_t>(height_);
    const int bpp = BitsPerPixel(colourType_, bitDepth_);
    const std::uint64_t hint = RowBytes(width, bpp) * height;
    if (interlacing_ != 1) return hint;
    return std::max(hint + height, InterlacedBytes(width, height, bpp));
}

// The most the decode holds at once, stage by stage: the kept image data with
// its inflated form; the inflated data with its de-interlaced copy; the
// samples with the blend's buffers and the final bitmap.
std::uint64_t LoadPNG::PeakBytes(std::uint64_t keptImageData) const {
    const auto width = static_cast<std::uint32_t>(width_);
    const auto height = static_cast<std::uint32_t>(height_);
    const int bpp = BitsPerPixel(colourType_, bitDepth_);
    const bool interlaced = interlacing_ == 1;
    const bool applyTrans = TransparencyApplies(colourType_, haveTransparence_, transOn_);

    const std::uint64_t inflated = FilteredBytes() + kInflateHintSlack + 1;
    std::uint64_t peak = keptImageData + inflated;
    std::uint64_t samples = inflated;
    if (interlaced) {
        samples = std::uint64_t{width} * height * static_cast<std::uint64_t>(FilterBytesPerPixel(bpp));
        peak = std::max(peak, inflated + samples);
    }
    std::uint64_t convert = samples;
    if (NeedsBlend(colourType_, applyTrans, alphaOn_)) {
        const std::uint64_t backgroundStride = BitmapStride(width, 24);
        convert += backgroundPicture_ ? backgroundStride * height : backgroundStride;
    }
    if (applyTrans) convert += TransparentRowsBytes(width, height);
    const int finalBpp = FinalBitsPerPixel(colourType_, bitDepth_, interlaced, applyTrans, alphaOn_);
    convert += BitmapStride(width, finalBpp) * height;
    return std::max(peak, convert);
}

std::uint64_t LoadPNG::InputBudget() const {
    if (!headerSeen_) return kInputAllowance;
    return kInputAllowance + kInputPerImageByte * FilteredBytes();
}

// A background surface smaller than the image grows to the image's size
// plus a margin, so the capture reads the surface's own colour rather than
// what lies beyond it.
void LoadPNG::WidenToImage(PictureSurface& surface) const {
    const TwipsContainer twips(surface);
    const TwipSize image = SizeInTwips(surface, width_, height_);
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
    const bool own = ownBkgndOn_ || ownBackColour_ != 0;
    FillBackground(buffer.data(), width, 1, stride, own ? ownBackColour_ : bkgdColour_);
    background = Background{buffer.data(), 0};
}

PngError LoadPNG::Decode() {
    haveAlpha_ = false;
    const auto width = static_cast<std::uint32_t>(width_);
    const auto height = static_cast<std::uint32_t>(height_);
    const int bpp = BitsPerPixel(colourType_, bitDepth_);
    const bool interlaced = interlacing_ == 1;

    Bytes raw;
    const InflateOutcome outcome =
        inflater_.Inflate(imageData_.data() + kZlibHeaderBytes, imageData_.size() - kZlibHeaderBytes,
                          static_cast<std::int64_t>(FilteredBytes()) + kInflateHintSlack, false, raw);
    if (outcome.error == PngError::kTreeCreation) messages_.Show(kTreeCreationMessage);
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
    in.applyTransparency = TransparencyApplies(colourType_, haveTransparence_, transOn_);
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
