#include "skin/format/picture_bag.h"

#include <cstring>

#include "skin/format/bmp_image.h"
#include "skin/format/byte_io.h"

namespace tf::skin {
namespace {

constexpr std::size_t kMagicBytes = 4;

}  // namespace

SkinFileError ReadPictureBag(const std::uint8_t* data, std::size_t size, SkinPicture& out) {
    ByteReader in(data, size);
    char magic[kMagicBytes];
    in.Bytes(magic, kMagicBytes);
    const std::uint16_t version = in.U16();
    const std::uint16_t count = in.U16();
    if (in.failed() || std::memcmp(magic, kPictureBagMagic, kMagicBytes) != 0 || version != kPictureBagVersion) {
        return SkinFileError::kBadBag;
    }

    const std::uint8_t* picture = nullptr;
    std::size_t pictureBytes = 0;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint16_t nameLength = in.U16();
        if (nameLength == 0 || in.remaining() < nameLength) return SkinFileError::kBadBag;
        const std::string name(reinterpret_cast<const char*>(in.here()), nameLength);
        in.Skip(nameLength);
        const std::uint16_t kind = in.U16();
        const std::uint32_t valueLength = in.U32();
        if (in.failed() || in.remaining() < valueLength) return SkinFileError::kBadBag;
        if (name == kSkinPictureProperty) {
            if (picture != nullptr || kind != kBagValueBmp) return SkinFileError::kBadBag;
            picture = in.here();
            pictureBytes = valueLength;
        }
        in.Skip(valueLength);
    }
    if (in.remaining() != 0 || picture == nullptr) return SkinFileError::kBadBag;
    return DecodeBmp(picture, pictureBytes, out);
}

std::vector<std::uint8_t> WritePictureBag(const SkinPicture& picture) {
    const std::vector<std::uint8_t> bmp = EncodeBmp24(picture);
    const std::size_t nameLength = sizeof kSkinPictureProperty - 1;
    std::vector<std::uint8_t> bag;
    ByteWriter out(bag);
    out.Bytes(kPictureBagMagic, kMagicBytes);
    out.U16(kPictureBagVersion);
    out.U16(1);  // one property
    out.U16(static_cast<std::uint16_t>(nameLength));
    out.Bytes(kSkinPictureProperty, nameLength);
    out.U16(kBagValueBmp);
    out.U32(static_cast<std::uint32_t>(bmp.size()));
    out.Bytes(bmp.data(), bmp.size());
    return bag;
}

}  // namespace tf::skin
