#pragma once
// The sizing half of drawing a bitmap onto a picture surface, shared by
// every surface: clearing, resizing the surface to the image (its inner
// area for a bordered surface), scale-mode bookkeeping and keeping the
// result as the surface's picture. The copy itself is the caller's.
#include <cstdint>
#include <functional>

#include "png/picture_surface.h"

namespace tf::png {

struct TwipSize {
    std::int32_t width = 0, height = 0;
};

// Pixels to twips: each factor is the screen's whole twips per pixel.
TwipSize SizeInTwips(const PictureSurface& surface, std::int32_t width, std::int32_t height);
// Twips to whole pixels, halves to even.
TwipSize SizeInPixels(const PictureSurface& surface, std::int32_t width, std::int32_t height);

// Where the copy goes, in pixels of the surface's inner area.
struct PictureDestination {
    std::int32_t x = 0, y = 0, width = 0, height = 0;
};

// Draws a width x height pixel bitmap: clears the surface, sizes it when
// `resize` is set (background mode keeps the surface's size and puts the
// image at (x, y)), calls `copy` with the destination, restores the scale
// modes and keeps the image as the surface's picture.
void DrawOnPicture(std::int32_t width, std::int32_t height, PictureSurface& surface, bool resize, std::int32_t x,
                   std::int32_t y, bool backgroundMode, const std::function<void(const PictureDestination&)>& copy);

// Makes the surface's outer size count in twips while it lives, whatever
// scale mode the container has, and puts the container's mode back after.
class TwipsContainer {
public:
    explicit TwipsContainer(PictureSurface& surface);
    ~TwipsContainer();
    TwipsContainer(const TwipsContainer&) = delete;
    TwipsContainer& operator=(const TwipsContainer&) = delete;

private:
    PictureSurface& surface_;
    bool form_;
    int saved_ = 0;
};

}  // namespace tf::png
