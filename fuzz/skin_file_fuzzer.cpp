// ReadSkinFile on any bytes. A file it accepts must keep the promises the
// engine relies on, and must survive being written and read again, as bytes
// and as a text description, unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "skin/format/skin_check.h"
#include "skin/format/skin_description.h"
#include "skin/format/skin_file.h"

namespace {

// File offsets of the two face names.
constexpr std::size_t kCaptionFaceNameOffset = 11 + 696 + 28;
constexpr std::size_t kMenuFaceNameOffset = 11 + 948 + 28;

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tf::skin;
    SkinFile skin;
    skin.parameters.CaptionTextLeft = 12345;  // must survive a refusal
    if (ReadSkinFile(data, size, skin) != SkinFileError::kNone) {
        Require(skin.parameters.CaptionTextLeft == 12345 && skin.picture.bgr.empty());
        return 0;
    }
    Require(!skin.picture.empty());
    Require(skin.picture.bgr.size() ==
            static_cast<std::size_t>(skin.picture.width) * static_cast<std::size_t>(skin.picture.height) * 3);
    Require(CheckPieces(skin.parameters, skin.picture) == SkinFileError::kNone);
    for (const SkinFont* font : {&skin.parameters.CaptionFont, &skin.parameters.MenuFont}) {
        Require(std::memchr(font->faceName.data(), '\0', font->faceName.size()) != nullptr);
    }
    // The records come back byte for byte (the bag is rewritten in our form),
    // except that a face name without NUL has lost its last character.
    std::vector<std::uint8_t> records(data, data + kPictureBagOffset);
    for (std::size_t faceName : {kCaptionFaceNameOffset, kMenuFaceNameOffset}) {
        std::uint8_t* name = records.data() + faceName;
        if (std::memchr(name, '\0', 32) == nullptr) name[31] = '\0';
    }
    const std::vector<std::uint8_t> written = WriteSkinFile(skin);
    Require(std::memcmp(written.data(), records.data(), kPictureBagOffset) == 0);
    SkinFile again;
    Require(ReadSkinFile(written.data(), written.size(), again) == SkinFileError::kNone);
    Require(again.picture.bgr == skin.picture.bgr);

    const std::string text = DescribeSkin(skin.signature, skin.parameters);
    SkinFile parsed;
    std::string error;
    Require(ParseSkinDescription(text, parsed.signature, parsed.parameters, error));
    std::memcpy(parsed.signature.signature.data(), kSkinSignature, parsed.signature.signature.size());
    parsed.picture = skin.picture;
    Require(WriteSkinFile(parsed) == written);
    return 0;
}
