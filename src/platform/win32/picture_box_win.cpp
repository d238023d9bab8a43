#include "platform/win32/picture_box_win.h"

#include <algorithm>
#include <memory>

#include "platform/picture_units.h"
#include "platform/win32/edge_guard_win.h"
#include "platform/win32/window_class_win.h"

namespace tf::platform::win32 {

const char kPictureBoxClass[] = "TallyfoldPicture";

namespace {

constexpr int kStateSlot = 0;
constexpr char kScaleModeProperty[] = "TallyfoldScaleMode";

// What a box keeps: the picture, and the image drawn on, selected into its
// DC for the box's whole life.
struct BoxState {
    UniqueBitmap picture;
    BitmapDc image;
    SIZE size{};
    int scaleMode = kScaleTwips;
    COLORREF back = GetSysColor(COLOR_BTNFACE);

};

BoxState* StateOf(HWND box) {
    if (!box) return nullptr;
    char name[32] = {};
    GetClassNameA(box, name, sizeof name);
    if (lstrcmpA(name, kPictureBoxClass) != 0) return nullptr;
    return reinterpret_cast<BoxState*>(GetWindowLongPtrA(box, kStateSlot));
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

void FillWith(HDC dc, COLORREF colour, int width, int height) {
    UniqueBrush brush(CreateSolidBrush(colour));
    RECT all{0, 0, width, height};
    if (brush) FillRect(dc, &all, brush.get());
}

// Copies `bitmap` onto `dc` at (0, 0) at its own size.
void DrawBitmap(HDC dc, HBITMAP bitmap) {
    if (!bitmap) return;
    const SIZE size = BitmapSize(bitmap);
    const BitmapDc source = BitmapDc::Borrowing(dc, bitmap);
    if (!source) return;
    BitBlt(dc, 0, 0, size.cx, size.cy, source.dc(), 0, 0, SRCCOPY);
}

void ClearImage(BoxState& state) {
    if (!state.image) return;
    FillWith(state.image.dc(), state.back, state.size.cx, state.size.cy);
    DrawBitmap(state.image.dc(), state.picture.get());
}

// Gives the image the size of the inner area. What was drawn stays; new
// parts show the back colour and the picture.
void FitImage(HWND box, BoxState& state) {
    RECT client{};
    GetClientRect(box, &client);
    const int width = std::max<int>(1, client.right);
    const int height = std::max<int>(1, client.bottom);
    if (state.image && state.size.cx == width && state.size.cy == height) return;
    BitmapDc image = BitmapDc::Create(nullptr, width, height);
    if (!image) return;  // the old image stays
    FillWith(image.dc(), state.back, width, height);
    DrawBitmap(image.dc(), state.picture.get());
    if (state.image)
        BitBlt(image.dc(), 0, 0, std::min<int>(width, state.size.cx), std::min<int>(height, state.size.cy),
               state.image.dc(), 0, 0, SRCCOPY);
    state.image = std::move(image);
    state.size = SIZE{width, height};
}

void Paint(HWND box, const BoxState& state) {
    ScopedPaint paint(box);
    RECT client{};
    GetClientRect(box, &client);
    if (!state.image) {
        FillWith(paint.dc(), state.back, client.right, client.bottom);
        return;
    }
    BitBlt(paint.dc(), 0, 0, client.right, client.bottom, state.image.dc(), 0, 0, SRCCOPY);
}

LRESULT PictureBoxMessage(HWND box, UINT msg, WPARAM wp, LPARAM lp) {
    BoxState* state = reinterpret_cast<BoxState*>(GetWindowLongPtrA(box, kStateSlot));
    switch (msg) {
        case WM_NCCREATE:
            SetWindowLongPtrA(box, kStateSlot, reinterpret_cast<LONG_PTR>(new BoxState));
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrA(box, kStateSlot, 0);
            RemovePropA(box, kScaleModeProperty);
            delete state;
            break;
        case WM_CREATE:
        case WM_SIZE:
            if (state) FitImage(box, *state);
            break;
        case WM_ERASEBKGND:
            return TRUE;  // WM_PAINT covers every pixel
        case WM_PAINT:
            if (!state) break;
            Paint(box, *state);
            return 0;
        case WM_LBUTTONUP:
            SendMessageA(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), STN_CLICKED),
                         reinterpret_cast<LPARAM>(box));
            return 0;
        default:
            break;
    }
    return DefWindowProcA(box, msg, wp, lp);
}

LRESULT CALLBACK PictureBoxProc(HWND box, UINT msg, WPARAM wp, LPARAM lp) {
    return CatchAtEdge("Picture box", LRESULT{0}, [&] { return PictureBoxMessage(box, msg, wp, lp); });
}

std::int32_t ScreenTwipsPerPixel(int axis) {
    ScopedWindowDc screen(nullptr);
    const int dpi = screen.get() ? GetDeviceCaps(screen.get(), axis) : 0;
    return WholeTwipsPerPixel(dpi);
}

// Pixels of an outer size in the units of the box's container: the
// container's scale mode, or twips for a top-level window.
bool ContainerCountsPixels(HWND box) {
    HWND parent = GetParent(box);
    return parent && (GetWindowLongPtrA(box, GWL_STYLE) & WS_CHILD) && ScaleModeOf(parent) == kScalePixels;
}

SIZE OuterSize(HWND box) {
    RECT r{};
    GetWindowRect(box, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void SetOuterSize(HWND box, int width, int height) {
    SetWindowPos(box, nullptr, 0, 0, std::clamp(width, 0, kMaxSurfaceSide), std::clamp(height, 0, kMaxSurfaceSide),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

}  // namespace

bool RegisterPictureBoxClass(HINSTANCE instance) {
    return RegisterControlClass(instance, kPictureBoxClass, PictureBoxProc, nullptr);
}

std::int32_t ScreenTwipsPerPixelX() { return ScreenTwipsPerPixel(LOGPIXELSX); }
std::int32_t ScreenTwipsPerPixelY() { return ScreenTwipsPerPixel(LOGPIXELSY); }

int ScaleModeOf(HWND window) {
    if (BoxState* state = StateOf(window)) return state->scaleMode;
    const auto mode = reinterpret_cast<INT_PTR>(GetPropA(window, kScaleModeProperty));
    return mode ? static_cast<int>(mode) : kScaleTwips;
}

void SetScaleModeOf(HWND window, int mode) {
    if (BoxState* state = StateOf(window)) {
        state->scaleMode = mode;
    } else if (mode == kScaleTwips) {
        RemovePropA(window, kScaleModeProperty);
    } else {
        SetPropA(window, kScaleModeProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(mode)));
    }
}

void SetPicture(HWND box, UniqueBitmap picture) {
    BoxState* state = StateOf(box);
    if (!state) return;  // the bitmap is deleted by its owner
    state->picture = std::move(picture);
    ClearImage(*state);
    InvalidateRect(box, nullptr, FALSE);
}

HBITMAP GetPicture(HWND box) {
    const BoxState* state = StateOf(box);
    return state ? state->picture.get() : nullptr;
}

HDC PictureBox::hDC() const {
    const BoxState* state = StateOf(box_);
    return state ? state->image.dc() : nullptr;
}

std::int32_t PictureBox::Width() const {
    const int pixels = OuterSize(box_).cx;
    return ContainerCountsPixels(box_) ? pixels : PixelsToTwips(pixels, ScreenTwipsPerPixelX());
}

std::int32_t PictureBox::Height() const {
    const int pixels = OuterSize(box_).cy;
    return ContainerCountsPixels(box_) ? pixels : PixelsToTwips(pixels, ScreenTwipsPerPixelY());
}

void PictureBox::SetWidth(std::int32_t width) {
    const int pixels = ContainerCountsPixels(box_) ? width : TwipsToWholePixels(width, ScreenTwipsPerPixelX());
    SetOuterSize(box_, pixels, OuterSize(box_).cy);
}

void PictureBox::SetHeight(std::int32_t height) {
    const int pixels = ContainerCountsPixels(box_) ? height : TwipsToWholePixels(height, ScreenTwipsPerPixelY());
    SetOuterSize(box_, OuterSize(box_).cx, pixels);
}

std::int32_t PictureBox::ScaleWidth() const {
    RECT client{};
    GetClientRect(box_, &client);
    return ScaleMode() == kScalePixels ? client.right : PixelsToTwips(client.right, ScreenTwipsPerPixelX());
}

std::int32_t PictureBox::ScaleHeight() const {
    RECT client{};
    GetClientRect(box_, &client);
    return ScaleMode() == kScalePixels ? client.bottom : PixelsToTwips(client.bottom, ScreenTwipsPerPixelY());
}

bool PictureBox::IsTopLevelForm() const { return (GetWindowLongPtrA(box_, GWL_STYLE) & WS_CHILD) == 0; }

void PictureBox::Cls() {
    BoxState* state = StateOf(box_);
    if (!state) return;
    ClearImage(*state);
    InvalidateRect(box_, nullptr, FALSE);
}

HBITMAP PictureBox::Image() const {
    const BoxState* state = StateOf(box_);
    return state ? state->image.bitmap() : nullptr;
}

void PictureBox::PictureFromImage() {
    BoxState* state = StateOf(box_);
    if (!state || !state->image) return;
    BitmapDc copy = BitmapDc::Create(nullptr, state->size.cx, state->size.cy);
    if (!copy) return;
    BitBlt(copy.dc(), 0, 0, state->size.cx, state->size.cy, state->image.dc(), 0, 0, SRCCOPY);
    state->picture = copy.Release();
    InvalidateRect(box_, nullptr, FALSE);
}

COLORREF PictureBox::BackColor() const {
    const BoxState* state = StateOf(box_);
    return state ? state->back : GetSysColor(COLOR_BTNFACE);
}

void PictureBox::SetBackColor(COLORREF colour) {
    if (BoxState* state = StateOf(box_)) state->back = colour;
}

UniqueBitmap CopyBitmap(HBITMAP bitmap) {
    const SIZE size = BitmapSize(bitmap);
    if (size.cx <= 0 || size.cy <= 0) return UniqueBitmap();
    BitmapDc copy = BitmapDc::Create(nullptr, size.cx, size.cy);
    if (!copy) return UniqueBitmap();
    DrawBitmap(copy.dc(), bitmap);
    return copy.Release();
}

}  // namespace tf::platform::win32
