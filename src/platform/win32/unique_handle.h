#pragma once
// Owners for Win32 handles, GDI objects, shell memory and COM interfaces.
// Each kind of handle says what "empty" is and how it is released; owners
// move but never copy, so no handle is released twice. Every release of
// these kinds in the program goes through an owner here.
#include <windows.h>
#include <bcrypt.h>
#include <commctrl.h>
#include <shlobj.h>

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
    Handle operator->() const { return h_; }  // for interface pointers
    // For functions that hand a new handle back through a pointer: the old
    // one goes first.
    Handle* put() {
        reset();
        return &h_;
    }
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

// Processes, threads and events: null when there is none.
struct KernelObjectTraits {
    using Handle = HANDLE;
    static HANDLE Empty() { return nullptr; }
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

struct ImageListTraits {
    using Handle = HIMAGELIST;
    static HIMAGELIST Empty() { return nullptr; }
    static void Close(HIMAGELIST h) { ImageList_Destroy(h); }
};

// Memory the shell hands out with the task allocator (item ID lists).
template <class T>
struct TaskMemoryTraits {
    using Handle = T;
    static T Empty() { return nullptr; }
    static void Close(T h) { CoTaskMemFree(const_cast<void*>(static_cast<const void*>(h))); }
};

struct RegistryKeyTraits {
    using Handle = HKEY;
    static HKEY Empty() { return nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};

// A source registered with RegisterEventSource.
struct EventSourceTraits {
    using Handle = HANDLE;
    static HANDLE Empty() { return nullptr; }
    static void Close(HANDLE h) { DeregisterEventSource(h); }
};

// A menu that belongs to no window (a window destroys its own menu).
struct MenuTraits {
    using Handle = HMENU;
    static HMENU Empty() { return nullptr; }
    static void Close(HMENU h) { DestroyMenu(h); }
};

// A cryptography provider and a hash made with it (BCrypt).
struct CryptAlgorithmTraits {
    using Handle = BCRYPT_ALG_HANDLE;
    static BCRYPT_ALG_HANDLE Empty() { return nullptr; }
    static void Close(BCRYPT_ALG_HANDLE h) { BCryptCloseAlgorithmProvider(h, 0); }
};

struct CryptHashTraits {
    using Handle = BCRYPT_HASH_HANDLE;
    static BCRYPT_HASH_HANDLE Empty() { return nullptr; }
    static void Close(BCRYPT_HASH_HANDLE h) { BCryptDestroyHash(h); }
};

// One reference to a COM interface.
template <class T>
struct ComTraits {
    using Handle = T*;
    static T* Empty() { return nullptr; }
    static void Close(T* p) { p->Release(); }
};

using UniqueFont = Unique<GdiObjectTraits<HFONT>>;
using UniqueBrush = Unique<GdiObjectTraits<HBRUSH>>;
using UniquePen = Unique<GdiObjectTraits<HPEN>>;
using UniqueBitmap = Unique<GdiObjectTraits<HBITMAP>>;
using UniqueRegion = Unique<GdiObjectTraits<HRGN>>;
using UniqueMemoryDc = Unique<MemoryDcTraits>;
using UniqueFile = Unique<FileHandleTraits>;
using UniqueKernelObject = Unique<KernelObjectTraits>;
using UniqueIcon = Unique<IconTraits>;
using UniqueFind = Unique<FindHandleTraits>;
using UniqueHook = Unique<HookTraits>;
using UniqueImageList = Unique<ImageListTraits>;
using UniqueIdList = Unique<TaskMemoryTraits<LPITEMIDLIST>>;
using UniqueRegistryKey = Unique<RegistryKeyTraits>;
using UniqueEventSource = Unique<EventSourceTraits>;
using UniqueMenu = Unique<MenuTraits>;
using UniqueCryptAlgorithm = Unique<CryptAlgorithmTraits>;
using UniqueCryptHash = Unique<CryptHashTraits>;
template <class T>
using ComPtr = Unique<ComTraits<T>>;

// A hot key registered for a window, unregistered when the owner goes.
class HotKeyRegistration {
public:
    HotKeyRegistration(HWND window, int id, UINT modifiers, UINT key)
        : window_(window), id_(id), registered_(RegisterHotKey(window, id, modifiers, key) != FALSE) {}
    ~HotKeyRegistration() {
        if (registered_) UnregisterHotKey(window_, id_);
    }
    HotKeyRegistration(const HotKeyRegistration&) = delete;
    HotKeyRegistration& operator=(const HotKeyRegistration&) = delete;
    bool registered() const { return registered_; }

private:
    HWND window_;
    int id_;
    bool registered_;
};

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

// A memory DC with a bitmap selected into it: the DC's own bitmap goes back
// in before the DC and the bitmap are released. The bitmap is either owned
// (made here or handed over) or borrowed from whoever keeps it.
class BitmapDc {
public:
    BitmapDc() = default;
    // A DC compatible with `like` (null: the screen) holding a new
    // compatible bitmap of the size, at least 1 x 1.
    static BitmapDc Create(HDC like, int width, int height) {
        ScopedWindowDc screen(nullptr);
        HDC reference = like ? like : screen.get();
        return Holding(reference, UniqueBitmap(CreateCompatibleBitmap(reference, width > 0 ? width : 1,
                                                                      height > 0 ? height : 1)));
    }
    // A DC compatible with `like` (null: the screen) holding `bitmap`, owned
    // from now on.
    static BitmapDc Holding(HDC like, UniqueBitmap bitmap) {
        BitmapDc out;
        out.owned_ = std::move(bitmap);
        out.Select(like, out.owned_.get());
        return out;
    }
    // A DC holding `bitmap`, which its keeper must not delete before this
    // owner goes.
    static BitmapDc Borrowing(HDC like, HBITMAP bitmap) {
        BitmapDc out;
        out.Select(like, bitmap);
        return out;
    }

    BitmapDc(BitmapDc&& other) noexcept { Swap(other); }
    BitmapDc& operator=(BitmapDc&& other) noexcept {
        if (this != &other) {
            BitmapDc gone(std::move(*this));
            Swap(other);
        }
        return *this;
    }
    BitmapDc(const BitmapDc&) = delete;
    BitmapDc& operator=(const BitmapDc&) = delete;
    ~BitmapDc() {
        if (dc_ && previous_) SelectObject(dc_.get(), previous_);
    }

    HDC dc() const { return dc_.get(); }
    HBITMAP bitmap() const { return bitmap_; }
    // Ends the DC and hands out the bitmap it owned, no longer selected (so
    // it can be read with GetDIBits or kept).
    UniqueBitmap Release() {
        BitmapDc gone(std::move(*this));
        return std::move(gone.owned_);
    }
    // Both exist and the bitmap is selected.
    explicit operator bool() const { return dc_ && previous_; }

private:
    void Select(HDC like, HBITMAP bitmap) {
        if (!bitmap) return;
        dc_.reset(CreateCompatibleDC(like));
        if (!dc_) return;
        previous_ = SelectObject(dc_.get(), bitmap);
        bitmap_ = previous_ ? bitmap : nullptr;
    }
    void Swap(BitmapDc& other) noexcept {
        std::swap(owned_, other.owned_);
        std::swap(dc_, other.dc_);
        std::swap(bitmap_, other.bitmap_);
        std::swap(previous_, other.previous_);
    }

    UniqueBitmap owned_;  // declared first: released after the DC
    UniqueMemoryDc dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace tf::platform::win32
