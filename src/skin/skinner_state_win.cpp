// The engine's skin state: the services, loading a skin from a file or a
// resource, the skin surface and the PaintClientArea property.
#include <shlwapi.h>

#include <cstring>
#include <vector>

#include "platform/win32/desktop_services_win.h"
#include "platform/win32/event_log_win.h"
#include "skin/cls_skinner_win.h"
#include "skin/frame/skin_bitmap_win.h"
#include "skin/format/skin_limits.h"
#include "skin/format/skin_scale.h"

namespace tf::skin {

namespace {

// SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOOWNERZORDER
constexpr UINT kRecalculateFrame = 0x227;

// 8-bit text in Windows-1252 (E1 is a-acute, F1 n-tilde); the box reads it
// in that code page whatever the program's own is.
constexpr char kInvalidSkinText[] = "Error: El arhivo no es v\xE1lido o puede estar da\xF1" "ado";

// Larger files cannot hold a picture the reader would take.
constexpr std::uint64_t kMaxSkinFileBytes = kPictureBagOffset + 1024 + static_cast<std::uint64_t>(kMaxPicturePixels) * 4;

bool ReadWholeFile(const std::string& filename, std::vector<std::uint8_t>& bytes) {
    platform::win32::UniqueFile file(CreateFileA(filename.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > kMaxSkinFileBytes)
        return false;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        if (!ReadFile(file.get(), bytes.data() + done, ask, &read, nullptr) || read == 0) return false;
        done += read;
    }
    return true;
}

}  // namespace

ClsSkinner::ClsSkinner(SkinnerServices services) : services_(services), menuBar_(MenuHost()) {
    if (!services_.messages) {
        ownMessages_ = std::make_unique<platform::win32::MessageBoxSink>(nullptr, platform::win32::ApplicationTitle());
        services_.messages = ownMessages_.get();
    }
    if (!services_.eventLog) {
        ownEventLog_ = std::make_unique<platform::win32::ApplicationEventLog>(platform::win32::ApplicationTitle());
        services_.eventLog = ownEventLog_.get();
    }
}

ClsSkinner::~ClsSkinner() {
    if (hooked_) UnHookForm(hooked_);
    ReleaseAll();
    ReleaseAdaptors();
}

bool ClsSkinner::LoadSkinFromFile(const std::string& filename) {
    // Without the file the window keeps the platform's frame, as intended.
    if (!PathFileExistsA(filename.c_str())) return false;
    std::vector<std::uint8_t> bytes;
    std::string reason = "the file cannot be read or is too large";
    if (ReadWholeFile(filename, bytes) && LoadSkinBytes(bytes.data(), bytes.size(), reason)) return true;
    // The frame stays as it was; the reason is kept for whoever looks.
    services_.eventLog->LogError("Skin " + filename + " not used: " + reason);
    return false;
}

bool ClsSkinner::LoadSkinFromResource(const char* ResIndex, const char* ResSection) {
    // Read in place: no temporary file, so a program folder that cannot be
    // written to does not matter.
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(module, ResIndex, ResSection);
    if (!resource) return false;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return false;
    std::string reason;
    if (LoadSkinBytes(static_cast<const std::uint8_t*>(data), SizeofResource(module, resource), reason)) return true;
    services_.eventLog->LogError("Skin resource not used: " + reason);
    return false;
}

bool ClsSkinner::LoadSkinBytes(const std::uint8_t* data, std::size_t size, std::string& reason) {
    // Too short for the two records: refused before the signature is looked
    // at.
    if (size < kPictureBagOffset) {
        reason = ToString(SkinFileError::kTruncated);
        return false;
    }
    if (std::memcmp(data, kSkinSignature, sizeof kSkinSignature - 1) != 0) {
        services_.messages->Show(
            platform::Message{kInvalidSkinText, {}, platform::MessageIcon::kError, platform::kWesternCodePage});
        reason = ToString(SkinFileError::kBadSignature);
        return false;
    }
    SkinFile skin;
    std::string where;
    const SkinFileError error = ReadSkinFile(data, size, skin, &where);
    if (error != SkinFileError::kNone) {
        reason = ToString(error);
        if (!where.empty()) reason += " (" + where + ")";
        return false;
    }
    // Skin files are drawn for 96 DPI; the skin is put in force at the DPI
    // of the window it is on.
    if (!UseSkin(skin.parameters, std::move(skin.picture), dpi_)) {
        reason = "no memory for the skin picture";
        return false;
    }
    return true;
}

bool ClsSkinner::UseSkin(const SkinParameters& params, SkinPicture picture, int dpi) {
    SkinAtDpi scaled = ScaleSkin(params, picture, dpi);
    platform::win32::BitmapDc surface = platform::win32::BitmapDc::Holding(nullptr, MakeSkinBitmap(scaled.picture));
    if (!surface) return false;

    // Everything is ready: only now is the engine's state replaced.
    if (hooked_) ReleaseSkinObjects();
    fileParams_ = params;
    filePicture_ = std::move(picture);
    dpi_ = dpi;
    params_ = scaled.parameters;
    skinPicture_ = std::move(scaled.picture);
    surface_ = std::move(surface);
    menuBar_.SetSkin(&params_, surface_.dc());

    if (hooked_) {
        ReapplySkin();
        InvalidateHookedFrame();
    }
    return true;
}

void ClsSkinner::SetDpi(int dpi) {
    if (dpi == dpi_ || !hasSkin()) {
        dpi_ = dpi;
        return;
    }
    // Without memory for the new size the frame stays at the old one.
    UseSkin(fileParams_, filePicture_, dpi);
}

void ClsSkinner::PaintClientArea(bool value) {
    paintClientArea_ = value;
    InvalidateHookedFrame();
}

void ClsSkinner::InvalidateHookedFrame() {
    if (!hooked_) return;
    RedrawWindow(hooked_, nullptr, nullptr, RDW_INVALIDATE);
    SetWindowPos(hooked_, nullptr, 0, 0, 0, 0, kRecalculateFrame);
}

}  // namespace tf::skin
