// Form1's skin: the engine that draws the window's frame from the skin
// beside the program, attached at the start of Form_Load.
#include "mainwindow/form1_win.h"

namespace tf::mainwindow {
namespace {

constexpr char kSkinFile[] = "\\images\\DOR.Skin";

}  // namespace

void Form1::AttachSkin() {
    // Without the file the window keeps the platform's frame.
    skinner_ = std::make_unique<skin::ClsSkinner>(skin::SkinnerServices{services_.messages, nullptr});
    skinner_->PaintClientArea(false);
    skinner_->LoadSkinFromFile(appFolder_ + kSkinFile);
    skinner_->HookForm(hwnd_);
}

}  // namespace tf::mainwindow
