// Form1's picture buttons: start-up draws each button image onto its picture
// box through a short-lived PNG loader and copies the box's picture to the
// button, which draws it beside its caption. The images come in the scales
// of platform/display_scale.h; the window's DPI picks one, and a scale that
// is missing falls back to the 96-DPI image.
#include <windows.h>

#include "mainwindow/form1_win.h"
#include "mainwindow/picture_button_win.h"
#include "platform/display_scale.h"
#include "platform/message_sink.h"
#include "platform/win32/picture_box_win.h"
#include "png/load_png.h"
#include "png/picture_box_surface_win.h"

namespace tf::mainwindow {
namespace {

struct ButtonImage {
    Control box;
    Control button;
    const char* file;
};

constexpr ButtonImage kButtonImages[] = {
    {Control::start, Control::Command1, "start.png"},
    {Control::stoplist, Control::Command2, "stop.png"},
    {Control::savelist, Control::Command3, "save.png"},
};

std::string PictureFile(const std::string& folder, const char* name, int dpi) {
    const std::string scaled = folder + "\\images\\" + platform::ScaledPictureName(name, platform::PictureScalePercent(dpi));
    if (GetFileAttributesA(scaled.c_str()) != INVALID_FILE_ATTRIBUTES) return scaled;
    return folder + "\\images\\" + name;
}

int PictureIndex(Control button) { return static_cast<int>(button) - static_cast<int>(Control::Command1); }

}  // namespace

void Form1::DrawButtonPictures() {
    for (const ButtonImage& image : kButtonImages) {
        HWND box = Item(image.box);
        // The loader blends onto the box's picture: an earlier image (of
        // another DPI) goes first.
        platform::win32::SetPicture(box, platform::win32::UniqueBitmap());
        // A broken image must not stop start-up with a message: the loader's
        // messages are kept from the screen here, and a file that cannot be
        // read leaves the box without a picture.
        platform::RecordingMessageSink unshown;
        png::LoadPNG loader(unshown);
        png::PictureBoxSurface surface(box);
        loader.PicBox(&surface);
        loader.SetToBkgrnd(false, 0, 0);
        loader.BackgroundPicture(&surface);
        loader.SetAlpha(true);
        loader.SetTrans(true);
        loader.OpenPNG(PictureFile(appFolder_, image.file, dpi_));
    }
    for (const ButtonImage& image : kButtonImages) {
        commandPictures_[static_cast<std::size_t>(PictureIndex(image.button))] =
            platform::win32::CopyBitmap(platform::win32::GetPicture(Item(image.box)));
        InvalidateRect(Item(image.button), nullptr, FALSE);
    }
}

HBITMAP Form1::CommandPicture(Control button) const {
    const int index = PictureIndex(button);
    if (index < 0 || index >= static_cast<int>(commandPictures_.size())) return nullptr;
    return commandPictures_[static_cast<std::size_t>(index)].get();
}

bool Form1::OnDrawItem(const DRAWITEMSTRUCT& item) {
    const auto button = static_cast<Control>(item.CtlID);
    if (button != Control::Command1 && button != Control::Command2 && button != Control::Command3) return false;
    // Start is the default button unless another push button has the focus.
    HWND focus = GetFocus();
    const bool otherFocused = focus == Item(Control::Command2) || focus == Item(Control::Command3);
    const bool isDefault = button == Control::Command1 ? !otherFocused : (item.itemState & ODS_FOCUS) != 0;
    const Control box = kButtonImages[PictureIndex(button)].box;
    DrawPictureButton(item, CommandPicture(button), platform::win32::PictureBox(Item(box)).BackColor(), isDefault, dpi_);
    return true;
}

}  // namespace tf::mainwindow
