#pragma once
// Reading and writing skin files: the signature record, the parameter record
// and the picture bag (docs/skin-format.md). Portable; a skin file is
// untrusted input, so every read is bounds-checked and a file is either taken
// whole or refused with a reason.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "skin/format/skin_records.h"

namespace tf::skin {

// The skin picture as decoded from the bag: 24-bit pixels, rows top to
// bottom, 3 bytes per pixel (blue, green, red), rows of exactly width * 3
// bytes.
struct SkinPicture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> bgr;

    bool empty() const { return width <= 0 || height <= 0; }
    // The colour at (x, y) as 0x00BBGGRR; the caller keeps x and y inside.
    std::uint32_t ColourAt(std::int32_t x, std::int32_t y) const;
};

struct SkinFile {
    SkinSignatureRecord signature;
    SkinParameters parameters;
    SkinPicture picture;
};

enum class SkinFileError {
    kNone,
    kBadSignature,  // the first five bytes are not "SKIN#"
    kTruncated,     // shorter than the two records
    kBadBag,        // the picture bag is empty, truncated or malformed
    kBadPicture,    // the bag's bitmap cannot be decoded
    kBadPiece,      // a piece has a negative size or lies outside the picture
    kTooLarge,      // a picture or piece beyond the engine's limits
};

// One line of text per error, for tools and logs.
const char* ToString(SkinFileError error);

// Reads a whole skin file held in memory. On any error `out` is unchanged;
// for kBadPiece and kTooLarge of a piece, `where` (when given) receives the
// piece's name as a skin description writes it.
SkinFileError ReadSkinFile(const std::uint8_t* data, std::size_t size, SkinFile& out,
                           std::string* where = nullptr);

// The byte image of a skin file; ReadSkinFile of it gives `skin` back.
std::vector<std::uint8_t> WriteSkinFile(const SkinFile& skin);

}  // namespace tf::skin
