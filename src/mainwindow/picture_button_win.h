#pragma once
// Owner-drawn push buttons with a picture: the picture at the left end, the
// caption beside it in the button's own font (so a bold caption stays bold),
// the system's button face and states, a greyed picture and caption when
// disabled.
#include <windows.h>

namespace tf::mainwindow {

// Draws the button of `item` with `picture` (may be null). The picture's
// pixels of the `background` colour it was drawn over are left out, so a
// themed face shows through them. `isDefault` gives the default button's
// frame; `dpi` is the window's.
void DrawPictureButton(const DRAWITEMSTRUCT& item, HBITMAP picture, COLORREF background, bool isDefault, int dpi);

}  // namespace tf::mainwindow
