#include "skin/format/skin_builder.h"

#include <algorithm>
#include <iterator>

#include "skin/format/bmp_image.h"
#include "skin/format/skin_check.h"
#include "skin/format/skin_description.h"
#include "skin/format/skin_file.h"

namespace tf::skin {

bool BuildSkin(const std::string& description, const std::uint8_t* bmp, std::size_t bmpSize,
               std::vector<std::uint8_t>& file, std::string& error) {
    SkinFile skin;
    std::copy(kSkinSignature, kSkinSignature + skin.signature.signature.size(), skin.signature.signature.begin());
    if (!ParseSkinDescription(description, skin.signature, skin.parameters, error)) {
        error = "description: " + error;
        return false;
    }
    SkinFileError result = DecodeBmp(bmp, bmpSize, skin.picture);
    if (result != SkinFileError::kNone) {
        error = std::string("picture: ") + ToString(result);
        return false;
    }
    std::string where;
    result = CheckPieces(skin.parameters, skin.picture, &where);
    if (result != SkinFileError::kNone) {
        error = where + ": " + ToString(result) + " (picture " + std::to_string(skin.picture.width) + "x" +
                std::to_string(skin.picture.height) + ")";
        return false;
    }
    std::vector<std::uint8_t> bytes = WriteSkinFile(skin);
    // What we write must pass the loader's own checks.
    SkinFile reread;
    result = ReadSkinFile(bytes.data(), bytes.size(), reread);
    if (result != SkinFileError::kNone) {
        error = std::string("the written file does not read back: ") + ToString(result);
        return false;
    }
    file = std::move(bytes);
    return true;
}

}  // namespace tf::skin
