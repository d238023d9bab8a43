#include "png/cbitmap_win.h"

#include <algorithm>
#include <cstring>

#include "platform/win32/unique_handle.h"
#include "png/draw_on_picture.h"
#include "png/picture_box_surface_win.h"

namespace tf::png::CBitmap {
namespace {

using platform::win32::ScopedWindowDc;
using platform::win32::UniqueBitmap;

static_assert(sizeof(BgrQuad) == sizeof(RGBQUAD), "colour-table entries are blue, green, red, 0");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "the platform's bitmap header");

template <int N>
struct HeaderWithTable {
    BITMAPINFOHEADER header;
    RGBQUAD colours[N];
};

struct ModuleState {
    HeaderWithTable<2> bitmapInfo1{};
    HeaderWithTable<16> bitmapInfo4{};
    HeaderWithTable<256> bitmapInfo8{};
    BITMAPINFOHEADER bitmapInfo24{};
    BITMAPINFOHEADER bitmapInfo32{};
    UniqueBitmap currentBitmap;
};

ModuleState& State() {
    static ModuleState state;
    return state;
}

void FillHeader(BITMAPINFOHEADER& header, std::int32_t width, std::int32_t height, bool topDown, int bitsPerPixel,
                std::uint32_t coloursUsed) {
    header = BITMAPINFOHEADER{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = topDown ? -height : height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bitsPerPixel);
    header.biCompression = BI_RGB;
    header.biClrUsed = coloursUsed;
}

// The device bitmap is made compatible with the screen, whose DC is given
// back at once.
bool MakeCurrentBitmap(const BITMAPINFOHEADER& header, const Bytes& pixels) {
    ModuleState& state = State();
    state.currentBitmap.reset();
    if (pixels.empty()) return false;
    ScopedWindowDc screen(nullptr);
    if (!screen.get()) return false;
    state.currentBitmap.reset(CreateDIBitmap(screen.get(), &header, CBM_INIT, pixels.data(),
                                             reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS));
    return static_cast<bool>(state.currentBitmap);
}

template <int N>
void CopyTable(HeaderWithTable<N>& info, const std::vector<BgrQuad>& table) {
    std::memset(info.colours, 0, sizeof info.colours);
    std::memcpy(info.colours, table.data(), std::min<std::size_t>(N, table.size()) * sizeof(RGBQUAD));
}

// The indexed formats: the header, then its colour table, describe the bits.
template <int N>
bool CreateIndexed(HeaderWithTable<N>& info, int bitsPerPixel, const Bytes& pixels, std::int32_t width,
                   std::int32_t height, bool topDown, std::uint32_t coloursUsed) {
    FillHeader(info.header, width, height, topDown, bitsPerPixel, coloursUsed);
    return MakeCurrentBitmap(info.header, pixels);
}

}  // namespace

void LoadColourTable(int bitsPerPixel, const std::vector<BgrQuad>& table) {
    ModuleState& state = State();
    switch (bitsPerPixel) {
        case 1: CopyTable(state.bitmapInfo1, table); break;
        case 4: CopyTable(state.bitmapInfo4, table); break;
        case 8: CopyTable(state.bitmapInfo8, table); break;
        default: break;
    }
}

bool CreateBitmap1(const Bytes& pixels, std::int32_t width, std::int32_t height, bool topDown,
                   std::uint32_t coloursUsed) {
    return CreateIndexed(State().bitmapInfo1, 1, pixels, width, height, topDown, coloursUsed);
}

bool CreateBitmap4(const Bytes& pixels, std::int32_t width, std::int32_t height, bool topDown,
                   std::uint32_t coloursUsed) {
    return CreateIndexed(State().bitmapInfo4, 4, pixels, width, height, topDown, coloursUsed);
}

bool CreateBitmap8(const Bytes& pixels, std::int32_t width, std::int32_t height, bool topDown,
                   std::uint32_t coloursUsed) {
    return CreateIndexed(State().bitmapInfo8, 8, pixels, width, height, topDown, coloursUsed);
}

bool CreateTrueColourBitmap(const Bytes& pixels, std::int32_t width, std::int32_t height, bool topDown,
                            int format) {
    BITMAPINFOHEADER& header = format == kFormat32 ? State().bitmapInfo32 : State().bitmapInfo24;
    FillHeader(header, width, height, topDown, format == kFormat32 ? 32 : 24, 0);
    return MakeCurrentBitmap(header, pixels);
}

bool CreateFinalBitmap(const DecodedImage& image) {
    const auto width = static_cast<std::int32_t>(image.width);
    const auto height = static_cast<std::int32_t>(image.height);
    const bool topDown = image.rowOrder == RowOrder::kTopDown;
    switch (image.bitsPerPixel) {
        case 1:
        case 4:
        case 8: {
            LoadColourTable(image.bitsPerPixel, image.colourTable);
            if (image.bitsPerPixel == 1) return CreateBitmap1(image.pixels, width, height, topDown, image.coloursUsed);
            if (image.bitsPerPixel == 4) return CreateBitmap4(image.pixels, width, height, topDown, image.coloursUsed);
            return CreateBitmap8(image.pixels, width, height, topDown, image.coloursUsed);
        }
        case 24: return CreateTrueColourBitmap(image.pixels, width, height, topDown, kFormat24);
        case 32: return CreateTrueColourBitmap(image.pixels, width, height, topDown, kFormat32);
        default: State().currentBitmap.reset(); return false;
    }
}

HBITMAP CurrentBitmap() { return State().currentBitmap.get(); }

void DrawOnPicture(std::int32_t width, std::int32_t height, PictureBoxSurface& surface, bool resize, std::int32_t x,
                   std::int32_t y, bool backgroundMode) {
    // Whatever happens, the bitmap lives no longer than this call.
    const UniqueBitmap bitmap(State().currentBitmap.release());
    png::DrawOnPicture(width, height, surface, resize, x, y, backgroundMode, [&](const PictureDestination& to) {
        HDC target = surface.hDC();
        if (!bitmap || !target) return;
        const platform::win32::BitmapDc source = platform::win32::BitmapDc::Borrowing(target, bitmap.get());
        if (!source) return;
        // Pixel for pixel when the sizes differ, as every surface does.
        SetStretchBltMode(target, COLORONCOLOR);
        StretchBlt(target, to.x, to.y, to.width, to.height, source.dc(), 0, 0, width, height, SRCCOPY);
    });
}

}  // namespace tf::png::CBitmap
