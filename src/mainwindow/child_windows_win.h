#pragma once
// The two kinds of container and surface Form1 needs beyond the common
// controls: frames (pages and captioned groups that hold other controls) and
// picture boxes (surfaces that keep a picture, platform/win32/).
#include <windows.h>

#include "platform/win32/picture_box_win.h"

namespace tf::mainwindow {

// A frame holds child controls. With a caption it draws an etched group
// border; without one it is a plain page. Command, notify, colour, cursor and
// owner-draw messages of its children go on to the top-level window, so
// Form1 sees all of its controls' events whatever frame they sit in.
extern const char kFrameClass[];

// A picture box reports a click to its parent as STN_CLICKED.
using platform::win32::kPictureBoxClass;
using platform::win32::GetPicture;
using platform::win32::SetPicture;

// Registers both classes once per module.
bool RegisterChildClasses(HINSTANCE instance);

}  // namespace tf::mainwindow
