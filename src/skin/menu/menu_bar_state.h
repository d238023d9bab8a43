#pragma once
// What the skinned menu bar does, free of any window system: which item is
// hot, which is open, whether the menu loop runs, and what the pointer, the
// arrow keys, Escape and Alt+letter lead to. The Win32 menu bar turns its
// messages into these events, tells the facts only it can read (the item
// under the pointer, whether an item opens a popup or is disabled) and
// carries out the decision each event returns.
//
// Moving to another menu always goes the same way: the open popup is ended
// and the bar asks itself, through the window's message queue, to open the
// next one, so the next popup opens from the outer message loop, never
// inside the old one. A popup opened that way (or from the keyboard) shows
// its first item selected: the "reopen" flag posts it a Down key once its
// window is seen.
#include <cstdint>
#include <optional>

namespace tf::skin {

// What the Win32 menu bar knows about one top-level item.
struct MenuItemFacts {
    bool hasPopup = false;  // even when disabled: a disabled item's popup just never opens
    bool disabled = false;
};

// How the bar is painted: `hot` is the highlighted item (-1 none), drawn
// pressed while its menu is open.
struct MenuBarLook {
    std::int32_t hot = -1;
    bool pressed = false;

    friend bool operator==(const MenuBarLook& a, const MenuBarLook& b) {
        return a.hot == b.hot && a.pressed == b.pressed;
    }
};

enum class HoverTimer { kLeave, kRestart, kStop };
// A key posted to the open popup so its own menu handling moves.
enum class PopupKey { kNone, kDown, kLeft, kRight };

// Everything one event asks of the Win32 side. It is carried out in the
// order of the fields: the popup key, ending the popup, painting the bar,
// the frame, the hover timer, then the messages posted and the loop run.
struct MenuBarDecision {
    bool consumed = false;
    PopupKey popupKey = PopupKey::kNone;
    bool endPopup = false;
    std::optional<MenuBarLook> paint;
    bool paintFrame = false;
    HoverTimer hoverTimer = HoverTimer::kLeave;
    std::int32_t command = -1;       // post the item's command
    std::int32_t openRequest = -1;   // ask, through the queue, to open the item
    std::int32_t systemSwitch = -1;  // the system's menu mode lit the item: switch to it once that mode has ended
    std::int32_t runLoop = -1;       // run the menu loop from the item, now
};

class MenuBarState {
public:
    // The bar's items as laid out: their number, and whether a maximised
    // MDI child's icon slot and buttons are among them.
    void SetItems(std::int32_t count, bool mdiChildMaximised);
    // Idle, nothing hot or open; true when the loop was running (the popup
    // must then be ended).
    bool Reset();

    bool Tracking() const { return tracking_; }
    bool PopupOpen() const { return popupOpen_; }
    std::int32_t OpenItem() const { return openItem_; }
    std::int32_t HotItem() const { return hotItem_; }
    void ClearHotItem() { hotItem_ = -1; }

    // --- The pointer, the bar idle ------------------------------------------
    // `item` is the item under the pointer, -1 when it is off the bar.
    MenuBarDecision PointerMoved(std::int32_t item);
    // The hover timer's tick: false once the pointer has left the bar.
    bool KeepHovering(std::int32_t item);

    // --- Clicks ----------------------------------------------------------------
    MenuBarDecision ButtonDown(std::int32_t item, MenuItemFacts facts);
    MenuBarDecision ButtonUp(std::int32_t item, MenuItemFacts facts);

    // --- Keys --------------------------------------------------------------------
    // Left and Right while the loop runs. `popupMoves`: the open popup moves
    // by itself (Left inside a nested submenu closes it; Right on an item
    // with a submenu opens it).
    MenuBarDecision Left(bool popupMoves);
    MenuBarDecision Right(bool popupMoves);
    // Alt+letter named `item` (-1: no item has that letter).
    MenuBarDecision Accelerator(std::int32_t item);

    // --- Popups and requests -----------------------------------------------------
    // The open popup waits for input. `newPopupWindow`: its window is not the
    // one seen before; `item` is the item under the pointer.
    MenuBarDecision PopupIdle(bool newPopupWindow, std::int32_t item);
    // The bar's own request to open `item` arrived.
    MenuBarDecision OpenRequested(std::int32_t item, MenuItemFacts facts);
    // The system's menu mode on the hidden bar highlighted `lit` (-1 none).
    MenuBarDecision SystemHighlight(std::int32_t lit);
    // The deferred switch posted for a SystemHighlight.
    MenuBarDecision SystemSwitch(std::int32_t item);

    // --- The menu loop -------------------------------------------------------------
    // The loop starts from `start`, or from the item under the pointer when
    // `start` is negative. Returns the first item, -1 when there is none (the
    // loop then ends at once). Never nests: -1 while it runs.
    std::int32_t BeginLoop(std::int32_t start, std::int32_t underPointer);
    // The loop shows `item` pressed; with `popup` its popup opens next.
    MenuBarLook Show(std::int32_t item, bool popup);
    // The popup returned. True when it closed by itself (Escape, a command,
    // a click elsewhere) rather than for a switch.
    bool PopupClosed();
    // With no popup, the loop waits while the pointer rests on the item.
    bool KeepWaiting(std::int32_t underPointer) const { return tracking_ && underPointer == openItem_; }
    // The item the loop goes on with after a popup returned (`dismissed`,
    // see PopupClosed) or the pointer left a popup-less item; -1 ends the
    // loop, and the bar is then painted with nothing hot.
    std::int32_t Next(bool dismissed, std::int32_t underPointer);
    // The loop has ended.
    void EndLoop();
    // The application is quitting: the loop stops.
    void StopTracking() { tracking_ = false; }

private:
    MenuBarDecision Request(std::int32_t item);
    bool InRange(std::int32_t item) const { return item >= 0 && item < count_; }

    std::int32_t count_ = 0;
    bool mdiChildMaximised_ = false;
    bool tracking_ = false;
    bool popupOpen_ = false;
    bool switchRequested_ = false;  // the bar itself closed the popup to open another
    bool reopenPending_ = false;
    std::int32_t openItem_ = -1;
    std::int32_t hotItem_ = -1;
};

}  // namespace tf::skin
