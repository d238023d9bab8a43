#pragma once
// The skin preview of tallyfold-skin: a window with a menu bar (File, Edit
// with a disabled item and a submenu, View, Help) skinned with a skin file,
// or an MDI frame with two child windows, shown until it is closed or
// File > Exit is chosen. A chosen command shows its number in the caption.
#include <iosfwd>
#include <string>

namespace tf::app {

struct PreviewOptions {
    std::string skin;
    bool mdi = false;
    bool maximised = false;  // the second MDI child; needs `mdi`
    bool placed = false;     // at x, y rather than the system's place
    int x = 0, y = 0;
};

// Returns the tool's exit code: 0 closed, 1 the skin was refused (the
// engine's reason goes to `errors`), the window could not be made, or the
// engine reported a failure while it ran.
int RunSkinPreview(const PreviewOptions& options, std::ostream& errors);

}  // namespace tf::app
