#pragma once
// Geometry and keyboard rules of the skinned menu bar, free of any window
// system: where the bar and its items lie, where a highlight strip goes,
// which item a point or an accelerator key names, and where Left and Right
// lead. The Win32 menu bar measures the texts and asks these functions.
//
// Menu-bar coordinates: x from the bar's left end (which sits at window
// x = ActiveFrame left start Width), y from the window's top.
#include <cstdint>
#include <string>
#include <vector>

#include "skin/frame/frame_geometry.h"
#include "skin/format/skin_records.h"

namespace tf::skin {

// n / 2 rounded to the nearest integer, halves to the even neighbour.
std::int32_t HalveToEven(std::int32_t n);

// Where the bar's own coordinates start, in window coordinates: after the
// left frame's start piece, under the top frame's middle piece. The
// painting, the hit test, the item under the pointer and the popups all
// measure from here.
Point MenuBarOrigin(const SkinParameters& skin);

// Width of the window-wide bitmap the bar is painted into.
std::int32_t MenuBarSurfaceWidth(const SkinParameters& skin, std::int32_t windowWidth);

// The bar's own rectangle for a window of the given width.
Rect MenuBarRect(const SkinParameters& skin, std::int32_t windowWidth);

// The items of a maximised MDI child: item 0 holds the child's icon, the
// last three its minimise, restore and close buttons.
inline constexpr std::int32_t kMdiIconSlotWidth = 20;
inline constexpr std::int32_t kMdiButtonCount = 3;

// One rectangle per item, left to right from the bar's start piece. An
// item is as wide as its text plus room for the highlight's two ends (at
// least 10 pixels). With a maximised MDI child (and at least four items)
// the first item is the icon slot and the last three are squares of the
// bar's height at its right end.
std::vector<Rect> LayOutMenuBarItems(const SkinParameters& skin, std::int32_t windowWidth,
                                        const std::vector<std::int32_t>& textWidths, bool mdiChildMaximised);

// The item whose rectangle holds the point, -1 when none or off the bar.
std::int32_t MenuItemAt(const Rect& bar, const std::vector<Rect>& items, std::int32_t x, std::int32_t y);

// Where a highlight strip (hot or pressed) is drawn behind an item, in the
// bar bitmap's coordinates: the start piece at the item's left, the end
// piece at its right, the middle stretched between them.
struct HighlightPlacement {
    std::int32_t y = 0;
    std::int32_t startX = 0;
    std::int32_t middleX = 0, middleWidth = 0;
    std::int32_t endX = 0;
};
HighlightPlacement PlaceHighlight(const SkinParameters& skin, const EdgeStrip& highlight, const Rect& item);

// Top-left of the 16 x 16 child icon in the MDI icon slot.
struct IconPlacement {
    std::int32_t x = 0, y = 0;
};
IconPlacement PlaceMdiIcon(const SkinParameters& skin, const Rect& slot);

// The item whose text carries the key's character after its first "&",
// compared without case; -1 when none matches. `key` is a character code
// (its low 16 bits count).
std::int32_t FindAcceleratorItem(const std::vector<std::string>& texts, std::uint32_t key);

// The item Left and Right move to from the open one. With a maximised MDI
// child the last three items are buttons and are skipped.
std::int32_t ItemLeftOf(std::int32_t open, std::int32_t count, bool mdiChildMaximised);
std::int32_t ItemRightOf(std::int32_t open, std::int32_t count, bool mdiChildMaximised);

// The text colour of an item. A disabled item, and every item of an
// inactive window, takes the disabled colour.
struct ItemLook {
    bool highlighted = false;  // the hot or pressed item
    bool pressed = false;      // the bar is painted with its item open
    bool disabled = false;
    bool windowActive = true;
};
SkinColour MenuItemTextColour(const SkinParameters& skin, const ItemLook& look);

// The Webdings glyph standing for a maximised MDI child's button at
// `index`, or 0 when the item is no button.
char MdiButtonGlyph(std::int32_t index, std::int32_t count);

}  // namespace tf::skin
