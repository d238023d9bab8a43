#pragma once
// ClsSkinner: the window skin engine. One object skins one window: it loads a
// skin file, intercepts the window's messages (and its MDI client's), paints
// the frame, caption and caption buttons from the skin picture, hit-tests
// them, and draws the menu bar. Interception is a MessageInterceptor of its
// own; the class is split across files by concern:
//   skinner_state_win.cpp      skin files, the skin surface, PaintClientArea
//   skinner_subclass_win.cpp   the interception members and the timer adaptor
//   skinner_frame_win.cpp      HookForm/UnHookForm, skin objects, frame painting
//   skinner_buttons_win.cpp    hit-testing, caption buttons, the hover timer
//   skinner_menu_win.cpp       the skinned menu bar and its keyboard handling
// Everything runs on the GUI thread.
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/event_log.h"
#include "platform/message_sink.h"
#include "platform/win32/unique_handle.h"
#include "skin/frame/close_key_win.h"
#include "skin/frame/frame_geometry.h"
#include "skin/frame/frame_painter_win.h"
#include "skin/interception/intercept_record_win.h"
#include "skin/interception/message_interceptor_win.h"
#include "skin/menu/menu_bar_win.h"
#include "skin/format/skin_file.h"
#include "skin/format/skin_records.h"

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
    // A file that is there but refused leaves the skin in force and writes
    // the reason to the event log; a missing file is no error.
    bool LoadSkinFromFile(const std::string& filename);
    // Both identifiers go to the resource loader as given (MAKEINTRESOURCE
    // values or names).
    bool LoadSkinFromResource(const char* ResIndex, const char* ResSection);
    bool PaintClientArea() const { return paintClientArea_; }
    void PaintClientArea(bool value);
    // The skin in force: its parameters and the surface that holds its
    // picture (null before the first load), scaled to the hooked window's
    // DPI (96 DPI until a window is hooked).
    const SkinParameters& Parameters() const { return params_; }
    HDC SkinSurface() const { return surface_.dc(); }
    int Dpi() const { return dpi_; }
    // Scales the skin to `dpi` (HookForm and a DPI change call it).
    void SetDpi(int dpi);

    // --- Frame (skinner_frame_win.cpp) -----------------------------------
    bool HookForm(HWND hwnd);
    void UnHookForm(HWND hwnd);

    // What the frame shows, for tests and tools.
    HWND HookedWindow() const { return hooked_; }
    // Minimise, maximise, restore, close, indexed by CaptionButton.
    const std::array<ButtonState, 4>& ButtonStates() const { return buttonStates_; }
    bool HoverTimerRunning() const { return hoverTimerRunning_; }
    // The skinned menu bar (idle while nothing is hooked).
    const MenuBar& Menus() const { return menuBar_; }

    // --- Interception (MessageInterceptor; skinner_subclass_win.cpp) -------
    // The engine intercepts its hooked window and that window's MDI client
    // with its own handlers; any other caller (tests, tools) may intercept a
    // window of this process with a handler of its own. Every error is
    // reported (event log, then message box) under the routine's name and
    // the operation then does nothing.
    enum MsgWhen : int {
        MSG_BEFORE = MessageInterceptor::kBefore,
        MSG_AFTER = MessageInterceptor::kAfter,
        MSG_BEFORE_AND_AFTER = MessageInterceptor::kBeforeAndAfter
    };
    // The method ordinal of TimerProc for MakeCallback.
    static constexpr int kTimerProcOrdinal = 1;

    // Puts an interception record with empty tables in front of the window's
    // procedure. unicode asks for a Unicode record, made when the window is
    // a Unicode window.
    bool Subclass(HWND lng_hWnd, LONG_PTR userValue, SubclassHandler callback, bool unicode = false);
    // uMsg ALL_MESSAGES (-1) registers every message / empties the table;
    // When is a combination of MSG_BEFORE and MSG_AFTER.
    void AddMsg(HWND lng_hWnd, UINT uMsg, int When);
    void DelMsg(HWND lng_hWnd, UINT uMsg, int When);
    // The window's previous procedure; 0 when the window has no record.
    LRESULT CallOldWndProc(HWND lng_hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    LONG_PTR GetWindowUserValue(HWND lng_hWnd);
    void SetWindowUserValue(HWND lng_hWnd, LONG_PTR userValue);
    // Removes the interception; while a dispatch through the window's record
    // is running the record goes when the outermost one ends.
    void ReleaseWindow(HWND lng_hWnd);
    void ReleaseAll();  // last intercepted first
    // A plain timer procedure that calls the engine's method `ordinal` with
    // the same `paramCount` arguments; the same one for the same ordinal until
    // ReleaseAdaptors. Only kTimerProcOrdinal (four arguments) exists. The
    // caller kills its timers before releasing the adaptors.
    TIMERPROC MakeCallback(int paramCount, int ordinal);
    void ReleaseAdaptors();

private:
    // --- Skin file and state --------------------------------------------
    bool hasSkin() const { return static_cast<bool>(surface_); }
    // The load from a skin file's bytes, after the file was found; nothing
    // of the engine's state changes unless it succeeds, and `reason` then
    // says why not.
    bool LoadSkinBytes(const std::uint8_t* data, std::size_t size, std::string& reason);
    // Puts a skin as read from its file in force at `dpi`; false (nothing
    // changed) without memory for its surface.
    bool UseSkin(const SkinParameters& params, SkinPicture picture, int dpi);
    // Invalidates the whole hooked window and makes it recalculate its frame.
    void InvalidateHookedFrame();

    SkinnerServices services_;
    std::unique_ptr<platform::MessageSink> ownMessages_;
    std::unique_ptr<platform::EventLog> ownEventLog_;
    SkinParameters fileParams_{};  // as read, for 96 DPI
    SkinPicture filePicture_;
    int dpi_ = 96;
    SkinParameters params_{};  // at dpi_
    SkinPicture skinPicture_;  // the picture's pixels at dpi_, for building regions
    platform::win32::BitmapDc surface_;  // skinPicture_, for painting
    bool paintClientArea_ = false;

    // --- Interception ----------------------------------------------------
    using HandlerMethod = void (ClsSkinner::*)(bool bBefore, bool& bHandled, LRESULT& lReturn, HWND lng_hWnd,
                                               UINT uMsg, WPARAM wParam, LPARAM lParam, LONG_PTR& userValue);
    // Intercepts with one of the engine's own handlers (WindowHandler,
    // MdiClientHandler).
    bool Subclass(HWND lng_hWnd, LONG_PTR userValue, HandlerMethod handler, bool unicode = false);
    void ReportError(const char* routine, const std::string& message);
    static void RunTimerAdaptor(void* engine, HWND hwnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);

    MessageInterceptor interceptor_{
        [this](const char* routine, const std::string& message) { ReportError(routine, message); }};

    // The engine's handlers (skinner_frame_win.cpp, skinner_buttons_win.cpp,
    // skinner_menu_win.cpp).
    void WindowHandler(bool bBefore, bool& bHandled, LRESULT& lReturn, HWND lng_hWnd, UINT uMsg, WPARAM wParam,
                       LPARAM lParam, LONG_PTR& userValue);
    void MdiClientHandler(bool bBefore, bool& bHandled, LRESULT& lReturn, HWND lng_hWnd, UINT uMsg, WPARAM wParam,
                          LPARAM lParam, LONG_PTR& userValue);
    // The hover timer, called through MakeCallback(4, kTimerProcOrdinal).
    void TimerProc(HWND hwnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);

    // --- Frame (skinner_frame_win.cpp) -------------------------------------
    // Fonts, regions, icon and class style built from the skin for the
    // hooked window.
    void BuildSkinObjects();
    void ReleaseSkinObjects();
    // A new skin while hooked: the menu background, the skin objects and the
    // window region again.
    void ReapplySkin();
    void ReadCaptionText();
    void FetchIcon();
    FrameStyle Style() const;
    bool IsMdiChild() const { return (exStyle_ & WS_EX_MDICHILD) != 0; }
    bool InterceptMdiClient();  // false: not intercepted, unchanged
    // The window region and the buttons' hit regions for the current size.
    void ApplyWindowShape();
    void ResetButtonStates();  // normal while active, inactive while not
    void PaintFrame();
    // Client painting of the window or its MDI client; false: left to it.
    bool PaintClient(HWND target, UINT uMsg, WPARAM wParam, LRESULT& lReturn);
    void OnSize(bool& bHandled);
    void OnNcCalcSize(bool& bHandled, LRESULT& lReturn, WPARAM wParam, LPARAM lParam);
    void OnActivation(bool bBefore, bool& bHandled, LRESULT& lReturn, UINT uMsg, WPARAM wParam);
    void OnGetMinMaxInfo(bool& bHandled, LRESULT& lReturn, LPARAM lParam);

    // --- Caption buttons (skinner_buttons_win.cpp) -------------------------
    Point WindowPoint(POINT screen) const;
    Point WindowPoint(LPARAM screenPoint) const;
    Point WindowSize() const;
    int ButtonAt(Point at) const;  // the first hit region holding the point, -1 none
    void SetButtonState(int button, ButtonState state);
    void OnNcHitTest(bool& bHandled, LRESULT& lReturn, LPARAM lParam);
    void OnNcMouseMove(bool& bHandled, LRESULT& lReturn, WPARAM wParam, LPARAM lParam);
    void OnNcLButtonDown(bool bBefore, bool& bHandled, LRESULT& lReturn, WPARAM wParam, LPARAM lParam);
    void OnNcLButtonUp(bool& bHandled, LRESULT& lReturn, WPARAM wParam, LPARAM lParam);
    UINT_PTR HoverTimerId() const;
    void StartHoverTimer();
    void StopHoverTimer();

    HWND hooked_ = nullptr;
    HWND mdiClient_ = nullptr;
    bool windowIntercepted_ = false;
    bool mdiClientIntercepted_ = false;
    bool destroying_ = false;  // UnHookForm from WM_DESTROY
    LONG_PTR style_ = 0;
    LONG_PTR exStyle_ = 0;
    std::int32_t windowWidth_ = 0, windowHeight_ = 0;
    bool active_ = false;
    std::array<ButtonState, 4> buttonStates_{};
    PieceRegions pieceRegions_;  // ActiveFrame pieces, edge order then piece order
    std::array<platform::win32::UniqueRegion, 4> buttonShapes_;
    std::array<platform::win32::UniqueRegion, 4> buttonHits_;  // window coordinates
    platform::win32::UniqueFont captionFont_;
    platform::win32::UniqueFont menuFont_;
    std::string captionText_;
    platform::win32::UniqueIcon icon_;
    bool classStyleSaved_ = false;
    ULONG_PTR savedClassStyle_ = 0;
    WPARAM lastHitCode_ = 0;
    bool hoverTimerRunning_ = false;
    std::unique_ptr<CloseOnAltF4> closeKey_;  // top-level windows only

    // --- Menus (skinner_menu_win.cpp) --------------------------------------
    // What the menu bar asks of the frame.
    MenuBarHost MenuHost();
    // The menu bar's message cases; true when consumed.
    bool MenuMessage(LRESULT& lReturn, UINT uMsg, WPARAM wParam, LPARAM lParam);
    // A menu the window keeps on itself (the skin leaves menus their system
    // colour): its height in the frame, painted under the caption.
    bool HasNativeMenuBar() const;
    std::int32_t NativeMenuBarHeight() const;
    void PaintNativeMenuBar(HDC window);
    // The point (window coordinates) is on a menu bar, the engine's or the
    // window's own.
    bool InMenuBar(Point at) const;
    // Height between the caption and the client area.
    std::int32_t MenuBarHeight() const;

    MenuBar menuBar_;
};

}  // namespace tf::skin
