#pragma once
// The checks a skin's pieces must pass before the engine cuts them out of
// the picture or builds regions from them.
#include <string>

#include "skin/format/skin_file.h"

namespace tf::skin {

// kNone when every non-empty piece has a non-negative size within
// kMaxPieceSide and lies inside the picture. IconPiece is a place in the
// caption and a drawing size, not a piece of the picture: only its size is
// checked. Otherwise kBadPiece or kTooLarge, with the piece's description
// name in `where` when given.
SkinFileError CheckPieces(const SkinParameters& parameters, const SkinPicture& picture,
                          std::string* where = nullptr);

// Cuts a face name without NUL at 31 characters, so the 32 bytes always hold
// a NUL-terminated name.
void TerminateFaceName(SkinFont& font);

}  // namespace tf::skin
