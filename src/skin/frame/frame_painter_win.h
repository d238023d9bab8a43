#pragma once
// Drawing a skinned frame with GDI: regions from piece runs, the window
// region, the frame bitmaps of a paint plan, and client-area tiles. These
// functions own nothing beyond the call: every DC, bitmap and brush they make
// is released before they return.
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "skin/frame/frame_geometry.h"

namespace tf::skin {

// The pixels of the bitmap selected into a memory DC, as 24-bit rows, top
// row first; empty when there is none.
struct BitmapPixels {
    std::vector<std::uint8_t> bgr;
    std::int32_t width = 0, height = 0;
    std::size_t stride = 0;
    PixelRows rows() const { return {bgr.data(), width, height, stride}; }
};
BitmapPixels ReadSurfacePixels(HDC surface);

// The union of the runs; an empty region for none.
platform::win32::UniqueRegion RegionFromRuns(const std::vector<Rect>& runs);

using PieceRegions = std::array<platform::win32::UniqueRegion, 12>;

// The window region of a W x H window from the 12 piece regions of the
// active frame.
platform::win32::UniqueRegion BuildWindowRegion(const SkinParameters& params, const PieceRegions& pieces,
                                               std::int32_t width, std::int32_t height);

// What the caption shows besides its pieces.
struct CaptionDrawing {
    std::string text;
    HFONT font = nullptr;
    COLORREF colour = 0;
    UINT format = 0;  // the skin's alignment flags
    HICON icon = nullptr;
};

// Paints the plan's four bitmaps onto `target` (a window DC) from `skin`
// (the DC holding the skin picture).
void PaintFramePlan(HDC target, HDC skin, const FramePlan& plan, const CaptionDrawing& caption);

// Fills `area` of `target` with `piece` from `skin` as tiles lined up with
// the target's origin.
void TileClientArea(HDC target, const RECT& area, HDC skin, const Rect& piece);

}  // namespace tf::skin
