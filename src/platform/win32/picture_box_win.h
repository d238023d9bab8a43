#pragma once
// The picture box: a child window that keeps what is drawn on it. Drawing
// goes through the box's device context into a persistent image the size of
// its inner area; the box paints that image, so a hidden box can be drawn
// on and read back. Its picture is the background the image starts from:
// clearing the box brings the picture back, and the picture survives every
// clear and repaint.
#include <windows.h>

#include <cstdint>

#include "platform/win32/unique_handle.h"

namespace tf::platform::win32 {

extern const char kPictureBoxClass[];

// Registers the class once per module.
bool RegisterPictureBoxClass(HINSTANCE instance);

// The screen's twips per pixel, as whole numbers (15 at 96 dots per inch).
std::int32_t ScreenTwipsPerPixelX();
std::int32_t ScreenTwipsPerPixelY();

// Scale mode of any window (kScaleTwips unless set). Picture boxes keep
// theirs; other windows, the containers of picture boxes, keep it as a
// window property while it differs from twips.
int ScaleModeOf(HWND window);
void SetScaleModeOf(HWND window, int mode);

// Gives `box` a new persistent picture and clears the box onto it; the box
// owns and deletes the picture.
void SetPicture(HWND box, UniqueBitmap picture);

// The picture a box holds (still owned by the box), or null.
HBITMAP GetPicture(HWND box);

// A picture box as a drawing surface. It owns nothing: the window does.
class PictureBox {
public:
    explicit PictureBox(HWND box) : box_(box) {}
    HWND hwnd() const { return box_; }

    // The device context of the persistent image (null if the box could not
    // get one). It stays valid until the box is resized or destroyed.
    HDC hDC() const;

    // Outer size in the container's scale units; setting it keeps the
    // box's top-left corner.
    std::int32_t Width() const;
    std::int32_t Height() const;
    void SetWidth(std::int32_t width);
    void SetHeight(std::int32_t height);
    // Inner size in the box's own scale units.
    std::int32_t ScaleWidth() const;
    std::int32_t ScaleHeight() const;
    int ScaleMode() const { return ScaleModeOf(box_); }
    void SetScaleMode(int mode) { SetScaleModeOf(box_, mode); }
    HWND Parent() const { return GetParent(box_); }
    bool IsTopLevelForm() const;

    // Fills the image with the back colour and draws the picture over it.
    void Cls();
    // The persistent image (owned by the box, selected into hDC()).
    HBITMAP Image() const;
    // The picture becomes a copy of the image.
    void PictureFromImage();
    COLORREF BackColor() const;
    // A new back colour shows at the next clear.
    void SetBackColor(COLORREF colour);

private:
    HWND box_;
};

// A copy of `bitmap` compatible with the screen, or null.
UniqueBitmap CopyBitmap(HBITMAP bitmap);

}  // namespace tf::platform::win32
