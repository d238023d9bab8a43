// The menu bar's decisions, driven as the Win32 bar drives them: the loop
// shows an item, its popup runs, and the messages that arrive meanwhile are
// events.
#include "skin/menu/menu_bar_state.h"

#include <gtest/gtest.h>

namespace tf::skin {
namespace {

constexpr MenuItemFacts kPopup{true, false};
constexpr MenuItemFacts kCommand{false, false};

// File, Edit, View, Help.
class MenuBarStateTest : public ::testing::Test {
protected:
    void SetUp() override { state.SetItems(4, false); }

    // The loop's start, as a click or a request makes it: the item shown
    // pressed with its popup open.
    void OpenLoopAt(std::int32_t item) {
        ASSERT_EQ(state.BeginLoop(item, -1), item);
        EXPECT_EQ(state.Show(item, true), (MenuBarLook{item, true}));
        ASSERT_TRUE(state.Tracking());
        ASSERT_TRUE(state.PopupOpen());
    }

    MenuBarState state;
};

TEST_F(MenuBarStateTest, ClickOpensThePointerSwitchesAndAClickOnTheOpenItemCloses) {
    MenuBarDecision d = state.ButtonDown(0, kPopup);
    EXPECT_TRUE(d.consumed);
    EXPECT_EQ(d.runLoop, 0);
    OpenLoopAt(0);

    // Idle in File's popup with the pointer still on File: nothing to do.
    d = state.PopupIdle(true, 0);
    EXPECT_TRUE(d.consumed);
    EXPECT_FALSE(d.endPopup);
    EXPECT_EQ(d.popupKey, PopupKey::kNone);  // a click shows no first item
    // The pointer reaches View: the popup is ended for a switch, and the
    // loop goes on with the item under the pointer.
    d = state.PopupIdle(false, 2);
    EXPECT_TRUE(d.endPopup);
    EXPECT_FALSE(state.PopupClosed());
    EXPECT_EQ(state.Next(false, 2), 2);
    state.Show(2, true);
    EXPECT_EQ(state.OpenItem(), 2);

    // A click on View, the open item, closes its popup and ends the loop.
    d = state.ButtonDown(2, kPopup);
    EXPECT_TRUE(d.consumed);
    EXPECT_EQ(d.runLoop, -1);
    EXPECT_FALSE(state.Tracking());
    state.PopupClosed();
    state.EndLoop();
    // No longer tracking: the next click starts a loop again.
    EXPECT_EQ(state.ButtonDown(1, kPopup).runLoop, 1);
    // Off the bar a click is the window's.
    EXPECT_FALSE(state.ButtonDown(-1, kPopup).consumed);
}

TEST_F(MenuBarStateTest, EscapeClosesThePopupAndLeavesTheBarEvenWithThePointerOnIt) {
    OpenLoopAt(1);
    EXPECT_TRUE(state.PopupClosed());  // closed by itself, not for a switch
    EXPECT_EQ(state.Next(true, 1), -1);
    EXPECT_FALSE(state.Tracking());
    state.EndLoop();
    EXPECT_EQ(state.HotItem(), -1);
    // With the loop gone, arrows and idle messages are not the bar's.
    EXPECT_FALSE(state.Left(false).consumed);
    EXPECT_FALSE(state.PopupIdle(true, 1).consumed);
}

TEST_F(MenuBarStateTest, LeftAndRightWrapAndSkipTheMaximisedChildsButtons) {
    OpenLoopAt(0);
    MenuBarDecision d = state.Left(false);
    EXPECT_TRUE(d.endPopup);
    EXPECT_EQ(d.openRequest, 3);
    EXPECT_FALSE(state.Tracking());  // the request opens the next popup from the outer loop

    OpenLoopAt(3);
    EXPECT_EQ(state.Right(false).openRequest, 0);

    // Icon slot, four menus, three buttons: Left from the icon slot lands on
    // the last menu, Right from it back on the slot.
    state.SetItems(8, true);
    OpenLoopAt(0);
    EXPECT_EQ(state.Left(false).openRequest, 4);
    OpenLoopAt(4);
    EXPECT_EQ(state.Right(false).openRequest, 0);

    // Where the popup moves by itself (a nested submenu), the key goes to it.
    OpenLoopAt(2);
    d = state.Right(true);
    EXPECT_EQ(d.popupKey, PopupKey::kRight);
    EXPECT_EQ(d.openRequest, -1);
    EXPECT_FALSE(d.endPopup);
    EXPECT_TRUE(state.Tracking());
}

TEST_F(MenuBarStateTest, AltLetterOpensWithTheFirstItemSelectedOnceAndSwitchesWhileOpen) {
    MenuBarDecision d = state.Accelerator(2);
    EXPECT_EQ(d.runLoop, 2);
    OpenLoopAt(2);
    // The reopen protocol: the popup's window, once seen, gets one Down.
    EXPECT_EQ(state.PopupIdle(true, -1).popupKey, PopupKey::kDown);
    EXPECT_EQ(state.PopupIdle(false, -1).popupKey, PopupKey::kNone);
    EXPECT_EQ(state.PopupIdle(true, -1).popupKey, PopupKey::kNone);

    // Another letter while open switches through a request; the same one
    // does nothing; one no item has is eaten all the same.
    EXPECT_EQ(state.Accelerator(2).openRequest, -1);
    EXPECT_TRUE(state.Accelerator(-1).consumed);
    d = state.Accelerator(0);
    EXPECT_TRUE(d.endPopup);
    EXPECT_EQ(d.openRequest, 0);
    state.PopupClosed();
    state.EndLoop();

    // The request arrives: the loop runs again, and its popup gets its Down.
    d = state.OpenRequested(0, kPopup);
    EXPECT_TRUE(d.paintFrame);
    EXPECT_EQ(d.runLoop, 0);
    OpenLoopAt(0);
    EXPECT_EQ(state.PopupIdle(true, -1).popupKey, PopupKey::kDown);

    // A request for an item without a popup is its command; disabled, nothing.
    EXPECT_EQ(state.OpenRequested(1, kCommand).command, 1);
    const MenuBarDecision disabled = state.OpenRequested(1, MenuItemFacts{false, true});
    EXPECT_EQ(disabled.command, -1);
    EXPECT_EQ(disabled.runLoop, -1);
    EXPECT_EQ(state.OpenRequested(4, kPopup).runLoop, -1);  // past the last item
}

TEST_F(MenuBarStateTest, SystemMenuModeHighlightSwitchesOnceToTheEnginesPopupWithItsFirstItem) {
    EXPECT_EQ(state.SystemHighlight(1).systemSwitch, 1);
    EXPECT_EQ(state.SystemHighlight(1).systemSwitch, -1);  // the same highlight again
    const MenuBarDecision d = state.SystemSwitch(1);
    EXPECT_TRUE(d.endPopup);
    EXPECT_EQ(d.openRequest, 1);
    state.OpenRequested(1, kPopup);
    OpenLoopAt(1);
    EXPECT_EQ(state.PopupIdle(true, -1).popupKey, PopupKey::kDown);
}

TEST_F(MenuBarStateTest, ItemWithoutPopupActsOnReleaseAndAHoverFollowsThePointer) {
    ASSERT_EQ(state.BeginLoop(3, -1), 3);
    state.Show(3, false);
    EXPECT_TRUE(state.KeepWaiting(3));
    EXPECT_EQ(state.ButtonDown(3, kCommand).paint, (MenuBarLook{3, true}));
    MenuBarDecision d = state.ButtonUp(3, kCommand);
    EXPECT_EQ(d.command, 3);
    EXPECT_EQ(d.paint, (MenuBarLook{3, false}));
    EXPECT_FALSE(state.KeepWaiting(3));
    state.EndLoop();
    // Released on a disabled item, the loop ends without its command.
    ASSERT_EQ(state.BeginLoop(1, -1), 1);
    state.Show(1, false);
    EXPECT_EQ(state.ButtonUp(1, MenuItemFacts{false, true}).command, -1);
    EXPECT_FALSE(state.Tracking());
    state.EndLoop();

    // Idle, the pointer makes items hot and the hover timer watches it leave.
    d = state.PointerMoved(2);
    EXPECT_EQ(d.paint, (MenuBarLook{2, false}));
    EXPECT_EQ(d.hoverTimer, HoverTimer::kRestart);
    EXPECT_FALSE(state.PointerMoved(2).paint.has_value());
    EXPECT_TRUE(state.KeepHovering(2));
    EXPECT_FALSE(state.KeepHovering(-1));
    EXPECT_EQ(state.HotItem(), -1);
    EXPECT_FALSE(state.PointerMoved(-1).paint.has_value());  // nothing hot to clear
    state.PointerMoved(1);
    EXPECT_EQ(state.PointerMoved(-1).hoverTimer, HoverTimer::kStop);
}

}  // namespace
}  // namespace tf::skin
