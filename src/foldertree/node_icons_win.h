#pragma once
// The tree's image list `im` and its drawing surface `picSmall`. Icons are
// drawn one at a time onto the surface and the surface's image is added to
// the list under the node's key.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

#include "foldertree/keyed_image_store.h"
#include "foldertree/tree_services.h"

namespace tf::foldertree {

inline constexpr int kNodeIconSize = 16;

// An off-screen 16x16 surface that keeps what is drawn on it. The icon is
// drawn over black and over white; the two results give colour and
// coverage, so the stored image keeps the icon's transparency whatever its
// format.
class PictureSurface {
public:
    PictureSurface();
    ~PictureSurface();
    PictureSurface(const PictureSurface&) = delete;
    PictureSurface& operator=(const PictureSurface&) = delete;

    void Clear();
    void DrawIcon(HICON icon);
    // The current image: 32-bit premultiplied colour with alpha, and a mask
    // (set where transparent) for image lists that ignore alpha. Neither is
    // selected into a device context.
    HBITMAP Image() const { return image_; }
    HBITMAP Mask() const { return mask_; }
    // The current image as bytes, equal exactly when the images are; Load
    // puts such an image back on the surface.
    std::string Picture() const;
    void Load(const std::string& picture);

private:
    void Compose();
    void StoreMask();

    HDC onBlackDc_ = nullptr;
    HDC onWhiteDc_ = nullptr;
    HBITMAP onBlack_ = nullptr;
    HBITMAP onWhite_ = nullptr;
    HGDIOBJ onBlackOld_ = nullptr;
    HGDIOBJ onWhiteOld_ = nullptr;
    std::uint32_t* onBlackBits_ = nullptr;
    std::uint32_t* onWhiteBits_ = nullptr;
    HBITMAP image_ = nullptr;
    std::uint32_t* imageBits_ = nullptr;
    HBITMAP mask_ = nullptr;
    WORD maskRows_[kNodeIconSize] = {};  // one word-aligned monochrome row per line
};

class ShellNodeIcons : public NodeIcons {
public:
    ShellNodeIcons();
    ~ShellNodeIcons() override;
    ShellNodeIcons(const ShellNodeIcons&) = delete;
    ShellNodeIcons& operator=(const ShellNodeIcons&) = delete;

    void Draw(const IconSource& source) override;
    void Store(const std::string& key) override;
    void Remove(const std::vector<std::string>& keys) override;

    HIMAGELIST ImageList() const { return im_; }
    // Image index of `key`, or -1.
    int IndexOf(const std::string& key) const;
    // Images in the list, and keys that have one.
    int Count() const { return store_.Count(); }
    int KeyCount() const { return store_.KeyCount(); }

private:
    void DrawGenericFolder();

    HIMAGELIST im_ = nullptr;
    PictureSurface picSmall_;
    // The generic folder as drawn once; most folders show just this.
    std::string genericFolder_;
    KeyedImageStore store_;
};

}  // namespace tf::foldertree
