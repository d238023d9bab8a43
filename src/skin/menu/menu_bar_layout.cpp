#include "skin/menu/menu_bar_layout.h"

#include <algorithm>

namespace tf::skin {
namespace {

const EdgeStrip& Strip(const SkinParameters& skin, Edge edge) { return skin.ActiveFrame[edge]; }

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool HasMdiSlots(std::int32_t count, bool mdiChildMaximised) {
    return mdiChildMaximised && count >= 1 + kMdiButtonCount;
}

}  // namespace

std::int32_t HalveToEven(std::int32_t n) {
    const std::int64_t wide = n;
    std::int64_t half = wide / 2;               // toward zero
    if (wide % 2 != 0) {
        const std::int64_t away = wide < 0 ? half - 1 : half + 1;
        if (away % 2 == 0) half = away;          // of the two neighbours, the even one
    }
    return static_cast<std::int32_t>(half);
}

Point MenuBarOrigin(const SkinParameters& skin) {
    return {Strip(skin, kLeft).start().Width, Strip(skin, kTop).middle().Height};
}

std::int32_t MenuBarSurfaceWidth(const SkinParameters& skin, std::int32_t windowWidth) {
    return windowWidth - Strip(skin, kLeft).start().Width - Strip(skin, kRight).start().Width;
}

Rect MenuBarRect(const SkinParameters& skin, std::int32_t windowWidth) {
    Rect bar;
    bar.left = 0;
    bar.top = Strip(skin, kTop).middle().Height;
    bar.right = windowWidth -
                (skin.MenuBar.end().Width + Strip(skin, kRight).end().Width + Strip(skin, kLeft).start().Width);
    bar.bottom = bar.top + skin.MenuBar.middle().Height;
    return bar;
}

std::vector<Rect> LayOutMenuBarItems(const SkinParameters& skin, std::int32_t windowWidth,
                                        const std::vector<std::int32_t>& textWidths, bool mdiChildMaximised) {
    const Rect bar = MenuBarRect(skin, windowWidth);
    const auto count = static_cast<std::int32_t>(textWidths.size());
    const bool mdi = HasMdiSlots(count, mdiChildMaximised);
    const std::int32_t padding = std::max(10, skin.MenuItemHot.start().Width + skin.MenuItemHot.end().Width);

    std::vector<Rect> items(textWidths.size());
    std::int32_t x = skin.MenuBar.start().Width;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t width = (mdi && i == 0) ? kMdiIconSlotWidth : textWidths[i] + padding;
        items[i] = Rect{x, bar.top, x + width, bar.bottom};
        x += width;
    }
    if (mdi) {
        const std::int32_t side = bar.height();
        for (std::int32_t k = 1; k <= kMdiButtonCount; ++k) {
            const std::int32_t right = bar.right - (k - 1) * side;
            items[count - k] = Rect{right - side, bar.top, right, bar.bottom};
        }
    }
    return items;
}

std::int32_t MenuItemAt(const Rect& bar, const std::vector<Rect>& items, std::int32_t x, std::int32_t y) {
    if (!bar.contains(x, y)) return -1;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].contains(x, y)) return static_cast<std::int32_t>(i);
    return -1;
}

HighlightPlacement PlaceHighlight(const SkinParameters& skin, const EdgeStrip& highlight, const Rect& item) {
    HighlightPlacement at;
    at.y = HalveToEven(skin.MenuBar.start().Height - highlight.start().Height);
    at.startX = item.left;
    at.endX = item.right - highlight.end().Width;
    at.middleX = item.left + highlight.start().Width;
    at.middleWidth = std::max(0, at.endX - at.middleX);
    return at;
}

IconPlacement PlaceMdiIcon(const SkinParameters& skin, const Rect& slot) {
    return IconPlacement{slot.left + 2, HalveToEven(skin.MenuBar.middle().Height - 16)};
}

std::int32_t FindAcceleratorItem(const std::vector<std::string>& texts, std::uint32_t key) {
    const std::uint32_t code = key & 0xFFFFu;
    if (code == 0 || code > 0xFF) return -1;  // item texts are 8-bit
    const char wanted = FoldCase(static_cast<char>(code));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::size_t amp = texts[i].find('&');
        if (amp != std::string::npos && amp + 1 < texts[i].size() && FoldCase(texts[i][amp + 1]) == wanted)
            return static_cast<std::int32_t>(i);
    }
    return -1;
}

std::int32_t ItemLeftOf(std::int32_t open, std::int32_t count, bool mdiChildMaximised) {
    const std::int32_t real = HasMdiSlots(count, mdiChildMaximised) ? count - kMdiButtonCount : count;
    if (real <= 0) return -1;
    return (open <= 0 || open >= real) ? real - 1 : open - 1;
}

std::int32_t ItemRightOf(std::int32_t open, std::int32_t count, bool mdiChildMaximised) {
    const std::int32_t real = HasMdiSlots(count, mdiChildMaximised) ? count - kMdiButtonCount : count;
    if (real <= 0) return -1;
    return (open < 0 || open >= real - 1) ? 0 : open + 1;
}

SkinColour MenuItemTextColour(const SkinParameters& skin, const ItemLook& look) {
    if (look.disabled || !look.windowActive) return skin.MenuTextColorDisabled;
    if (look.highlighted) return look.pressed ? skin.MenuTextColorPressed : skin.MenuTextColorHot;
    return skin.MenuTextColor;
}

char MdiButtonGlyph(std::int32_t index, std::int32_t count) {
    if (count < 1 + kMdiButtonCount || index < count - kMdiButtonCount || index >= count) return 0;
    static constexpr char kGlyphs[] = {'0', '2', 'r'};  // minimise, restore, close
    return kGlyphs[index - (count - kMdiButtonCount)];
}

}  // namespace tf::skin
