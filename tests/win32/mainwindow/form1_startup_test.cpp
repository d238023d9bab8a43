// Start-up steps that depend on the machine: the window icons from the
// images folder and the executable, and check boxes at a higher DPI.
#include <windows.h>

#include "child_process.h"
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

constexpr char kDpiChild[] = "Form1Startup.DISABLED_CheckBoxCaptionsFitAtTheScreenDpi";

// Run by the test below in a process of its own, started at 144 DPI.
TEST_F(Form1Startup, DISABLED_CheckBoxCaptionsFitAtTheScreenDpi) {
    EXPECT_EQ(form().dpi(), 144);
    for (Control c : {Control::Check1, Control::Check2, Control::Check3, Control::Check4}) {
        HWND box = item(c);
        char caption[64] = {};
        const int length = GetWindowTextA(box, caption, sizeof caption);
        HDC dc = GetDC(box);
        const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(box, WM_GETFONT, 0, 0)));
        SIZE text{};
        GetTextExtentPoint32A(dc, caption, length, &text);
        SelectObject(dc, previous);
        ReleaseDC(box, dc);
        RECT client{};
        GetClientRect(box, &client);
        EXPECT_GE(client.right, text.cx + GetSystemMetrics(SM_CXMENUCHECK)) << caption;
        // Still inside its frame.
        RECT frame{}, r{};
        GetClientRect(item(Control::Frame3), &frame);
        GetWindowRect(box, &r);
        MapWindowPoints(nullptr, item(Control::Frame3), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_LE(r.right, frame.right) << caption;
    }
}

class LogPixels {
public:
    explicit LogPixels(DWORD dpi) {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr);
        DWORD size = sizeof old_;
        had_ = RegQueryValueExA(key_, "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size) == 0;
        RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
    ~LogPixels() {
        if (had_)
            RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof old_);
        else
            RegDeleteValueA(key_, "LogPixels");
        RegCloseKey(key_);
    }
    LogPixels(const LogPixels&) = delete;
    LogPixels& operator=(const LogPixels&) = delete;

private:
    HKEY key_ = nullptr;
    DWORD old_ = 0;
    bool had_ = false;
};

TEST(Form1Dpi, CheckBoxCaptionsFitAt144Dpi) {
    // A process reads the screen's DPI once, when it starts.
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string command =
        std::string("\"") + self + "\" --gtest_also_run_disabled_tests --gtest_filter=" + kDpiChild;
    int code = 1;
    {
        LogPixels dpi(144);
        tf::testing::ChildProcess child(command, {}, 0);
        ASSERT_TRUE(child.started());
        code = child.Wait();
    }
    EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace tf::mainwindow::testing
