#pragma once
// A skin at a display's DPI. Skin files are drawn for 96 DPI; at another
// DPI the picture is enlarged pixel by pixel (each pixel of the result is
// the source pixel under its position, so edges stay sharp and the
// transparent magenta stays exactly magenta) and every piece, offset and
// font size of the parameters grows by the same factor. The frame code
// then works on the scaled skin as on any other.
//
// A position c maps to ceil(c * dpi / 96): the scaled picture's pixel X
// shows source pixel floor(X * 96 / dpi), so a piece [x0, x1) of the
// source becomes exactly the pixels [S(x0), S(x1)) of the result, and
// pieces that touch in the file touch at every scale.
#include <cstdint>

#include "skin/format/skin_file.h"
#include "skin/format/skin_records.h"

namespace tf::skin {

// S(c) above; negative values mirror positive ones.
std::int32_t ScaleSkinPosition(std::int32_t c, std::int32_t dpi);

struct SkinAtDpi {
    SkinParameters parameters;
    SkinPicture picture;
};

// The skin at `dpi`. At 96 DPI or below, or when the enlarged picture would
// pass the engine's picture limits, the skin as it is.
SkinAtDpi ScaleSkin(const SkinParameters& parameters, const SkinPicture& picture, std::int32_t dpi);

}  // namespace tf::skin
