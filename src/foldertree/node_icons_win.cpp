#include "foldertree/node_icons_win.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "foldertree/node_key.h"
#include "platform/win32/wide_text_win.h"

namespace tf::foldertree {
namespace {

constexpr UINT kNoIcons = UINT_MAX;  // ExtractIconExA's failure result

HBITMAP CreateSurfaceBitmap(int size, std::uint32_t** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    *bits = static_cast<std::uint32_t*>(pixels);
    return bitmap;
}

HICON ModuleIcon(const std::string& file, int index) {
    HICON large = nullptr, small = nullptr;
    const UINT count = ExtractIconExA(file.c_str(), index, &large, &small, 1);
    // On failure the out-parameters may hold junk: only trust them when an
    // icon was extracted.
    if (count == 0 || count == kNoIcons) return nullptr;
    platform::win32::UniqueIcon unused(large);
    return small;
}

HICON PathIcon(const std::string& path) {
    SHFILEINFOA info{};
    // A missing path returns 0 and may leave junk in hIcon.
    if (!SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON)) return nullptr;
    return info.hIcon;
}

// A virtual folder's own icon, through its item id: the parsing name alone
// is not understood by every shell.
HICON ShellItemIcon(const std::string& parsingName) {
    platform::win32::UniqueIdList pidl;
    if (FAILED(SHParseDisplayName(platform::win32::Widen(parsingName).c_str(), nullptr, pidl.put(), 0, nullptr)) ||
        !pidl) {
        return nullptr;
    }
    SHFILEINFOW info{};
    const DWORD_PTR found = SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl.get()), 0, &info, sizeof info,
                                           SHGFI_PIDL | SHGFI_ICON | SHGFI_SMALLICON);
    return found ? info.hIcon : nullptr;
}

HICON GenericFolderIcon() {
    SHFILEINFOA info{};
    if (!SHGetFileInfoA("folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                        SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES)) {
        return nullptr;
    }
    return info.hIcon;
}

// A directory the shell has no reason to show with anything but the
// generic folder icon: folders get their own icon through a desktop.ini,
// which the shell only reads for read-only or system folders. Asking the
// shell costs milliseconds per folder; this test costs microseconds.
bool IsPlainFolder(const std::string& path) {
    if (path.size() <= 3 || IsDriveRootPath(path) || IsClassIdPath(path)) return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    return !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT));
}

}  // namespace

IconCompositor::IconCompositor(int size)
    : size_(size > 0 ? size : kNodeIconSize),
      maskRowBytes_((size_ + 15) / 16 * 2),
      maskBits_(static_cast<std::size_t>(maskRowBytes_ * size_)) {
    for (Layer* layer : {&onBlack_, &onWhite_}) {
        layer->surface = platform::win32::BitmapDc::Holding(
            nullptr, platform::win32::UniqueBitmap(CreateSurfaceBitmap(size_, &layer->bits)));
    }
    image_.reset(CreateSurfaceBitmap(size_, &imageBits_));
    mask_.reset(CreateBitmap(size_, size_, 1, 1, nullptr));
    Clear();
}

int IconCompositor::Pixels() const { return size_ * size_; }

void IconCompositor::Clear() {
    if (!onBlack_.surface || !onWhite_.surface) return;
    GdiFlush();
    for (int i = 0; i < Pixels(); ++i) {
        onBlack_.bits[i] = 0x00000000u;
        onWhite_.bits[i] = 0x00FFFFFFu;
    }
    Compose();
}

void IconCompositor::DrawIcon(HICON icon) {
    if (!onBlack_.surface || !onWhite_.surface) return;
    DrawIconEx(onBlack_.surface.dc(), 0, 0, icon, size_, size_, 0, nullptr, DI_NORMAL);
    DrawIconEx(onWhite_.surface.dc(), 0, 0, icon, size_, size_, 0, nullptr, DI_NORMAL);
    Compose();
}

void IconCompositor::Compose() {
    if (!imageBits_ || !mask_) return;
    GdiFlush();
    // Over black a pixel shows colour * alpha; over white it shows that plus
    // (1 - alpha) * 255. The difference is the coverage.
    std::fill(maskBits_.begin(), maskBits_.end(), std::uint8_t{0});
    for (int y = 0; y < size_; ++y) {
        std::uint8_t* maskRow = maskBits_.data() + static_cast<std::size_t>(y * maskRowBytes_);
        for (int x = 0; x < size_; ++x) {
            const int i = y * size_ + x;
            const std::uint32_t black = onBlack_.bits[i] & 0x00FFFFFFu;
            const std::uint32_t white = onWhite_.bits[i] & 0x00FFFFFFu;
            int alpha = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const int b = static_cast<int>((black >> shift) & 0xFF);
                const int w = static_cast<int>((white >> shift) & 0xFF);
                alpha += 255 - (w > b ? w - b : 0);
            }
            alpha /= 3;
            std::uint32_t colour = black;
            // Premultiplied colour never exceeds its alpha.
            for (int shift = 0; shift < 24; shift += 8) {
                const std::uint32_t c = (colour >> shift) & 0xFF;
                if (c > static_cast<std::uint32_t>(alpha)) {
                    colour = (colour & ~(0xFFu << shift)) | (static_cast<std::uint32_t>(alpha) << shift);
                }
            }
            imageBits_[i] = (static_cast<std::uint32_t>(alpha) << 24) | colour;
            // Transparent; monochrome rows hold the leftmost pixel in the
            // top bit of their first byte.
            if (alpha < 128) maskRow[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
        }
    }
    StoreMask();
}

void IconCompositor::StoreMask() { SetBitmapBits(mask_.get(), static_cast<DWORD>(maskBits_.size()), maskBits_.data()); }

std::string IconCompositor::Picture() const {
    if (!imageBits_) return std::string();
    std::string picture(reinterpret_cast<const char*>(imageBits_), static_cast<std::size_t>(Pixels()) * sizeof *imageBits_);
    picture.append(reinterpret_cast<const char*>(maskBits_.data()), maskBits_.size());
    return picture;
}

void IconCompositor::Load(const std::string& picture) {
    const std::size_t imageBytes = static_cast<std::size_t>(Pixels()) * sizeof *imageBits_;
    if (!imageBits_ || picture.size() != imageBytes + maskBits_.size()) return;
    GdiFlush();
    std::memcpy(imageBits_, picture.data(), imageBytes);
    std::memcpy(maskBits_.data(), picture.data() + imageBytes, maskBits_.size());
    StoreMask();
}

ShellNodeIcons::ShellNodeIcons(int iconSize) : picSmall_(iconSize) {
    images_.reset(ImageList_Create(picSmall_.Size(), picSmall_.Size(), ILC_COLOR32 | ILC_MASK, 16, 64));
}

ShellNodeIcons::~ShellNodeIcons() = default;

HICON ShellNodeIcons::IconOf(const IconSource& source) {
    switch (source.kind) {
        case IconSource::Kind::kModule: return ModuleIcon(source.file, source.index);
        case IconSource::Kind::kPath: return IsPlainFolder(source.file) ? nullptr : PathIcon(source.file);
        case IconSource::Kind::kShellItem: return ShellItemIcon(source.file);
        case IconSource::Kind::kGenericFolder: return nullptr;
    }
    return nullptr;
}

void ShellNodeIcons::Draw(const IconSource& source) {
    HICON icon = IconOf(source);
    for (std::size_t i = 0; !icon && i < source.fallbacks.size(); ++i) icon = IconOf(source.fallbacks[i]);
    if (!icon) {
        DrawGenericFolder();
        return;
    }
    // Every icon handle is drawn once and released at once.
    platform::win32::UniqueIcon drawn(icon);
    picSmall_.Clear();
    picSmall_.DrawIcon(drawn.get());
}

void ShellNodeIcons::DrawGenericFolder() {
    if (!genericFolder_.empty()) {
        picSmall_.Load(genericFolder_);
        return;
    }
    platform::win32::UniqueIcon folder(GenericFolderIcon());
    picSmall_.Clear();
    if (folder.get()) picSmall_.DrawIcon(folder.get());
    genericFolder_ = picSmall_.Picture();
}

void ShellNodeIcons::Store(const std::string& key) {
    if (!images_) return;
    const KeyedImageStore::Placement placement = store_.Add(key, picSmall_.Picture());
    if (placement.added) ImageList_Add(images_.get(), picSmall_.Image(), picSmall_.Mask());
}

void ShellNodeIcons::Remove(const std::vector<std::string>& keys) {
    if (!images_ || keys.empty()) return;
    const KeyedImageStore::Compaction plan = store_.Remove(keys);
    for (const KeyedImageStore::Move& move : plan.moves) {
        ImageList_Copy(images_.get(), move.to, images_.get(), move.from, ILCF_MOVE);
    }
    if (plan.count != ImageList_GetImageCount(images_.get())) ImageList_SetImageCount(images_.get(), static_cast<UINT>(plan.count));
}

int ShellNodeIcons::IndexOf(const std::string& key) const {
    const std::optional<int> index = store_.IndexOf(key);
    return index ? *index : -1;
}

}  // namespace tf::foldertree
