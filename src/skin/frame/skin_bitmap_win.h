#pragma once
// The skin picture as a GDI bitmap, for selecting into the skin surface.
#include "platform/win32/unique_handle.h"
#include "skin/format/skin_file.h"

namespace tf::skin {

// A 24-bit top-down DIB section with the picture's pixels; empty when the
// picture is empty or the system refuses the bitmap.
platform::win32::UniqueBitmap MakeSkinBitmap(const SkinPicture& picture);

}  // namespace tf::skin
