// The engine's skin state: the services, the skin surface and the
// PaintClientArea property.
#include "platform/win32/desktop_services_win.h"
#include "platform/win32/event_log_win.h"
#include "skin/cls_skinner_win.h"

namespace tf::skin {

namespace {
// SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOOWNERZORDER
constexpr UINT kRecalculateFrame = 0x227;
}  // namespace

ClsSkinner::ClsSkinner(SkinnerServices services) : services_(services) {
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
    DetachRecords();
    if (surface_ && surfaceOldBitmap_) SelectObject(surface_.get(), surfaceOldBitmap_);
}

void ClsSkinner::PaintClientArea(bool value) {
    paintClientArea_ = value;
    if (!hooked_) return;
    RedrawWindow(hooked_, nullptr, nullptr, RDW_INVALIDATE);
    SetWindowPos(hooked_, nullptr, 0, 0, 0, 0, kRecalculateFrame);
}

}  // namespace tf::skin
