#pragma once
// The tree's image list `im` and its drawing surface `picSmall`. Icons are
// drawn one at a time onto the surface and the surface's image is added to
// the list under the node's key.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foldertree/keyed_image_store.h"
#include "foldertree/tree_services.h"
#include "platform/win32/unique_handle.h"

namespace tf::foldertree {

// The small-icon size at 96 DPI; at other DPIs the tree takes the system's.
inline constexpr int kNodeIconSize = 16;

// An off-screen square surface that keeps what is drawn on it. The icon is
// drawn over black and over white; the two results give colour and
// coverage, so the stored image keeps the icon's transparency whatever its
// format.
class IconCompositor {
public:
    explicit IconCompositor(int size = kNodeIconSize);
    ~IconCompositor() = default;
    IconCompositor(const IconCompositor&) = delete;
    IconCompositor& operator=(const IconCompositor&) = delete;

    int Size() const { return size_; }
    void Clear();
    void DrawIcon(HICON icon);
    // The current image: 32-bit premultiplied colour with alpha, and a mask
    // (set where transparent) for image lists that ignore alpha. Neither is
    // selected into a device context.
    HBITMAP Image() const { return image_.get(); }
    HBITMAP Mask() const { return mask_.get(); }
    // The current image as bytes, equal exactly when the images are; Load
    // puts such an image back on the surface.
    std::string Picture() const;
    void Load(const std::string& picture);

private:
    void Compose();
    void StoreMask();
    int Pixels() const;

    // One layer per backdrop: a DC with its bitmap selected for the
    // surface's whole life.
    struct Layer {
        platform::win32::BitmapDc surface;
        std::uint32_t* bits = nullptr;
    };
    int size_;
    int maskRowBytes_;  // monochrome rows are word-aligned
    Layer onBlack_;
    Layer onWhite_;
    platform::win32::UniqueBitmap image_;
    std::uint32_t* imageBits_ = nullptr;
    platform::win32::UniqueBitmap mask_;
    std::vector<std::uint8_t> maskBits_;
};

class ShellNodeIcons : public NodeIcons {
public:
    // Icons of `iconSize` pixels square.
    explicit ShellNodeIcons(int iconSize = kNodeIconSize);
    ~ShellNodeIcons() override;
    ShellNodeIcons(const ShellNodeIcons&) = delete;
    ShellNodeIcons& operator=(const ShellNodeIcons&) = delete;

    void Draw(const IconSource& source) override;
    void Store(const std::string& key) override;
    void Remove(const std::vector<std::string>& keys) override;

    HIMAGELIST ImageList() const { return images_.get(); }
    // Image index of `key`, or -1.
    int IndexOf(const std::string& key) const;
    // Images in the list, and keys that have one.
    int Count() const { return store_.Count(); }
    int KeyCount() const { return store_.KeyCount(); }

private:
    static HICON IconOf(const IconSource& source);
    void DrawGenericFolder();

    platform::win32::UniqueImageList images_;
    IconCompositor picSmall_;
    // The generic folder as drawn once; most folders show just this.
    std::string genericFolder_;
    KeyedImageStore store_;
};

}  // namespace tf::foldertree
