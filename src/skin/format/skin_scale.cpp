#include "skin/format/skin_scale.h"

#include "platform/display_scale.h"
#include "skin/format/skin_limits.h"

namespace tf::skin {
namespace {

using platform::kBaseDpi;

SkinPiece ScalePiece(const SkinPiece& piece, std::int32_t dpi) {
    if (piece.Empty()) return piece;  // the file's mark for an unused piece
    SkinPiece s;
    s.X = ScaleSkinPosition(piece.X, dpi);
    s.Y = ScaleSkinPosition(piece.Y, dpi);
    s.Width = ScaleSkinPosition(piece.X + piece.Width, dpi) - s.X;
    s.Height = ScaleSkinPosition(piece.Y + piece.Height, dpi) - s.Y;
    return s;
}

void ScaleStrip(EdgeStrip& strip, std::int32_t dpi) {
    for (SkinPiece& piece : strip.pieces) piece = ScalePiece(piece, dpi);
}

// Font heights and widths round to the nearest, as the platform scales
// them.
void ScaleFont(SkinFont& font, std::int32_t dpi) {
    font.height = platform::ScaleToDpi(font.height, dpi);
    font.width = platform::ScaleToDpi(font.width, dpi);
}

bool ScalesAt(const SkinPicture& picture, std::int32_t dpi) {
    if (dpi <= kBaseDpi || picture.empty()) return false;
    const std::int64_t width = ScaleSkinPosition(picture.width, dpi);
    const std::int64_t height = ScaleSkinPosition(picture.height, dpi);
    return width <= kMaxPictureSide && height <= kMaxPictureSide && width * height <= kMaxPicturePixels;
}

SkinPicture ScalePicture(const SkinPicture& picture, std::int32_t dpi) {
    SkinPicture out;
    out.width = ScaleSkinPosition(picture.width, dpi);
    out.height = ScaleSkinPosition(picture.height, dpi);
    out.bgr.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 3);
    const auto sourceStride = static_cast<std::size_t>(picture.width) * 3;
    std::uint8_t* to = out.bgr.data();
    for (std::int32_t y = 0; y < out.height; ++y) {
        const auto sy = static_cast<std::size_t>(std::int64_t{y} * kBaseDpi / dpi);
        const std::uint8_t* row = picture.bgr.data() + sy * sourceStride;
        for (std::int32_t x = 0; x < out.width; ++x) {
            const std::uint8_t* from = row + static_cast<std::size_t>(std::int64_t{x} * kBaseDpi / dpi) * 3;
            *to++ = from[0];
            *to++ = from[1];
            *to++ = from[2];
        }
    }
    return out;
}

SkinParameters ScaleParameters(const SkinParameters& p, std::int32_t dpi) {
    SkinParameters s = p;
    for (auto* frame : {&s.ActiveFrame, &s.InactiveFrame})
        for (EdgeStrip& strip : *frame) ScaleStrip(strip, dpi);
    for (CaptionButtonSkin& button : s.CaptionButtons) {
        for (SkinPiece& state : button.states) state = ScalePiece(state, dpi);
        button.RightOffset = ScaleSkinPosition(button.RightOffset, dpi);
        button.Top = ScaleSkinPosition(button.Top, dpi);
    }
    s.CaptionTextLeft = ScaleSkinPosition(s.CaptionTextLeft, dpi);
    s.CaptionTextTop = ScaleSkinPosition(s.CaptionTextTop, dpi);
    s.CaptionTextRight = ScaleSkinPosition(s.CaptionTextRight, dpi);
    s.CaptionTextHeight = ScaleSkinPosition(s.CaptionTextHeight, dpi);
    ScaleFont(s.CaptionFont, dpi);
    s.IconPiece = ScalePiece(s.IconPiece, dpi);
    ScaleStrip(s.MenuBar, dpi);
    ScaleStrip(s.MenuItemHot, dpi);
    ScaleStrip(s.MenuItemPressed, dpi);
    ScaleFont(s.MenuFont, dpi);
    s.MinTrackWidth = ScaleSkinPosition(s.MinTrackWidth, dpi);
    s.MinTrackHeight = ScaleSkinPosition(s.MinTrackHeight, dpi);
    s.ClientPiece = ScalePiece(s.ClientPiece, dpi);
    return s;
}

}  // namespace

std::int32_t ScaleSkinPosition(std::int32_t c, std::int32_t dpi) {
    const std::int64_t magnitude = (c < 0 ? -std::int64_t{c} : std::int64_t{c}) * dpi;
    const auto scaled = static_cast<std::int32_t>((magnitude + kBaseDpi - 1) / kBaseDpi);
    return c < 0 ? -scaled : scaled;
}

SkinAtDpi ScaleSkin(const SkinParameters& parameters, const SkinPicture& picture, std::int32_t dpi) {
    if (!ScalesAt(picture, dpi)) return {parameters, picture};
    return {ScaleParameters(parameters, dpi), ScalePicture(picture, dpi)};
}

}  // namespace tf::skin
