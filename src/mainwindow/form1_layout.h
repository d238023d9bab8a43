#pragma once
// Form1's controls and where they sit. Positions are in twips (1/1440 inch)
// relative to each control's container, converted to pixels with the
// screen's real DPI when the window is built.
#include <cstdint>

#include "platform/picture_units.h"

namespace tf::mainwindow {

// The controls keep their designer names; the values are their control ids.
enum class Control : int {
    TabStrip1 = 100,
    Frame1,
    Command1,
    Command2,
    Command3,
    dir,
    orderby,
    saveas,
    Frame4,
    TreeView1,
    Frame5,
    filter,
    Frame3,
    Check1,
    Check2,
    Check3,
    Check4,
    Check5,
    start,
    stoplist,
    savelist,
    Frame2,
    logo,
    Label2,
    Label3,
    Label4,
    Label5,
    Label6,
    status,
    picSmall,
};

// The boxes under "Attributes to save".
constexpr Control kAttributeBoxes[] = {Control::Check1, Control::Check2, Control::Check3, Control::Check4,
                                       Control::Check5};

constexpr int kFirstControl = static_cast<int>(Control::TabStrip1);
constexpr int kControlCount = static_cast<int>(Control::picSmall) - kFirstControl + 1;

constexpr int Index(Control c) { return static_cast<int>(c) - kFirstControl; }

struct TwipRect {
    int left, top, width, height;
};

// Client area of the window.
constexpr int kClientWidthTwips = 7995;
constexpr int kClientHeightTwips = 6960;

struct PixelRect {
    int left, top, width, height;
};

constexpr PixelRect ToPixels(const TwipRect& r, int dpi) {
    const int left = platform::TwipsToPixelsAtDpi(r.left, dpi);
    const int top = platform::TwipsToPixelsAtDpi(r.top, dpi);
    return {left, top, platform::TwipsToPixelsAtDpi(r.left + r.width, dpi) - left, platform::TwipsToPixelsAtDpi(r.top + r.height, dpi) - top};
}

}  // namespace tf::mainwindow
