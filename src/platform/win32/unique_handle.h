#pragma once
// Owners for Win32 handles and GDI objects. Each kind of handle says what
// "empty" is and how it is released; owners move but never copy, so no handle
// is released twice.
#include <windows.h>

#include <utility>

namespace tf::platform::win32 {

template <class Traits>
class Unique {
public:
    using Handle = typename Traits::Handle;

    Unique() = default;
    explicit Unique(Handle h) : h_(h) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : h_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~Unique() { reset(); }

    Handle get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::Empty(); }
    Handle release() { return std::exchange(h_, Traits::Empty()); }
    void reset(Handle h = Traits::Empty()) {
        Handle old = std::exchange(h_, h);
        if (old != Traits::Empty()) Traits::Close(old);
    }

private:
    Handle h_ = Traits::Empty();
};

// A GDI object (font, brush, pen, bitmap, region); it must be deselected from
// every DC before its owner goes.
template <class T>
struct GdiObjectTraits {
    using Handle = T;
    static T Empty() { return nullptr; }
    static void Close(T h) { DeleteObject(h); }
};

struct MemoryDcTraits {
    using Handle = HDC;
    static HDC Empty() { return nullptr; }
    static void Close(HDC h) { DeleteDC(h); }
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

// A directory search from FindFirstFile(Ex)A.
struct FindHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { FindClose(h); }
};

struct IconTraits {
    using Handle = HICON;
    static HICON Empty() { return nullptr; }
    static void Close(HICON h) { DestroyIcon(h); }
};

// A hook from SetWindowsHookEx.
struct HookTraits {
    using Handle = HHOOK;
    static HHOOK Empty() { return nullptr; }
    static void Close(HHOOK h) { UnhookWindowsHookEx(h); }
};

using UniqueFont = Unique<GdiObjectTraits<HFONT>>;
using UniqueBrush = Unique<GdiObjectTraits<HBRUSH>>;
using UniquePen = Unique<GdiObjectTraits<HPEN>>;
using UniqueBitmap = Unique<GdiObjectTraits<HBITMAP>>;
using UniqueRegion = Unique<GdiObjectTraits<HRGN>>;
using UniqueMemoryDc = Unique<MemoryDcTraits>;
using UniqueFile = Unique<FileHandleTraits>;
using UniqueIcon = Unique<IconTraits>;
using UniqueFind = Unique<FindHandleTraits>;
using UniqueHook = Unique<HookTraits>;

// GetDC (client area) or GetWindowDC (the whole window, frame included) and
// ReleaseDC.
enum class DcArea { kClient, kWholeWindow };
class ScopedWindowDc {
public:
    explicit ScopedWindowDc(HWND window, DcArea area = DcArea::kClient)
        : window_(window), dc_(area == DcArea::kWholeWindow ? GetWindowDC(window) : GetDC(window)) {}
    ~ScopedWindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    ScopedWindowDc(const ScopedWindowDc&) = delete;
    ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint / EndPaint around a WM_PAINT handler.
class ScopedPaint {
public:
    explicit ScopedPaint(HWND window) : window_(window) { dc_ = BeginPaint(window_, &ps_); }
    ~ScopedPaint() { EndPaint(window_, &ps_); }
    ScopedPaint(const ScopedPaint&) = delete;
    ScopedPaint& operator=(const ScopedPaint&) = delete;
    HDC dc() const { return dc_; }
    const RECT& area() const { return ps_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_ = nullptr;
};

// Selects an object into a DC and puts the previous one back, so the object
// can be deleted afterwards.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelect() {
        if (previous_) SelectObject(dc_, previous_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace tf::platform::win32
