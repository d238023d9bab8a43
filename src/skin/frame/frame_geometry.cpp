#include "skin/frame/frame_geometry.h"

#include <algorithm>
#include <climits>

namespace tf::skin {
namespace {

const EdgeStrip& Active(const SkinParameters& p, Edge e) { return p.ActiveFrame[e]; }

// Offsets and sizes come from the file: sums of two of them saturate.
std::int32_t Clamp32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
}

Rect PieceRect(const SkinPiece& piece) {
    return {piece.X, piece.Y, Clamp32(std::int64_t{piece.X} + std::max(piece.Width, 0)),
            Clamp32(std::int64_t{piece.Y} + std::max(piece.Height, 0))};
}

bool IsTransparent(const std::uint8_t* bgr) { return bgr[0] == 0xFF && bgr[1] == 0x00 && bgr[2] == 0xFF; }

// Adds the piece (or its part inside the picture) at (x, y), cut to the
// bitmap.
void AddCopy(std::vector<PaintOp>& ops, PaintOp::Kind kind, const SkinPiece& piece, std::int32_t x, std::int32_t y,
             const Rect& picture, const Rect& bitmap) {
    const Rect whole = PieceRect(piece);
    Rect src = Intersect(whole, picture);
    Rect dest{x + (src.left - whole.left), y + (src.top - whole.top), 0, 0};
    dest.right = dest.left + src.width();
    dest.bottom = dest.top + src.height();
    const Rect cut = Intersect(dest, bitmap);
    if (cut.empty()) return;
    src.left += cut.left - dest.left;
    src.top += cut.top - dest.top;
    src.right = src.left + cut.width();
    src.bottom = src.top + cut.height();
    ops.push_back({kind, src, cut});
}

void AddTile(std::vector<PaintOp>& ops, const SkinPiece& piece, const Rect& area, const Rect& picture,
             const Rect& bitmap) {
    const Rect src = Intersect(PieceRect(piece), picture);
    const Rect dest = Intersect(area, bitmap);
    if (src.empty() || dest.empty()) return;
    ops.push_back({PaintOp::kTile, src, dest});
}

std::int32_t MaxWidth(const EdgeStrip& s) {
    return std::max({s.start().Width, s.middle().Width, s.end().Width, 0});
}
std::int32_t MaxHeight(const EdgeStrip& s) {
    return std::max({s.start().Height, s.middle().Height, s.end().Height, 0});
}

// A vertical edge: the middle tiled between start (top) and end (bottom),
// each piece against the bitmap's left or right side.
FrameBitmap VerticalEdge(const EdgeStrip& s, std::int32_t windowWidth, std::int32_t height, bool alignRight,
                         const Rect& picture) {
    FrameBitmap b;
    b.width = MaxWidth(s);
    b.height = std::max(height, 0);
    b.at = {alignRight ? windowWidth - b.width : 0, 0};
    const Rect bounds{0, 0, b.width, b.height};
    auto x = [&](const SkinPiece& piece) { return alignRight ? b.width - piece.Width : 0; };
    AddTile(b.ops, s.middle(),
            {x(s.middle()), s.start().Height, x(s.middle()) + s.middle().Width, height - s.end().Height}, picture,
            bounds);
    AddCopy(b.ops, PaintOp::kCopy, s.end(), x(s.end()), height - s.end().Height, picture, bounds);
    AddCopy(b.ops, PaintOp::kCopy, s.start(), x(s.start()), 0, picture, bounds);
    return b;
}

// A horizontal edge D wide: start at the left, the middle tiled, end at the
// right, each piece against the bitmap's top or bottom.
FrameBitmap HorizontalEdge(const EdgeStrip& s, std::int32_t width, Point at, bool alignBottom, const Rect& picture) {
    FrameBitmap b;
    b.width = std::max(width, 0);
    b.height = MaxHeight(s);
    b.at = {at.x, alignBottom ? at.y - b.height : at.y};
    const Rect bounds{0, 0, b.width, b.height};
    auto y = [&](const SkinPiece& piece) { return alignBottom ? b.height - piece.Height : 0; };
    AddTile(b.ops, s.middle(),
            {s.start().Width, y(s.middle()), width - s.end().Width, y(s.middle()) + s.middle().Height}, picture,
            bounds);
    AddCopy(b.ops, PaintOp::kCopy, s.start(), 0, y(s.start()), picture, bounds);
    AddCopy(b.ops, PaintOp::kCopy, s.end(), width - s.end().Width, y(s.end()), picture, bounds);
    return b;
}

// Adds the piece's region at (x, y), cut to the window.
void Place(WindowRegionLayout& out, int index, const SkinPiece& piece, std::int32_t x, std::int32_t y,
           std::int32_t width, std::int32_t height, const Rect& window) {
    const Rect inPiece{0, 0, std::max(piece.Width, 0), std::max(piece.Height, 0)};
    const Rect windowInPiece{window.left - x, window.top - y, window.right - x, window.bottom - y};
    Rect clip = Intersect(Intersect(inPiece, windowInPiece), {0, 0, width, height});
    if (!clip.empty()) out.placements.push_back({index, x, y, clip});
}

void PlaceWhole(WindowRegionLayout& out, int index, const SkinPiece& piece, std::int32_t x, std::int32_t y,
                const Rect& window) {
    Place(out, index, piece, x, y, piece.Width, piece.Height, window);
}

// Tiles the middle piece from `from` to `to` along one axis; the last tile
// is cut at `to`.
void PlaceRun(WindowRegionLayout& out, int index, const SkinPiece& piece, bool downward, std::int32_t fixed,
              std::int32_t from, std::int32_t to, const Rect& window) {
    const std::int32_t step = downward ? piece.Height : piece.Width;
    if (step <= 0 || (downward ? piece.Width : piece.Height) <= 0) return;
    // Tiles outside the window add nothing.
    const std::int32_t limit = std::min(to, downward ? window.bottom : window.right);
    for (std::int64_t pos = from; pos < limit; pos += step) {
        const auto p = static_cast<std::int32_t>(pos);
        const std::int32_t length = std::min<std::int32_t>(step, to - p);
        if (downward)
            Place(out, index, piece, fixed, p, piece.Width, length, window);
        else
            Place(out, index, piece, p, fixed, length, piece.Height, window);
    }
}

}  // namespace

Rect Intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.empty()) return {};
    return r;
}

std::vector<Rect> PieceRuns(const PixelRows& picture, const SkinPiece& piece) {
    std::vector<Rect> runs;
    const Rect inPicture = Intersect(PieceRect(piece), {0, 0, picture.width, picture.height});
    if (inPicture.empty() || !picture.bgr) return runs;
    for (std::int32_t py = inPicture.top; py < inPicture.bottom; ++py) {
        const std::uint8_t* row = picture.bgr + static_cast<std::size_t>(py) * picture.stride;
        std::int32_t px = inPicture.left;
        while (px < inPicture.right) {
            while (px < inPicture.right && IsTransparent(row + std::size_t(px) * 3)) ++px;
            const std::int32_t start = px;
            while (px < inPicture.right && !IsTransparent(row + std::size_t(px) * 3)) ++px;
            if (px > start) runs.push_back({start - piece.X, py - piece.Y, px - piece.X, py - piece.Y + 1});
        }
    }
    return runs;
}

std::int32_t LeftWidth(const SkinParameters& p) { return Active(p, kLeft).start().Width; }
std::int32_t RightWidth(const SkinParameters& p) { return Active(p, kRight).start().Width; }
std::int32_t TopEdgeHeight(const SkinParameters& p) { return Active(p, kTop).start().Height; }
std::int32_t BottomEdgeHeight(const SkinParameters& p) { return Active(p, kBottom).start().Height; }

Insets ClientInsets(const SkinParameters& p, std::int32_t menuBarHeight) {
    return {Active(p, kLeft).middle().Width, Active(p, kTop).middle().Height + menuBarHeight,
            Active(p, kRight).middle().Width, Active(p, kBottom).middle().Height};
}

Rect ClientRectFor(const Rect& window, const Insets& insets) {
    Rect r{window.left + insets.left, window.top + insets.top, window.right - insets.right,
           window.bottom - insets.bottom};
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    return r;
}

WindowRegionLayout LayOutWindowRegion(const SkinParameters& p, std::int32_t W, std::int32_t H) {
    WindowRegionLayout out;
    const Rect window{0, 0, std::max(W, 0), std::max(H, 0)};
    const std::int32_t L = LeftWidth(p), R = RightWidth(p);
    const EdgeStrip &left = Active(p, kLeft), &top = Active(p, kTop), &right = Active(p, kRight),
                    &bottom = Active(p, kBottom);
    out.inner = Intersect({L, TopEdgeHeight(p), W - R, H - BottomEdgeHeight(p)}, window);

    PlaceWhole(out, PieceIndex(kLeft, kStart), left.start(), 0, 0, window);
    PlaceRun(out, PieceIndex(kLeft, kMiddle), left.middle(), true, 0, left.start().Height, H - left.end().Height,
             window);
    PlaceWhole(out, PieceIndex(kLeft, kEnd), left.end(), 0, H - left.end().Height, window);

    PlaceWhole(out, PieceIndex(kTop, kStart), top.start(), L, 0, window);
    PlaceRun(out, PieceIndex(kTop, kMiddle), top.middle(), false, 0, L + top.start().Width, W - R - top.end().Width,
             window);
    PlaceWhole(out, PieceIndex(kTop, kEnd), top.end(), W - right.end().Width - top.end().Width, 0, window);

    PlaceWhole(out, PieceIndex(kRight, kStart), right.start(), W - R, 0, window);
    PlaceRun(out, PieceIndex(kRight, kMiddle), right.middle(), true, W - right.middle().Width, right.start().Height,
             H - right.end().Height, window);
    PlaceWhole(out, PieceIndex(kRight, kEnd), right.end(), W - right.end().Width, H - right.end().Height, window);

    PlaceWhole(out, PieceIndex(kBottom, kStart), bottom.start(), left.end().Width, H - bottom.start().Height, window);
    PlaceRun(out, PieceIndex(kBottom, kMiddle), bottom.middle(), false, H - bottom.middle().Height,
             L + bottom.start().Width, W - R - bottom.end().Width, window);
    PlaceWhole(out, PieceIndex(kBottom, kEnd), bottom.end(), W - right.end().Width - bottom.end().Width,
               H - bottom.end().Height, window);
    return out;
}

Point ButtonPosition(const SkinParameters& p, int button, std::int32_t windowWidth) {
    const CaptionButtonSkin& b = p.CaptionButtons[static_cast<std::size_t>(button)];
    return {Clamp32(std::int64_t{windowWidth} - b.RightOffset), Clamp32(b.Top)};
}

int FirstButton(const FrameStyle& style) {
    if (!style.sysMenu) return kNoButton;
    return style.minimiseBox || style.maximiseBox ? kMinimise : kClose;
}

HitCode ButtonHitCode(int button) {
    switch (button) {
        case kMinimise:
            return kHitMinButton;
        case kMaximise:
        case kRestore:
            return kHitMaxButton;
        default:
            return kHitClose;
    }
}

HitCode FrameHitCode(const SkinParameters& p, const FrameStyle& style, std::int32_t W, std::int32_t H, Point at) {
    if (!Rect{0, 0, W, H}.contains(at.x, at.y)) return kHitLeftToWindow;
    if (style.caption && PieceRect(p.IconPiece).contains(at.x, at.y)) return kHitSysMenu;
    if (!style.sizable) return kHitLeftToWindow;
    const bool top = at.y < TopEdgeHeight(p);
    const bool bottom = at.y >= H - BottomEdgeHeight(p);
    if (at.x < LeftWidth(p)) return top ? kHitTopLeft : bottom ? kHitBottomLeft : kHitLeft;
    if (at.x >= W - RightWidth(p)) return top ? kHitTopRight : bottom ? kHitBottomRight : kHitRight;
    return bottom ? kHitBottom : kHitLeftToWindow;
}

FramePlan PlanFrame(const FrameInput& in) {
    const SkinParameters& p = *in.params;
    const std::array<EdgeStrip, 4>& s = *in.strips;
    const Rect picture{0, 0, in.pictureWidth, in.pictureHeight};
    const std::int32_t W = in.width, H = in.height, L = LeftWidth(p), R = RightWidth(p);
    const std::int32_t D = W - L - R;

    FramePlan plan;
    plan.left = VerticalEdge(s[kLeft], W, H, false, picture);
    plan.right = VerticalEdge(s[kRight], W, H, true, picture);
    if (!in.style.minimised) plan.bottom = HorizontalEdge(s[kBottom], D, {L, H}, true, picture);
    plan.top = HorizontalEdge(s[kTop], D, {L, 0}, false, picture);

    // The caption bitmap starts at x = L: positions in the window less L.
    CaptionContent& c = plan.caption;
    c.text = {Clamp32(std::int64_t{p.CaptionTextLeft} - L), Clamp32(p.CaptionTextTop),
              Clamp32(std::int64_t{W} - p.CaptionTextRight - L),
              Clamp32(std::int64_t{p.CaptionTextTop} + p.CaptionTextHeight)};
    const Rect icon = PieceRect(p.IconPiece);
    c.icon = {icon.left - L, icon.top, icon.right - L, icon.bottom};
    const Rect bounds{0, 0, plan.top.width, plan.top.height};
    auto button = [&](int record, ButtonState state, Point at) {
        const SkinPiece& piece = p.CaptionButtons[static_cast<std::size_t>(record)].states[state];
        AddCopy(c.buttons, PaintOp::kTransparent, piece, at.x - L, at.y, picture, bounds);
    };
    const FrameStyle& st = in.style;
    if (st.sysMenu) {
        if (st.minimiseBox || st.maximiseBox) {
            button(st.minimised ? kRestore : kMinimise, st.minimiseBox ? in.states[kMinimise] : kInactive,
                   ButtonPosition(p, kMinimise, W));
            const int max = st.maximised ? kRestore : kMaximise;
            button(max, st.maximiseBox ? in.states[static_cast<std::size_t>(max)] : kInactive,
                   ButtonPosition(p, max, W));
        }
        button(kClose, in.states[kClose], ButtonPosition(p, kClose, W));
    }
    return plan;
}

Rect ExtendToTileGrid(const Rect& update, std::int32_t tileWidth, std::int32_t tileHeight) {
    if (tileWidth <= 0 || tileHeight <= 0) return update;
    auto down = [](std::int32_t v, std::int32_t step) {
        std::int32_t q = v / step;
        if (v % step != 0 && v < 0) --q;
        return q * step;
    };
    return {down(update.left, tileWidth), down(update.top, tileHeight), update.right, update.bottom};
}

}  // namespace tf::skin
