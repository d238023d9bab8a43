#pragma once
// The two kinds of container and surface Form1 needs beyond the common
// controls: frames (pages and captioned groups that hold other controls) and
// picture boxes (surfaces that keep a picture).
#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace tf::mainwindow {

// A frame holds child controls. With a caption it draws an etched group
// border; without one it is a plain page. Command, notify, colour and cursor
// messages of its children go on to the top-level window, so Form1 sees all
// of its controls' events whatever frame they sit in.
extern const char kFrameClass[];

// A picture box paints its persistent picture (or the face colour) and
// reports a click to its parent as STN_CLICKED.
extern const char kPictureClass[];

// Registers both classes once per module.
bool RegisterChildClasses(HINSTANCE instance);

// Gives `box` a new persistent picture; the box owns and deletes it.
void SetPicture(HWND box, platform::win32::UniqueBitmap picture);

// The picture a box holds (still owned by the box), or null.
HBITMAP GetPicture(HWND box);

}  // namespace tf::mainwindow
