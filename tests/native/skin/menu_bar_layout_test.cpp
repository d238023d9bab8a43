// Menu bar geometry and keyboard rules, on a skin whose pieces all differ in
// size so that a piece taken for another shows.
#include "skin/menu/menu_bar_layout.h"

#include <gtest/gtest.h>

namespace tf::skin {
namespace {

SkinPiece Piece(int w, int h) { return SkinPiece{1, 1, w, h}; }

SkinParameters TestSkin() {
    SkinParameters s;
    s.ActiveFrame[kLeft].pieces = {Piece(6, 30), Piece(4, 1), Piece(5, 8)};
    s.ActiveFrame[kTop].pieces = {Piece(40, 7), Piece(1, 26), Piece(50, 7)};
    s.ActiveFrame[kRight].pieces = {Piece(7, 30), Piece(4, 1), Piece(3, 8)};
    s.MenuBar.pieces = {Piece(9, 21), Piece(1, 20), Piece(11, 21)};
    s.MenuItemHot.pieces = {Piece(3, 16), Piece(1, 16), Piece(4, 16)};
    s.MenuItemPressed.pieces = {Piece(2, 18), Piece(1, 18), Piece(2, 18)};
    s.MenuTextColor = 0x000001;
    s.MenuTextColorHot = 0x000002;
    s.MenuTextColorPressed = 0x000003;
    s.MenuTextColorDisabled = 0x000004;
    return s;
}

TEST(MenuBarLayout, HalvesRoundToTheEvenNeighbour) {
    EXPECT_EQ(HalveToEven(4), 2);
    EXPECT_EQ(HalveToEven(1), 0);
    EXPECT_EQ(HalveToEven(3), 2);
    EXPECT_EQ(HalveToEven(5), 2);
    EXPECT_EQ(HalveToEven(-1), 0);
    EXPECT_EQ(HalveToEven(-3), -2);
    EXPECT_EQ(HalveToEven(-5), -2);
}

TEST(MenuBarLayout, BarSitsUnderTheCaptionAndEndsBeforeTheRightPieces) {
    const SkinParameters s = TestSkin();
    // right = 300 - (menu end 11 + right end 3 + left start 6)
    EXPECT_EQ(MenuBarRect(s, 300), (Rect{0, 26, 280, 46}));
    EXPECT_EQ(MenuBarSurfaceWidth(s, 300), 300 - 6 - 7);
}

TEST(MenuBarLayout, ItemsFollowTheirTextWidthsWithRoomForTheHighlightEnds) {
    SkinParameters s = TestSkin();
    auto items = LayOutMenuBarItems(s, 300, {20, 31}, false);
    ASSERT_EQ(items.size(), 2u);
    // Hot ends are 3 + 4 = 7 < 10: the padding is 10; x starts after the bar's start piece.
    EXPECT_EQ(items[0], (Rect{9, 26, 39, 46}));
    EXPECT_EQ(items[1], (Rect{39, 26, 80, 46}));

    s.MenuItemHot.pieces[kStart].Width = 8;
    s.MenuItemHot.pieces[kEnd].Width = 6;
    items = LayOutMenuBarItems(s, 300, {20}, false);
    EXPECT_EQ(items[0], (Rect{9, 26, 43, 46}));
    EXPECT_TRUE(LayOutMenuBarItems(s, 300, {}, false).empty());
}

TEST(MenuBarLayout, MaximisedMdiChildGetsAnIconSlotAndThreeSquaresAtTheRightEnd) {
    const SkinParameters s = TestSkin();
    const auto items = LayOutMenuBarItems(s, 300, {99, 20, 30, 5, 5, 5}, true);
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0], (Rect{9, 26, 29, 46}));
    EXPECT_EQ(items[1], (Rect{29, 26, 59, 46}));
    EXPECT_EQ(items[2], (Rect{59, 26, 99, 46}));
    EXPECT_EQ(items[3], (Rect{220, 26, 240, 46}));
    EXPECT_EQ(items[4], (Rect{240, 26, 260, 46}));
    EXPECT_EQ(items[5], (Rect{260, 26, 280, 46}));
    // A menu too short to hold the child's items is laid out as a plain one.
    EXPECT_EQ(LayOutMenuBarItems(s, 300, {20, 20}, true), LayOutMenuBarItems(s, 300, {20, 20}, false));
}

TEST(MenuBarLayout, PointsFindTheItemUnderThemInsideTheBarOnly) {
    const SkinParameters s = TestSkin();
    const Rect bar = MenuBarRect(s, 300);
    const auto items = LayOutMenuBarItems(s, 300, {20, 31}, false);
    EXPECT_EQ(MenuItemAt(bar, items, 9, 26), 0);
    EXPECT_EQ(MenuItemAt(bar, items, 38, 45), 0);
    EXPECT_EQ(MenuItemAt(bar, items, 39, 30), 1);
    EXPECT_EQ(MenuItemAt(bar, items, 80, 30), -1);  // past the last item
    EXPECT_EQ(MenuItemAt(bar, items, 8, 30), -1);   // on the start piece
    EXPECT_EQ(MenuItemAt(bar, items, 20, 25), -1);  // in the caption
    EXPECT_EQ(MenuItemAt(bar, items, 20, 46), -1);  // below the bar
    EXPECT_EQ(MenuItemAt(bar, {}, 20, 30), -1);
}

TEST(MenuBarLayout, HighlightIsCentredOnTheBarWithTheMiddleStretchedBetweenItsEnds) {
    const SkinParameters s = TestSkin();
    const Rect item{9, 26, 39, 46};
    // (21 - 16) / 2 = 2.5 -> 2
    auto hot = PlaceHighlight(s, s.MenuItemHot, item);
    EXPECT_EQ(hot.y, 2);
    EXPECT_EQ(hot.startX, 9);
    EXPECT_EQ(hot.middleX, 12);
    EXPECT_EQ(hot.endX, 35);
    EXPECT_EQ(hot.middleWidth, 23);
    // (21 - 18) / 2 = 1.5 -> 2
    EXPECT_EQ(PlaceHighlight(s, s.MenuItemPressed, item).y, 2);
    // An item narrower than the two ends gets no middle.
    EXPECT_EQ(PlaceHighlight(s, s.MenuItemHot, Rect{9, 26, 14, 46}).middleWidth, 0);
    // (20 - 16) / 2 = 2; the icon sits 2 pixels into its slot.
    const IconPlacement icon = PlaceMdiIcon(s, item);
    EXPECT_EQ(icon.x, 11);
    EXPECT_EQ(icon.y, 2);
}

TEST(MenuBarAccelerators, TheCharacterAfterTheFirstAmpersandMatchesWithoutCase) {
    const std::vector<std::string> texts = {"&File", "&Edit", "Fo&rmat", "A&&&B", "Trailing&", "No mark"};
    EXPECT_EQ(FindAcceleratorItem(texts, 'F'), 0);
    EXPECT_EQ(FindAcceleratorItem(texts, 'f'), 0);
    EXPECT_EQ(FindAcceleratorItem(texts, 0x00450065), 1);  // only the low 16 bits count
    EXPECT_EQ(FindAcceleratorItem(texts, 'R'), 2);
    EXPECT_EQ(FindAcceleratorItem(texts, '&'), 3);  // two "&": the character after the first
    EXPECT_EQ(FindAcceleratorItem(texts, 'b'), -1);
    EXPECT_EQ(FindAcceleratorItem(texts, 'n'), -1);
    EXPECT_EQ(FindAcceleratorItem(texts, 0), -1);
    EXPECT_EQ(FindAcceleratorItem({}, 'f'), -1);
    EXPECT_EQ(FindAcceleratorItem({"&x", "&X"}, 'X'), 0);  // the first match wins
}

TEST(MenuBarKeys, LeftAndRightWrapAtTheEnds) {
    EXPECT_EQ(ItemLeftOf(0, 4, false), 3);
    EXPECT_EQ(ItemLeftOf(2, 4, false), 1);
    EXPECT_EQ(ItemRightOf(3, 4, false), 0);
    EXPECT_EQ(ItemRightOf(1, 4, false), 2);
    EXPECT_EQ(ItemRightOf(0, 1, false), 0);
    EXPECT_EQ(ItemLeftOf(0, 0, false), -1);
}

TEST(MenuBarKeys, MaximisedMdiChildButtonsAreSkipped) {
    // Icon item, File, Edit, then minimise, restore, close.
    EXPECT_EQ(ItemLeftOf(0, 6, true), 2);
    EXPECT_EQ(ItemLeftOf(1, 6, true), 0);
    EXPECT_EQ(ItemRightOf(2, 6, true), 0);
    EXPECT_EQ(ItemRightOf(0, 6, true), 1);
}

TEST(MenuBarLook, DisabledAndInactiveWinOverHotAndPressed) {
    const SkinParameters s = TestSkin();
    EXPECT_EQ(MenuItemTextColour(s, {}), s.MenuTextColor);
    EXPECT_EQ(MenuItemTextColour(s, {true, false, false, true}), s.MenuTextColorHot);
    EXPECT_EQ(MenuItemTextColour(s, {true, true, false, true}), s.MenuTextColorPressed);
    EXPECT_EQ(MenuItemTextColour(s, {false, true, false, true}), s.MenuTextColor);
    EXPECT_EQ(MenuItemTextColour(s, {true, true, true, true}), s.MenuTextColorDisabled);
    EXPECT_EQ(MenuItemTextColour(s, {true, false, false, false}), s.MenuTextColorDisabled);
}

TEST(MenuBarLook, MdiButtonsShowMinimiseRestoreClose) {
    EXPECT_EQ(MdiButtonGlyph(3, 6), '0');
    EXPECT_EQ(MdiButtonGlyph(4, 6), '2');
    EXPECT_EQ(MdiButtonGlyph(5, 6), 'r');
    EXPECT_EQ(MdiButtonGlyph(2, 6), 0);
    EXPECT_EQ(MdiButtonGlyph(6, 6), 0);
    EXPECT_EQ(MdiButtonGlyph(0, 3), 0);
}

}  // namespace
}  // namespace tf::skin
