#include "skin/frame/frame_painter_win.h"

#include <algorithm>

namespace tf::skin {
namespace {

using platform::win32::BitmapDc;
using platform::win32::ScopedSelect;
using platform::win32::UniqueBitmap;
using platform::win32::UniqueBrush;
using platform::win32::UniqueRegion;

constexpr COLORREF kMagenta = RGB(0xFF, 0x00, 0xFF);
constexpr UINT kCaptionTextFlags = DT_SINGLELINE | DT_VCENTER | DT_WORD_ELLIPSIS;

// A pattern brush of the piece `source` of the skin picture.
UniqueBrush PieceBrush(HDC skin, const Rect& source) {
    const BitmapDc tile = BitmapDc::Create(skin, source.width(), source.height());
    if (!tile) return UniqueBrush();
    BitBlt(tile.dc(), 0, 0, source.width(), source.height(), skin, source.left, source.top, SRCCOPY);
    // The brush keeps its own copy of the pattern; the tile goes with this scope.
    return UniqueBrush(CreatePatternBrush(tile.bitmap()));
}

void Fill(HDC dc, const Rect& r, HBRUSH brush) {
    const RECT rc{r.left, r.top, r.right, r.bottom};
    FillRect(dc, &rc, brush);
}

void RunOps(HDC dc, HDC skin, const std::vector<PaintOp>& ops) {
    for (const PaintOp& op : ops) {
        const Rect& s = op.source;
        const Rect& d = op.dest;
        switch (op.kind) {
            case PaintOp::kCopy:
                BitBlt(dc, d.left, d.top, d.width(), d.height(), skin, s.left, s.top, SRCCOPY);
                break;
            case PaintOp::kTile: {
                UniqueBrush brush = PieceBrush(skin, s);
                if (brush) Fill(dc, d, brush.get());
                break;
            }
            case PaintOp::kTransparent:
                GdiTransparentBlt(dc, d.left, d.top, d.width(), d.height(), skin, s.left, s.top, s.width(),
                                  s.height(), kMagenta);
                break;
        }
    }
}

}  // namespace

BitmapPixels ReadSurfacePixels(HDC surface) {
    BitmapPixels out;
    BITMAP info{};
    HGDIOBJ bitmap = GetCurrentObject(surface, OBJ_BITMAP);
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return out;
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = info.bmWidth;
    bmi.bmiHeader.biHeight = -info.bmHeight;  // top row first
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    // A selected bitmap cannot be read directly: copy it into a DIB.
    const BitmapDc dib =
        BitmapDc::Holding(surface, UniqueBitmap(CreateDIBSection(surface, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0)));
    if (!dib || !bits) return out;
    BitBlt(dib.dc(), 0, 0, info.bmWidth, info.bmHeight, surface, 0, 0, SRCCOPY);
    GdiFlush();
    out.width = info.bmWidth;
    out.height = info.bmHeight;
    out.stride = (static_cast<std::size_t>(out.width) * 3 + 3) & ~std::size_t{3};
    const auto* p = static_cast<const std::uint8_t*>(bits);
    out.bgr.assign(p, p + out.stride * static_cast<std::size_t>(out.height));
    return out;
}

UniqueRegion RegionFromRuns(const std::vector<Rect>& runs) {
    UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    UniqueRegion run(CreateRectRgn(0, 0, 0, 0));
    if (!region || !run) return UniqueRegion();
    for (const Rect& r : runs) {
        SetRectRgn(run.get(), r.left, r.top, r.right, r.bottom);
        CombineRgn(region.get(), region.get(), run.get(), RGN_OR);
    }
    return region;
}

UniqueRegion BuildWindowRegion(const SkinParameters& params, const PieceRegions& pieces, std::int32_t width,
                               std::int32_t height) {
    const WindowRegionLayout layout = LayOutWindowRegion(params, width, height);
    const Rect& in = layout.inner;
    UniqueRegion region(CreateRectRgn(in.left, in.top, in.right, in.bottom));
    UniqueRegion placed(CreateRectRgn(0, 0, 0, 0));
    UniqueRegion clip(CreateRectRgn(0, 0, 0, 0));
    if (!region || !placed || !clip) return UniqueRegion();
    for (const RegionPlacement& p : layout.placements) {
        HRGN piece = pieces[static_cast<std::size_t>(p.piece)].get();
        if (!piece) continue;
        SetRectRgn(clip.get(), p.clip.left, p.clip.top, p.clip.right, p.clip.bottom);
        CombineRgn(placed.get(), piece, clip.get(), RGN_AND);
        OffsetRgn(placed.get(), p.x, p.y);
        CombineRgn(region.get(), region.get(), placed.get(), RGN_OR);
    }
    return region;
}

void PaintFramePlan(HDC target, HDC skin, const FramePlan& plan, const CaptionDrawing& caption) {
    const FrameBitmap* bitmaps[] = {&plan.left, &plan.right, &plan.bottom, &plan.top};
    UniqueBrush magenta(CreateSolidBrush(kMagenta));
    for (const FrameBitmap* b : bitmaps) {
        if (b->empty()) continue;
        const BitmapDc surface = BitmapDc::Create(target, b->width, b->height);
        if (!surface) continue;
        // Whatever no piece covers stays out of the window.
        Fill(surface.dc(), {0, 0, b->width, b->height}, magenta.get());
        RunOps(surface.dc(), skin, b->ops);
        if (b == &plan.top) {
            const CaptionContent& c = plan.caption;
            if (!caption.text.empty()) {
                RECT text{c.text.left, c.text.top, c.text.right, c.text.bottom};
                ScopedSelect font(surface.dc(), caption.font);
                SetBkMode(surface.dc(), TRANSPARENT);
                SetTextColor(surface.dc(), caption.colour);
                DrawTextA(surface.dc(), caption.text.c_str(), static_cast<int>(caption.text.size()), &text,
                          caption.format | kCaptionTextFlags);
            }
            RunOps(surface.dc(), skin, c.buttons);
            if (caption.icon)
                DrawIconEx(surface.dc(), c.icon.left, c.icon.top, caption.icon, c.icon.width(), c.icon.height(), 0,
                           nullptr, DI_NORMAL);
        }
        GdiTransparentBlt(target, b->at.x, b->at.y, b->width, b->height, surface.dc(), 0, 0, b->width, b->height,
                          kMagenta);
    }
}

void TileClientArea(HDC target, const RECT& area, HDC skin, const Rect& piece) {
    const Rect update{area.left, area.top, area.right, area.bottom};
    if (update.empty() || piece.empty()) return;
    const Rect grid = ExtendToTileGrid(update, piece.width(), piece.height());
    const BitmapDc surface = BitmapDc::Create(target, grid.width(), grid.height());
    UniqueBrush brush = PieceBrush(skin, piece);
    if (!surface || !brush) return;
    Fill(surface.dc(), {0, 0, grid.width(), grid.height()}, brush.get());
    BitBlt(target, update.left, update.top, update.width(), update.height(), surface.dc(), update.left - grid.left,
           update.top - grid.top, SRCCOPY);
}

}  // namespace tf::skin
