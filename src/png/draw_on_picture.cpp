#include "png/draw_on_picture.h"

#include <algorithm>
#include <cstdint>

#include "platform/picture_units.h"

namespace tf::png {

using platform::kScalePixels;
using platform::kScaleTwips;
using platform::PixelsToTwips;
using platform::TwipsToWholePixels;

TwipSize SizeInTwips(const PictureSurface& surface, std::int32_t width, std::int32_t height) {
    return {PixelsToTwips(width, surface.TwipsPerPixelX()), PixelsToTwips(height, surface.TwipsPerPixelY())};
}

TwipSize SizeInPixels(const PictureSurface& surface, std::int32_t width, std::int32_t height) {
    return {TwipsToWholePixels(width, surface.TwipsPerPixelX()), TwipsToWholePixels(height, surface.TwipsPerPixelY())};
}

TwipsContainer::TwipsContainer(PictureSurface& surface) : surface_(surface), form_(surface.IsTopLevelForm()) {
    if (form_) return;  // a form's size always counts in twips
    saved_ = surface_.ParentScaleMode();
    surface_.SetParentScaleMode(kScaleTwips);
}

TwipsContainer::~TwipsContainer() {
    if (!form_) surface_.SetParentScaleMode(saved_);
}

void DrawOnPicture(std::int32_t width, std::int32_t height, PictureSurface& surface, bool resize, std::int32_t x,
                   std::int32_t y, bool backgroundMode, const std::function<void(const PictureDestination&)>& copy) {
    surface.Cls();
    {
        const TwipsContainer twips(surface);
        const int ownMode = surface.ScaleMode();
        surface.SetScaleMode(kScaleTwips);

        if (resize && !backgroundMode) {
            const TwipSize size = SizeInTwips(surface, width, height);
            surface.SetHeight(size.height);
            surface.SetWidth(size.width);
        }
        PictureDestination destination{x, y, width, height};
        if (!backgroundMode) {
            if (surface.ScaleHeight() != surface.Height()) {
                // A border: the inner area must be the image, so the outer
                // size grows by the border's share.
                const TwipSize inner = SizeInPixels(surface, surface.Width(), surface.Height());
                destination.width = inner.width;
                destination.height = inner.height;
                surface.SetHeight(surface.Height() + (surface.Height() - surface.ScaleHeight()));
                surface.SetWidth(surface.Width() + (surface.Width() - surface.ScaleWidth()));
            } else {
                surface.SetScaleMode(kScalePixels);
                destination.width = surface.ScaleWidth();
                destination.height = surface.ScaleHeight();
            }
        }
        copy(destination);
        surface.SetScaleMode(ownMode);
    }
    surface.PictureFromImage();
}

}  // namespace tf::png
