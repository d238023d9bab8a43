#include "png/memory_surface.h"

#include <algorithm>
#include <cstring>

#include "png/blend.h"
#include "png/draw_on_picture.h"

namespace tf::png {

MemorySurface::MemorySurface(std::int32_t width, std::int32_t height, std::int32_t border, std::uint32_t backColour,
                             std::int32_t twipsPerPixel)
    : outerWidth_(0), outerHeight_(0), border_(border), backColour_(backColour), twipsPerPixel_(twipsPerPixel) {
    Resize(width, height);
    Cls();
}

std::int32_t MemorySurface::ToPixels(std::int32_t containerUnits) const {
    return ContainerCountsPixels() ? containerUnits : platform::TwipsToWholePixels(containerUnits, twipsPerPixel_);
}

std::int32_t MemorySurface::Width() const {
    return ContainerCountsPixels() ? outerWidth_ : platform::PixelsToTwips(outerWidth_, twipsPerPixel_);
}

std::int32_t MemorySurface::Height() const {
    return ContainerCountsPixels() ? outerHeight_ : platform::PixelsToTwips(outerHeight_, twipsPerPixel_);
}

void MemorySurface::SetWidth(std::int32_t width) { Resize(ToPixels(width), outerHeight_); }

void MemorySurface::SetHeight(std::int32_t height) { Resize(outerWidth_, ToPixels(height)); }

std::int32_t MemorySurface::ScaleWidth() const {
    return scaleMode_ == platform::kScalePixels ? InnerWidth() : platform::PixelsToTwips(InnerWidth(), twipsPerPixel_);
}

std::int32_t MemorySurface::ScaleHeight() const {
    return scaleMode_ == platform::kScalePixels ? InnerHeight() : platform::PixelsToTwips(InnerHeight(), twipsPerPixel_);
}

void MemorySurface::Put(std::int32_t x, std::int32_t y, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    if (x < 0 || y < 0 || x >= InnerWidth() || y >= InnerHeight()) return;
    std::uint8_t* p = &image_[(static_cast<std::size_t>(y) * static_cast<std::size_t>(InnerWidth()) +
                               static_cast<std::size_t>(x)) * 3];
    p[0] = blue;
    p[1] = green;
    p[2] = red;
}

// What was drawn stays where the new size still covers it; new parts show
// the back colour and the picture, as they do on a window.
void MemorySurface::Resize(std::int32_t outerWidth, std::int32_t outerHeight) {
    const std::int32_t oldWidth = InnerWidth(), oldHeight = InnerHeight();
    std::vector<std::uint8_t> old;
    old.swap(image_);
    outerWidth_ = std::clamp(outerWidth, 0, platform::kMaxSurfaceSide);
    outerHeight_ = std::clamp(outerHeight, 0, platform::kMaxSurfaceSide);
    image_.assign(static_cast<std::size_t>(InnerWidth()) * static_cast<std::size_t>(InnerHeight()) * 3, 0);
    Cls();
    const std::int32_t keepWidth = std::min(oldWidth, InnerWidth());
    for (std::int32_t y = 0; y < std::min(oldHeight, InnerHeight()); ++y) {
        std::memcpy(&image_[static_cast<std::size_t>(y) * static_cast<std::size_t>(InnerWidth()) * 3],
                    &old[static_cast<std::size_t>(y) * static_cast<std::size_t>(oldWidth) * 3],
                    static_cast<std::size_t>(keepWidth) * 3);
    }
}

void MemorySurface::Cls() {
    for (std::int32_t y = 0; y < InnerHeight(); ++y) {
        for (std::int32_t x = 0; x < InnerWidth(); ++x) Put(x, y, BlueOf(backColour_), GreenOf(backColour_), RedOf(backColour_));
    }
    for (std::int32_t y = 0; y < pictureHeight_; ++y) {
        for (std::int32_t x = 0; x < pictureWidth_; ++x) {
            const std::uint8_t* p = &picture_[(static_cast<std::size_t>(y) * static_cast<std::size_t>(pictureWidth_) +
                                               static_cast<std::size_t>(x)) * 3];
            Put(x, y, p[0], p[1], p[2]);
        }
    }
}

void MemorySurface::PictureFromImage() {
    picture_ = image_;
    pictureWidth_ = InnerWidth();
    pictureHeight_ = InnerHeight();
}

std::uint32_t MemorySurface::Pixel(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= InnerWidth() || y >= InnerHeight()) return 0;
    const std::uint8_t* p = &image_[(static_cast<std::size_t>(y) * static_cast<std::size_t>(InnerWidth()) +
                                     static_cast<std::size_t>(x)) * 3];
    return MakeColour(p[2], p[1], p[0]);
}

bool MemorySurface::CaptureBackground(std::int32_t x, std::int32_t y, std::uint32_t width, std::uint32_t height,
                                      std::size_t stride, std::uint8_t* bgr) {
    for (std::uint32_t row = 0; row < height; ++row) {
        std::uint8_t* out = bgr + static_cast<std::size_t>(height - 1 - row) * stride;
        std::memset(out, 0, stride);
        for (std::uint32_t column = 0; column < width; ++column, out += 3) {
            const std::uint32_t colour =
                Pixel(x + static_cast<std::int32_t>(column), y + static_cast<std::int32_t>(row));
            out[0] = BlueOf(colour);
            out[1] = GreenOf(colour);
            out[2] = RedOf(colour);
        }
    }
    return true;
}

void MemorySurface::Draw(const DecodedImage& image, std::int32_t x, std::int32_t y, bool backgroundMode) {
    const auto width = static_cast<std::int32_t>(image.width);
    const auto height = static_cast<std::int32_t>(image.height);
    DrawOnPicture(width, height, *this, true, x, y, backgroundMode, [&](const PictureDestination& to) {
        if (image.empty() || to.width <= 0 || to.height <= 0) return;
        // Each destination pixel takes the source pixel under it.
        for (std::int32_t dy = 0; dy < to.height; ++dy) {
            const auto sy = static_cast<std::uint32_t>(std::int64_t{dy} * height / to.height);
            for (std::int32_t dx = 0; dx < to.width; ++dx) {
                const auto sx = static_cast<std::uint32_t>(std::int64_t{dx} * width / to.width);
                const BgrQuad q = PixelAt(image, sx, sy);
                Put(to.x + dx, to.y + dy, q.blue, q.green, q.red);
            }
        }
    });
}

}  // namespace tf::png
