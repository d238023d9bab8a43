#include "skin/menu/menu_bar_state.h"

#include "skin/menu/menu_bar_layout.h"

namespace tf::skin {

void MenuBarState::SetItems(std::int32_t count, bool mdiChildMaximised) {
    count_ = count < 0 ? 0 : count;
    mdiChildMaximised_ = mdiChildMaximised;
}

bool MenuBarState::Reset() {
    const bool wasTracking = tracking_;
    tracking_ = popupOpen_ = switchRequested_ = reopenPending_ = false;
    openItem_ = hotItem_ = -1;
    return wasTracking;
}

// --- The pointer -----------------------------------------------------------------

MenuBarDecision MenuBarState::PointerMoved(std::int32_t item) {
    MenuBarDecision d;
    if (tracking_) return d;  // the loop follows the pointer itself
    if (item < 0 && hotItem_ >= 0) {
        d.paint = MenuBarLook{-1, false};
        d.hoverTimer = HoverTimer::kStop;
        hotItem_ = -1;
    } else if (item >= 0 && item != hotItem_) {
        d.paint = MenuBarLook{item, false};
        d.hoverTimer = HoverTimer::kRestart;
        hotItem_ = item;
    }
    return d;
}

bool MenuBarState::KeepHovering(std::int32_t item) {
    if (item >= 0) return true;
    hotItem_ = -1;
    return false;
}

// --- Clicks ------------------------------------------------------------------------

MenuBarDecision MenuBarState::ButtonDown(std::int32_t item, MenuItemFacts facts) {
    MenuBarDecision d;
    if (item < 0) return d;
    d.consumed = true;
    if (!tracking_)
        d.runLoop = item;
    else if (facts.hasPopup)
        tracking_ = false;  // the click closes the open popup, and the loop ends with it
    else
        d.paint = MenuBarLook{item, true};
    return d;
}

MenuBarDecision MenuBarState::ButtonUp(std::int32_t item, MenuItemFacts facts) {
    MenuBarDecision d;
    if (item < 0) return d;
    d.consumed = true;
    // An item without a popup acts on the release, as a button does.
    if (tracking_ && !facts.hasPopup) {
        d.paint = MenuBarLook{item, false};
        if (!facts.disabled) d.command = item;
        tracking_ = false;
    }
    return d;
}

// --- Keys ----------------------------------------------------------------------------

MenuBarDecision MenuBarState::Request(std::int32_t item) {
    MenuBarDecision d;
    d.consumed = true;
    d.endPopup = true;
    d.openRequest = item;
    tracking_ = false;
    reopenPending_ = true;
    return d;
}

MenuBarDecision MenuBarState::Left(bool popupMoves) {
    if (!tracking_) return {};
    if (popupOpen_ && popupMoves) {
        MenuBarDecision d;
        d.consumed = true;
        d.popupKey = PopupKey::kLeft;
        return d;
    }
    return Request(ItemLeftOf(openItem_, count_, mdiChildMaximised_));
}

MenuBarDecision MenuBarState::Right(bool popupMoves) {
    if (!tracking_) return {};
    if (popupOpen_ && popupMoves) {
        MenuBarDecision d;
        d.consumed = true;
        d.popupKey = PopupKey::kRight;
        return d;
    }
    return Request(ItemRightOf(openItem_, count_, mdiChildMaximised_));
}

MenuBarDecision MenuBarState::Accelerator(std::int32_t item) {
    MenuBarDecision d;
    d.consumed = true;  // Alt+letter never reaches the platform's own menu mode
    if (item < 0) return d;
    if (tracking_) {
        if (item != openItem_) return Request(item);
        return d;
    }
    reopenPending_ = true;
    d.runLoop = item;
    return d;
}

// --- Popups and requests ---------------------------------------------------------------

MenuBarDecision MenuBarState::PopupIdle(bool newPopupWindow, std::int32_t item) {
    MenuBarDecision d;
    if (!tracking_) return d;
    d.consumed = true;
    if (reopenPending_ && newPopupWindow) {
        d.popupKey = PopupKey::kDown;  // a popup opened from the keyboard shows its first item
        reopenPending_ = false;
    }
    if (item >= 0 && item != openItem_ && popupOpen_) {
        switchRequested_ = true;
        d.endPopup = true;  // the loop opens the item under the pointer
    }
    return d;
}

MenuBarDecision MenuBarState::OpenRequested(std::int32_t item, MenuItemFacts facts) {
    MenuBarDecision d;
    d.consumed = true;
    if (!InRange(item)) return d;
    if (facts.hasPopup) {
        d.paintFrame = true;
        d.runLoop = item;
    } else if (!facts.disabled) {
        d.command = item;
    }
    return d;
}

MenuBarDecision MenuBarState::SystemHighlight(std::int32_t lit) {
    MenuBarDecision d;
    d.consumed = true;
    if (lit != hotItem_) {
        hotItem_ = lit;
        d.systemSwitch = lit;
    }
    return d;
}

MenuBarDecision MenuBarState::SystemSwitch(std::int32_t item) {
    MenuBarDecision d;
    d.consumed = true;
    d.endPopup = true;
    d.paintFrame = true;
    d.openRequest = item;
    reopenPending_ = true;
    return d;
}

// --- The menu loop ---------------------------------------------------------------------

std::int32_t MenuBarState::BeginLoop(std::int32_t start, std::int32_t underPointer) {
    if (tracking_) return -1;
    const std::int32_t item = start < 0 ? underPointer : start;
    tracking_ = InRange(item);
    return tracking_ ? item : -1;
}

MenuBarLook MenuBarState::Show(std::int32_t item, bool popup) {
    openItem_ = item;
    if (popup) {
        switchRequested_ = false;
        popupOpen_ = true;
    }
    return MenuBarLook{item, true};
}

bool MenuBarState::PopupClosed() {
    popupOpen_ = false;
    return !switchRequested_;
}

std::int32_t MenuBarState::Next(bool dismissed, std::int32_t underPointer) {
    // A popup closed by Escape, a command or a click elsewhere ends the loop
    // even with the pointer resting on the bar.
    const std::int32_t item = dismissed ? -1 : underPointer;
    if (!InRange(item)) tracking_ = false;
    return tracking_ ? item : -1;
}

void MenuBarState::EndLoop() { hotItem_ = -1; }

}  // namespace tf::skin
