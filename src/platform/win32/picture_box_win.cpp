#include "platform/win32/picture_box_win.h"

#include <algorithm>
#include <memory>

#include "platform/picture_units.h"
#include "platform/win32/window_class_win.h"

namespace tf::platform::win32 {

const char kPictureBoxClass[] = "TallyfoldPicture";

namespace {

constexpr int kStateSlot = 0;
constexpr char kScaleModeProperty[] = "TallyfoldScaleMode";

// What a box keeps. The image bitmap is declared before the DC it is
// selected into, so the DC goes first.
struct BoxState {
    UniqueBitmap picture;
    UniqueBitmap image;
    UniqueMemoryDc dc;
    HGDIOBJ previous = nullptr;  // the DC's own bitmap, put back before it goes
    SIZE size{};
    int scaleMode = kScaleTwips;
    COLORREF back = GetSysColor(COLOR_BTNFACE);

    BoxState() = default;
    BoxState(const BoxState&) = delete;
    BoxState& operator=(const BoxState&) = delete;
    ~BoxState() {
        if (previous) SelectObject(dc.get(), previous);
    }
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
    UniqueMemoryDc source(CreateCompatibleDC(dc));
    if (!source) return;
    ScopedSelect select(source.get(), bitmap);
    BitBlt(dc, 0, 0, size.cx, size.cy, source.get(), 0, 0, SRCCOPY);
}

void ClearImage(BoxState& state) {
    if (!state.dc) return;
    FillWith(state.dc.get(), state.back, state.size.cx, state.size.cy);
    DrawBitmap(state.dc.get(), state.picture.get());
}

// Gives the image the size of the inner area. What was drawn stays; new
// parts show the back colour and the picture.
void FitImage(HWND box, BoxState& state) {
    RECT client{};
    GetClientRect(box, &client);
    const int width = std::max<int>(1, client.right);
    const int height = std::max<int>(1, client.bottom);
    if (state.dc && state.size.cx == width && state.size.cy == height) return;
    ScopedWindowDc screen(nullptr);
    UniqueBitmap image(CreateCompatibleBitmap(screen.get(), width, height));
    UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    if (!image || !dc) return;  // the old image stays
    HGDIOBJ previous = SelectObject(dc.get(), image.get());
    FillWith(dc.get(), state.back, width, height);
    DrawBitmap(dc.get(), state.picture.get());
    if (state.dc) {
        BitBlt(dc.get(), 0, 0, std::min<int>(width, state.size.cx), std::min<int>(height, state.size.cy),
               state.dc.get(), 0, 0, SRCCOPY);
        SelectObject(state.dc.get(), state.previous);
    }
    state.dc = std::move(dc);
    state.image = std::move(image);
    state.previous = previous;
    state.size = SIZE{width, height};
}

void Paint(HWND box, const BoxState& state) {
    ScopedPaint paint(box);
    RECT client{};
    GetClientRect(box, &client);
    if (!state.dc) {
        FillWith(paint.dc(), state.back, client.right, client.bottom);
        return;
    }
    BitBlt(paint.dc(), 0, 0, client.right, client.bottom, state.dc.get(), 0, 0, SRCCOPY);
}

LRESULT CALLBACK PictureBoxProc(HWND box, UINT msg, WPARAM wp, LPARAM lp) {
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

std::int32_t ScreenTwipsPerPixel(int axis) {
    ScopedWindowDc screen(nullptr);
    const int dpi = screen.get() ? GetDeviceCaps(screen.get(), axis) : 0;
    return dpi > 0 ? 1440 / dpi : 15;
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
    return state ? state->dc.get() : nullptr;
}

std::int32_t PictureBox::Width() const {
    const int pixels = OuterSize(box_).cx;
    return ContainerCountsPixels(box_) ? pixels : pixels * ScreenTwipsPerPixelX();
}

std::int32_t PictureBox::Height() const {
    const int pixels = OuterSize(box_).cy;
    return ContainerCountsPixels(box_) ? pixels : pixels * ScreenTwipsPerPixelY();
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
    return ScaleMode() == kScalePixels ? client.right : client.right * ScreenTwipsPerPixelX();
}

std::int32_t PictureBox::ScaleHeight() const {
    RECT client{};
    GetClientRect(box_, &client);
    return ScaleMode() == kScalePixels ? client.bottom : client.bottom * ScreenTwipsPerPixelY();
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
    return state ? state->image.get() : nullptr;
}

void PictureBox::PictureFromImage() {
    BoxState* state = StateOf(box_);
    if (!state || !state->dc) return;
    ScopedWindowDc screen(nullptr);
    UniqueBitmap copy(CreateCompatibleBitmap(screen.get(), state->size.cx, state->size.cy));
    UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    if (!copy || !dc) return;
    {
        ScopedSelect select(dc.get(), copy.get());
        BitBlt(dc.get(), 0, 0, state->size.cx, state->size.cy, state->dc.get(), 0, 0, SRCCOPY);
    }
    state->picture = std::move(copy);
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
    ScopedWindowDc screen(nullptr);
    UniqueBitmap copy(CreateCompatibleBitmap(screen.get(), size.cx, size.cy));
    UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    if (!copy || !dc) return UniqueBitmap();
    {
        ScopedSelect select(dc.get(), copy.get());
        DrawBitmap(dc.get(), bitmap);
    }
    return copy;
}

}  // namespace tf::platform::win32
