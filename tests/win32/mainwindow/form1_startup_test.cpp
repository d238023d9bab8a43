// Start-up steps that depend on the machine: the window icons from the
// images folder and the executable.
#include <windows.h>

#include "mainwindow/form1_fixture.h"

namespace tf::mainwindow::testing {
namespace {

using Form1Startup = Form1Test;

SIZE IconSize(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return {0, 0};
    BITMAP bitmap{};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return {bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

TEST_F(Form1Startup, TheSmallIconComesFromTheImagesFolderTheBigOneFromTheResource) {
    ASSERT_TRUE(CopyFileA((std::string("Z:") + TF_ASSET_IMAGES_DIR + "/Tallyfold.ico").c_str(),
                          (app_ + "\\images\\Tallyfold.ico").c_str(), FALSE));
    Reopen();
    auto small = reinterpret_cast<HICON>(SendMessageA(form().hwnd(), WM_GETICON, ICON_SMALL, 0));
    auto big = reinterpret_cast<HICON>(SendMessageA(form().hwnd(), WM_GETICON, ICON_BIG, 0));
    ASSERT_NE(small, nullptr);
    ASSERT_NE(big, nullptr);
    // The file's first icon is its 16 x 16 one.
    EXPECT_EQ(IconSize(small).cx, 16);
    const SIZE bigSize = IconSize(big);
    EXPECT_EQ(bigSize.cx, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(bigSize.cy, GetSystemMetrics(SM_CYICON));
    // Shared resource icons come back as the same handle.
    EXPECT_EQ(big, LoadImageA(GetModuleHandleA(nullptr), "AAA", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                              GetSystemMetrics(SM_CYICON), LR_SHARED));
}

}  // namespace
}  // namespace tf::mainwindow::testing
