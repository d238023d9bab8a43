// The window at 96, 120, 144 and 192 DPI, each in a process of its own started
// with the screen at that DPI: controls inside the client area with room
// for their text, the skinned caption, close button and icon at their
// scaled places, pictures and tree icons of the DPI's size. And the window
// on a move to a monitor of another scale (WM_DPICHANGED), in process.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "child_process.h"
#include "mainwindow/form1_fixture.h"
#include "skin/format/skin_file.h"

namespace tf::mainwindow::testing {
namespace {

using Form1Dpi = Form1Test;

constexpr char kExpectedDpi[] = "TALLYFOLD_TEST_DPI";
constexpr char kDpiChild[] = "Form1Dpi.DISABLED_TheWindowFitsTheScreenDpi";

skin::SkinParameters ProgramSkin() {
    std::ifstream in(kProgramSkinFile, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    skin::SkinFile file;
    EXPECT_EQ(skin::ReadSkinFile(bytes.data(), bytes.size(), file), skin::SkinFileError::kNone);
    return file.parameters;
}

void CopyButtonImages(const std::string& app) {
    for (const char* base : {"start", "stop", "save"})
        for (const char* scale : {"", "-150", "-200"}) {
            const std::string name = std::string(base) + scale + ".png";
            std::filesystem::copy_file(std::string(TF_ASSETS_DIR) + "/images/" + name, app + "\\images\\" + name,
                                       std::filesystem::copy_options::overwrite_existing);
        }
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP b{};
    if (!bitmap || !GetObjectA(bitmap, sizeof b, &b)) return {0, 0};
    return {b.bmWidth, b.bmHeight};
}

RECT RectIn(HWND control, HWND container) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, container, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The extent of a control's text in its own font, wrapped at `width` when
// it may wrap.
SIZE TextExtent(HWND control, int width, bool wraps) {
    char text[256] = {};
    GetWindowTextA(control, text, sizeof text);
    HDC dc = GetDC(control);
    const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT r{0, 0, width, 0};
    DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_NOPREFIX | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return {r.right, r.bottom};
}

// Every control of the page lies inside the window's client area and inside
// its container; captions of buttons, check boxes, labels and frames fit.
void ExpectPageFits(Form1& form, Control page) {
    RECT client{};
    GetClientRect(form.hwnd(), &client);
    const int check = GetSystemMetrics(SM_CXMENUCHECK);
    for (int i = 0; i < kControlCount; ++i) {
        const auto c = static_cast<Control>(kFirstControl + i);
        HWND control = form.Item(c);
        if (!control || !IsWindowVisible(control) || (GetParent(control) != form.hwnd() &&
                                                      !IsChild(form.Item(page), control)))
            continue;
        SCOPED_TRACE(static_cast<int>(c));
        const RECT inWindow = RectIn(control, form.hwnd());
        EXPECT_GE(inWindow.left, 0);
        EXPECT_GE(inWindow.top, 0);
        EXPECT_LE(inWindow.right, client.right);
        EXPECT_LE(inWindow.bottom, client.bottom);
        RECT box{};
        GetClientRect(control, &box);
        const std::string cls = ClassOf(control);
        const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
        if (cls == "Static") {
            const SIZE text = TextExtent(control, box.right, true);
            EXPECT_LE(text.cx, box.right);
            EXPECT_LE(text.cy, box.bottom);
        } else if (cls == "Button" && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
            EXPECT_LE(TextExtent(control, 0, false).cx + check, box.right);
        } else if (cls == "Button" && (style & BS_TYPEMASK) == BS_OWNERDRAW) {
            // Beside the picture, inside the button's frame.
            const SIZE picture = BitmapSize(form.CommandPicture(c));
            const int room = box.right - picture.cx - 2 * 3;
            const SIZE text = TextExtent(control, room, true);
            EXPECT_LE(text.cx, room);
            EXPECT_LE(text.cy, box.bottom - 2 * 3);
        }
    }
}

// Strongly coloured pixels (the pictures' red, green and blue) of the Main
// page's band with the run buttons that lie outside the three buttons, read
// from the screen.
int PicturePixelsOutsideButtons(Form1& form) {
    HWND page = form.Item(Control::Frame1);
    RedrawWindow(form.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const RECT below = RectIn(form.Item(Control::dir), page);  // the band ends where the next row starts
    RECT band{};
    GetClientRect(page, &band);
    band.bottom = below.top;
    POINT origin{0, 0};
    ClientToScreen(page, &origin);
    const int width = band.right, height = band.bottom;
    std::vector<RGBQUAD> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    {
        HDC screen = GetDC(nullptr);
        platform::win32::BitmapDc copy = platform::win32::BitmapDc::Create(screen, width, height);
        BitBlt(copy.dc(), 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        const platform::win32::UniqueBitmap bitmap = copy.Release();
        GetDIBits(screen, bitmap.get(), 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
    }
    const RECT buttons[] = {RectIn(form.Item(Control::Command1), page), RectIn(form.Item(Control::Command2), page),
                            RectIn(form.Item(Control::Command3), page)};
    int outside = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const RGBQUAD& p = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
            const int r = p.rgbRed, g = p.rgbGreen, b = p.rgbBlue;
            const bool coloured = (r - g > 100 && r - b > 100) || (g - r > 64 && g - b > 38) || (b - r > 77 && b - g > 38);
            bool inButton = false;
            for (const RECT& button : buttons) inButton = inButton || PtInRect(&button, POINT{x, y});
            outside += coloured && !inButton;
        }
    return outside;
}

// Run by the test below in a process of its own, with the screen at the DPI
// in kExpectedDpi.
TEST_F(Form1Dpi, DISABLED_TheWindowFitsTheScreenDpi) {
    const char* expected = std::getenv(kExpectedDpi);
    ASSERT_NE(expected, nullptr);
    const int dpi = std::atoi(expected);
    CopyButtonImages(app_);
    Reopen();
    ASSERT_EQ(form().dpi(), dpi);
    ShowWindow(form().hwnd(), SW_SHOWNOACTIVATE);
    UpdateWindow(form().hwnd());

    {
        SCOPED_TRACE("Main page");
        ExpectPageFits(form(), Control::Frame1);
        EXPECT_EQ(PicturePixelsOutsideButtons(form()), 0);
    }
    SendMessageA(item(Control::TabStrip1), TCM_SETCURSEL, 1, 0);
    NMHDR change{item(Control::TabStrip1), static_cast<UINT_PTR>(Control::TabStrip1), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(form().hwnd(), WM_NOTIFY, change.idFrom, reinterpret_cast<LPARAM>(&change));
    {
        SCOPED_TRACE("About page");
        ExpectPageFits(form(), Control::Frame2);
    }

    // The caption is the skin's, scaled: its height, and the close button and
    // the icon answer at their places scaled from the skin file's.
    const skin::SkinParameters file = ProgramSkin();
    const double scale = dpi / 96.0;
    RECT window{};
    GetWindowRect(form().hwnd(), &window);
    POINT origin{0, 0};
    ClientToScreen(form().hwnd(), &origin);
    const int captionHeight = file.ActiveFrame[skin::kTop].middle().Height;
    EXPECT_NEAR(origin.y - window.top, captionHeight * scale, 1.0);
    const skin::CaptionButtonSkin& close = file.CaptionButtons[skin::kClose];
    const LONG closeX = window.right - static_cast<LONG>((close.RightOffset - close.states[0].Width / 2) * scale);
    const LONG closeY = window.top + static_cast<LONG>((close.Top + close.states[0].Height / 2) * scale);
    EXPECT_EQ(SendMessageA(form().hwnd(), WM_NCHITTEST, 0, MAKELPARAM(closeX, closeY)), HTCLOSE);
    const skin::SkinPiece& icon = file.IconPiece;
    const LONG iconX = window.left + static_cast<LONG>((icon.X + icon.Width / 2) * scale);
    const LONG iconY = window.top + static_cast<LONG>((icon.Y + icon.Height / 2) * scale);
    EXPECT_EQ(SendMessageA(form().hwnd(), WM_NCHITTEST, 0, MAKELPARAM(iconX, iconY)), HTSYSMENU);
    // The button pictures are the images of the DPI's scale, filling their
    // picture boxes; the tree's icons come at the small-icon size.
    RECT box{};
    GetClientRect(item(Control::stoplist), &box);
    const SIZE picture = BitmapSize(form().CommandPicture(Control::Command2));
    EXPECT_EQ(picture.cx, box.right);
    EXPECT_EQ(picture.cy, box.bottom);
    int iconWidth = 0, iconHeight = 0;
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(item(Control::TreeView1), TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    ASSERT_TRUE(ImageList_GetIconSize(images, &iconWidth, &iconHeight));
    EXPECT_EQ(iconWidth, GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(iconWidth, MulDiv(16, dpi, 96));

    // Without the images of its scale the window takes the 96-DPI ones,
    // which still show nowhere but on their buttons.
    for (const char* name : {"start", "stop", "save"})
        for (const char* suffix : {"-150", "-200"}) std::filesystem::remove(app_ + "\\images\\" + name + suffix + ".png");
    Reopen();
    ShowWindow(form().hwnd(), SW_SHOWNOACTIVATE);
    EXPECT_EQ(BitmapSize(form().CommandPicture(Control::Command2)).cx, 41);
    EXPECT_EQ(PicturePixelsOutsideButtons(form()), 0);
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

TEST(Form1ScreenDpi, TheWindowFitsAt96And120And144And192Dpi) {
    // A process reads the screen's DPI once, when it starts.
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string command =
        std::string("\"") + self + "\" --gtest_also_run_disabled_tests --gtest_filter=" + kDpiChild;
    for (DWORD dpi : {96u, 120u, 144u, 192u}) {
        SCOPED_TRACE(dpi);
        SetEnvironmentVariableA(kExpectedDpi, std::to_string(dpi).c_str());
        int code = 1;
        {
            LogPixels screen(dpi);
            tf::testing::ChildProcess child(command, {}, 0);
            ASSERT_TRUE(child.started());
            code = child.Wait();
        }
        EXPECT_EQ(code, 0);
    }
    SetEnvironmentVariableA(kExpectedDpi, nullptr);
}

TEST_F(Form1Dpi, AMoveToAMonitorOfAnotherScaleLaysTheWindowOutAgain) {
    CopyButtonImages(app_);
    Reopen();
    ASSERT_EQ(form().dpi(), 96);
    const skin::SkinParameters file = ProgramSkin();
    const int captionHeight = file.ActiveFrame[skin::kTop].middle().Height;
    auto captionNow = [&] {
        RECT window{};
        GetWindowRect(form().hwnd(), &window);
        POINT origin{0, 0};
        ClientToScreen(form().hwnd(), &origin);
        return origin.y - window.top;
    };
    ASSERT_EQ(captionNow(), captionHeight);
    const auto fontHeight = [&](Control c) {
        LOGFONTA f{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(item(c), WM_GETFONT, 0, 0)), sizeof f, &f);
        return std::abs(f.lfHeight);
    };
    // The run buttons' pictures as bytes, to compare after the round trip.
    const auto pictureBytes = [&](Control c) {
        HBITMAP picture = form().CommandPicture(c);
        const SIZE size = BitmapSize(picture);
        std::vector<RGBQUAD> bits(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy));
        BITMAPINFO info{};
        info.bmiHeader = {sizeof info.bmiHeader, size.cx, -size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        HDC screen = GetDC(nullptr);
        GetDIBits(screen, picture, 0, static_cast<UINT>(size.cy), bits.data(), &info, DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        std::string bytes(reinterpret_cast<const char*>(bits.data()), bits.size() * sizeof(RGBQUAD));
        return bytes;
    };
    const std::string startPicture = pictureBytes(Control::Command1);
    ASSERT_FALSE(startPicture.empty());
    const int labelFont = fontHeight(Control::Check1);
    const int titleFont = fontHeight(Control::Label2);

    for (int dpi : {192, 96}) {
        SCOPED_TRACE(dpi);
        RECT suggested{40, 30, 40 + 900, 30 + 800};
        SendMessageA(form().hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(form().dpi(), dpi);
        RECT window{}, client{};
        GetWindowRect(form().hwnd(), &window);
        GetClientRect(form().hwnd(), &client);
        EXPECT_EQ(window.left, 40);
        EXPECT_EQ(window.top, 30);
        EXPECT_EQ(client.right, platform::TwipsToPixelsAtDpi(kClientWidthTwips, dpi));
        EXPECT_EQ(client.bottom, platform::TwipsToPixelsAtDpi(kClientHeightTwips, dpi));
        EXPECT_EQ(captionNow(), captionHeight * dpi / 96);
        const PixelRect stop = ToPixels({1440, 240, 1215, 975}, dpi);
        const RECT r = RectIn(item(Control::Command2), item(Control::Frame1));
        EXPECT_EQ(r.left, stop.left);
        EXPECT_EQ(r.right - r.left, stop.width);
        EXPECT_EQ(BitmapSize(form().CommandPicture(Control::Command2)).cx, dpi == 192 ? 82 : 41);
        EXPECT_EQ(fontHeight(Control::Check1), labelFont * dpi / 96);
        EXPECT_EQ(fontHeight(Control::Label2), titleFont * dpi / 96);
        // The tree is built again with icons of the DPI's small-icon size.
        int iconWidth = 0, iconHeight = 0;
        auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(item(Control::TreeView1), TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
        ASSERT_TRUE(ImageList_GetIconSize(images, &iconWidth, &iconHeight));
        EXPECT_EQ(iconWidth, MulDiv(GetSystemMetrics(SM_CXSMICON), dpi, 96));
        EXPECT_EQ(form().FolderTree()->Icons().ImageList(), images);
        EXPECT_GT(SendMessageA(item(Control::TreeView1), TVM_GETCOUNT, 0, 0), 0);
    }
    // Back at 96 DPI the picture is the one the window started with, not
    // blended over the larger one.
    EXPECT_TRUE(pictureBytes(Control::Command1) == startPicture);
}

}  // namespace
}  // namespace tf::mainwindow::testing
