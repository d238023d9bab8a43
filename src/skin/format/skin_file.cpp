#include "skin/format/skin_file.h"

#include <cstring>

#include "skin/format/byte_io.h"
#include "skin/format/picture_bag.h"
#include "skin/format/skin_check.h"
#include "skin/format/skin_fields.h"

namespace tf::skin {
namespace {

constexpr std::size_t kSignatureBytes = 5;

// Reads the members from bytes known to hold the whole record.
class RecordReader {
public:
    explicit RecordReader(ByteReader& in) : in_(in) {}

    void Integer(const std::string&, std::int16_t& value) { value = static_cast<std::int16_t>(in_.U16()); }
    void Integer(const std::string&, std::uint16_t& value) { value = in_.U16(); }
    void Integer(const std::string&, std::int32_t& value) { value = in_.I32(); }
    void Integer(const std::string&, std::uint32_t& value) { value = in_.U32(); }
    void Integer(const std::string&, std::uint8_t& value) { value = in_.U8(); }
    void Colour(const std::string&, SkinColour& value) { value = in_.U32(); }
    void Piece(const std::string&, SkinPiece& piece) {
        piece.X = in_.I32();
        piece.Y = in_.I32();
        piece.Width = in_.I32();
        piece.Height = in_.I32();
    }
    void Text(const std::string&, char* bytes, std::size_t count, char) { in_.Bytes(bytes, count); }

private:
    ByteReader& in_;
};

class RecordWriter {
public:
    explicit RecordWriter(ByteWriter& out) : out_(out) {}

    void Integer(const std::string&, std::int16_t value) { out_.U16(static_cast<std::uint16_t>(value)); }
    void Integer(const std::string&, std::uint16_t value) { out_.U16(value); }
    void Integer(const std::string&, std::int32_t value) { out_.I32(value); }
    void Integer(const std::string&, std::uint32_t value) { out_.U32(value); }
    void Integer(const std::string&, std::uint8_t value) { out_.U8(value); }
    void Colour(const std::string&, SkinColour value) { out_.U32(value); }
    void Piece(const std::string&, const SkinPiece& piece) {
        out_.I32(piece.X);
        out_.I32(piece.Y);
        out_.I32(piece.Width);
        out_.I32(piece.Height);
    }
    void Text(const std::string&, const char* bytes, std::size_t count, char) { out_.Bytes(bytes, count); }

private:
    ByteWriter& out_;
};

}  // namespace

std::uint32_t SkinPicture::ColourAt(std::int32_t x, std::int32_t y) const {
    const std::uint8_t* pixel = bgr.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    return pixel[2] | (pixel[1] << 8) | (static_cast<std::uint32_t>(pixel[0]) << 16);
}

const char* ToString(SkinFileError error) {
    switch (error) {
        case SkinFileError::kNone:
            return "no error";
        case SkinFileError::kBadSignature:
            return "not a skin file: the first five bytes are not \"SKIN#\"";
        case SkinFileError::kTruncated:
            return "the file is shorter than its signature and parameter records (1545 bytes)";
        case SkinFileError::kBadBag:
            return "the picture bag is missing, truncated or malformed";
        case SkinFileError::kBadPicture:
            return "the skin picture is not a 24-bit or 32-bit uncompressed BMP";
        case SkinFileError::kBadPiece:
            return "a piece has a negative size or lies outside the skin picture";
        case SkinFileError::kTooLarge:
            return "the skin picture or a piece is larger than the engine accepts";
    }
    return "unknown error";
}

SkinFileError ReadSkinFile(const std::uint8_t* data, std::size_t size, SkinFile& out, std::string* where) {
    // The signature decides first: anything else is not a skin file at all.
    if (size < kSignatureBytes || std::memcmp(data, kSkinSignature, kSignatureBytes) != 0) {
        return SkinFileError::kBadSignature;
    }
    if (size < kPictureBagOffset) return SkinFileError::kTruncated;

    SkinFile skin;
    ByteReader in(data, kPictureBagOffset);
    in.Bytes(skin.signature.signature.data(), kSignatureBytes);
    RecordReader reader(in);
    VisitSignatureFlags(reader, skin.signature);
    VisitParameters(reader, skin.parameters);
    TerminateFaceName(skin.parameters.CaptionFont);
    TerminateFaceName(skin.parameters.MenuFont);

    SkinFileError error =
        ReadPictureBag(data + kPictureBagOffset, size - kPictureBagOffset, skin.picture);
    if (error == SkinFileError::kNone) error = CheckPieces(skin.parameters, skin.picture, where);
    if (error != SkinFileError::kNone) return error;
    out = std::move(skin);
    return SkinFileError::kNone;
}

std::vector<std::uint8_t> WriteSkinFile(const SkinFile& skin) {
    std::vector<std::uint8_t> file;
    ByteWriter out(file);
    out.Bytes(skin.signature.signature.data(), kSignatureBytes);
    RecordWriter writer(out);
    SkinSignatureRecord signature = skin.signature;  // the visitor walks mutable records
    SkinParameters parameters = skin.parameters;
    VisitSignatureFlags(writer, signature);
    VisitParameters(writer, parameters);
    const std::vector<std::uint8_t> bag = WritePictureBag(skin.picture);
    file.insert(file.end(), bag.begin(), bag.end());
    return file;
}

}  // namespace tf::skin
