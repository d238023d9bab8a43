#pragma once
// ClsSkinner: the window skin engine. One object skins one window: it loads a
// skin file, intercepts the window's messages (and its MDI client's), paints
// the frame, caption and caption buttons from the skin picture, hit-tests
// them, and draws the menu bar. The class is split across files by concern:
//   skinner_state_win.cpp      skin files, the skin surface, PaintClientArea
//   skinner_subclass_win.cpp   message interception and the timer adaptor
//   skinner_frame_win.cpp      HookForm/UnHookForm, skin objects, frame painting
//   skinner_buttons_win.cpp    hit-testing, caption buttons, the hover timer
//   skinner_menu_win.cpp       the skinned menu bar and its keyboard handling
// Everything runs on the GUI thread.
#include <windows.h>

#include <memory>
#include <string>

#include "platform/event_log.h"
#include "platform/message_sink.h"
#include "platform/win32/unique_handle.h"
#include "skin/skin_records.h"

namespace tf::skin {

// What the engine asks of the world. Null services are replaced by the real
// ones (message boxes, the application event log); tests pass recorders.
struct SkinnerServices {
    platform::MessageSink* messages = nullptr;
    platform::EventLog* eventLog = nullptr;
};

class ClsSkinner {
public:
    explicit ClsSkinner(SkinnerServices services = {});
    ~ClsSkinner();  // unhooks and deletes the skin surface
    ClsSkinner(const ClsSkinner&) = delete;
    ClsSkinner& operator=(const ClsSkinner&) = delete;

    // --- Skin file and state (skinner_state_win.cpp) ---------------------
    bool LoadSkinFromFile(const std::string& filename);
    // Both identifiers go to the resource loader as given (MAKEINTRESOURCE
    // values or names).
    bool LoadSkinFromResource(const char* ResIndex, const char* ResSection);
    bool PaintClientArea() const { return paintClientArea_; }
    void PaintClientArea(bool value);

    // --- Frame (skinner_frame_win.cpp) -----------------------------------
    bool HookForm(HWND hwnd);
    void UnHookForm(HWND hwnd);

private:
    // --- Skin file and state --------------------------------------------
    bool hasSkin() const { return static_cast<bool>(surface_); }

    SkinnerServices services_;
    std::unique_ptr<platform::MessageSink> ownMessages_;
    std::unique_ptr<platform::EventLog> ownEventLog_;
    SkinSignatureRecord signature_{};
    SkinParameters params_{};
    platform::win32::UniqueBitmap picture_;
    platform::win32::UniqueMemoryDc surface_;  // holds picture_ while both exist
    HGDIOBJ surfaceOldBitmap_ = nullptr;
    bool paintClientArea_ = false;

    // --- Interception ----------------------------------------------------

    // --- Frame and caption buttons ---------------------------------------
    HWND hooked_ = nullptr;

    // --- Menus -------------------------------------------------------------
};

}  // namespace tf::skin
