#pragma once
// The arithmetic of a skinned frame, kept apart from the drawing calls: which
// pixels of a piece are opaque, how the pieces cover a window of a given
// size, how thick the frame is, which zone a point falls in, and which piece
// goes where when the frame is painted. Everything is in pixels; window
// coordinates have (0, 0) at the window's top-left corner.
//
// Every position produced here is clipped to the bitmap or window it is meant
// for, and every source rectangle to the piece it comes from, so a window
// smaller than its corner pieces never reads or writes outside anything.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "skin/format/skin_records.h"

namespace tf::skin {

struct Rect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool contains(std::int32_t x, std::int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

Rect Intersect(const Rect& a, const Rect& b);

// The skin's transparent colour (0x00BBGGRR).
inline constexpr std::uint32_t kTransparentColour = 0xFF00FF;

// Rows of 24-bit pixels, blue-green-red, top row first.
struct PixelRows {
    const std::uint8_t* bgr = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::size_t stride = 0;  // bytes from one row to the next
};

// The opaque pixels of a piece as one-pixel-high runs, top to bottom and left
// to right, in the piece's own coordinates. Parts of the piece outside the
// picture count as transparent.
std::vector<Rect> PieceRuns(const PixelRows& picture, const SkinPiece& piece);

// The window style as the frame reads it.
struct FrameStyle {
    bool caption = false;    // WS_DLGFRAME
    bool sysMenu = false;    // WS_SYSMENU
    bool minimiseBox = false;
    bool maximiseBox = false;
    bool sizable = false;    // WS_THICKFRAME
    bool minimised = false;
    bool maximised = false;
};

// --- Layout widths ------------------------------------------------------

// Index of a frame piece in the 12 piece regions: edge order, then piece.
constexpr int PieceIndex(Edge edge, Piece piece) { return edge * 3 + piece; }

std::int32_t LeftWidth(const SkinParameters& p);    // L: left start piece
std::int32_t RightWidth(const SkinParameters& p);   // R: right start piece
std::int32_t TopEdgeHeight(const SkinParameters& p);
std::int32_t BottomEdgeHeight(const SkinParameters& p);

// The frame's thickness around the client area.
struct Insets {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};
Insets ClientInsets(const SkinParameters& p, std::int32_t menuBarHeight);

// The client rectangle for a window rectangle; never narrower or lower than
// nothing (a window thinner than its frame has an empty client area at its
// inner edge).
Rect ClientRectFor(const Rect& window, const Insets& insets);

// --- Window region --------------------------------------------------------

// One piece region placed in the window: the region of piece `piece`
// (PieceIndex), moved to (x, y), keeping only the part inside `clip` (piece
// coordinates).
struct RegionPlacement {
    int piece = 0;
    std::int32_t x = 0, y = 0;
    Rect clip;
};

struct WindowRegionLayout {
    Rect inner;  // the rectangle inside the frame's outer edge pieces
    std::vector<RegionPlacement> placements;
};

// The window's region for a W x H window: the inner rectangle plus every
// piece region at its place. Middle pieces repeat along their run; the last
// tile is cut to the run's end. A run whose middle piece has no length is
// left out (it would never end). Placements lie inside the window.
WindowRegionLayout LayOutWindowRegion(const SkinParameters& p, std::int32_t width, std::int32_t height);

// --- Caption buttons and hit-testing ---------------------------------------

// Where button i's shape region sits in the window.
struct Point {
    std::int32_t x = 0, y = 0;
};
Point ButtonPosition(const SkinParameters& p, int button, std::int32_t windowWidth);

// The first button that is drawn and hit-tested: minimise when the window has
// a minimise or maximise box, close when it has only a system menu; kNoButton
// without a system menu.
inline constexpr int kNoButton = 4;
int FirstButton(const FrameStyle& style);

// Hit-test codes the frame answers with (the platform's values).
enum HitCode : int {
    kHitLeftToWindow = 0,  // not the frame's to answer
    kHitCaption = 2,
    kHitSysMenu = 3,
    kHitMinButton = 8,
    kHitMaxButton = 9,
    kHitLeft = 10,
    kHitRight = 11,
    kHitTopLeft = 13,
    kHitTopRight = 14,
    kHitBottom = 15,
    kHitBottomLeft = 16,
    kHitBottomRight = 17,
    kHitClose = 20,
    kHitHelp = 21,
};

HitCode ButtonHitCode(int button);

// The zone of a point that is on no caption button: the icon box, then for a
// sizable window the eight border zones the frame answers for (the top edge
// between the corners is left to the window).
HitCode FrameHitCode(const SkinParameters& p, const FrameStyle& style, std::int32_t width, std::int32_t height,
                     Point at);

// --- Painting ------------------------------------------------------------------

// One step of painting a memory bitmap from the skin picture.
struct PaintOp {
    enum Kind {
        kCopy,         // copy `source` to dest's top-left corner, dest the same size
        kTile,         // fill dest with `source` as a pattern aligned to the bitmap's origin
        kTransparent,  // as kCopy, magenta left out
    };
    Kind kind = kCopy;
    Rect source;  // in the skin picture
    Rect dest;    // in the bitmap
};

// A bitmap built from pieces and transferred to the window with magenta left
// out.
struct FrameBitmap {
    std::int32_t width = 0, height = 0;
    Point at;  // where it goes in the window
    std::vector<PaintOp> ops;
    bool empty() const { return width <= 0 || height <= 0; }
};

// What the caption bitmap carries besides its pieces, in its own
// coordinates.
struct CaptionContent {
    Rect text;
    std::vector<PaintOp> buttons;  // kTransparent, in drawing order
    Rect icon;
};

struct FramePlan {
    FrameBitmap left, right, bottom, top;  // bottom empty while minimised
    CaptionContent caption;
};

// The picture size bounds every source rectangle; `strips` are the edges of
// the current activation state; `states` the four button states.
struct FrameInput {
    const SkinParameters* params = nullptr;
    const std::array<EdgeStrip, 4>* strips = nullptr;
    std::int32_t pictureWidth = 0, pictureHeight = 0;
    std::int32_t width = 0, height = 0;  // the window
    FrameStyle style;
    std::array<ButtonState, 4> states{};
};

FramePlan PlanFrame(const FrameInput& in);

// The update rectangle of the client area widened left and up to the tile
// grid of a piece of the given size, so that tiles drawn from its corner line
// up with the client origin.
Rect ExtendToTileGrid(const Rect& update, std::int32_t tileWidth, std::int32_t tileHeight);

}  // namespace tf::skin
