// The run buttons' pictures after start-up: the images blended on the
// button face, drawn beside the caption, bold and disabled states, and
// start-up going on without them.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "mainwindow/form1_fixture.h"
#include "platform/win32/picture_box_win.h"
#include "png/load_png.h"
#include "png/memory_surface.h"
#include "png/surface_cases.h"

namespace tf::mainwindow::testing {
namespace {

using Form1Buttons = Form1Test;

struct Button {
    Control command;
    Control box;
    const char* file;
};
constexpr Button kButtons[] = {{Control::Command1, Control::start, "start.png"},
                               {Control::Command2, Control::stoplist, "stop.png"},
                               {Control::Command3, Control::savelist, "save.png"}};

std::string Asset(const char* name) { return std::string(TF_ASSETS_DIR) + "/images/" + name; }

// 32-bit pixels of a bitmap or of a window's client area, top row first.
struct Pixels {
    int width = 0, height = 0;
    std::vector<RGBQUAD> data;
    COLORREF at(int x, int y) const {
        const RGBQUAD& q = data[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
        return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
};

Pixels ReadBitmap(HBITMAP bitmap) {
    Pixels p;
    BITMAP size{};
    if (!GetObjectA(bitmap, sizeof size, &size)) return p;
    p.width = size.bmWidth;
    p.height = size.bmHeight;
    p.data.resize(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, p.width, -p.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    platform::win32::ScopedWindowDc screen(nullptr);
    GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(p.height), p.data.data(), &info, DIB_RGB_COLORS);
    return p;
}

Pixels ReadWindow(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT client{};
    GetClientRect(window, &client);
    platform::win32::ScopedWindowDc dc(window);
    platform::win32::UniqueBitmap copy(CreateCompatibleBitmap(dc.get(), client.right, client.bottom));
    platform::win32::UniqueMemoryDc memory(CreateCompatibleDC(dc.get()));
    {
        platform::win32::ScopedSelect select(memory.get(), copy.get());
        BitBlt(memory.get(), 0, 0, client.right, client.bottom, dc.get(), 0, 0, SRCCOPY);
    }
    return ReadBitmap(copy.get());
}

// What start-up should make of an image: blended onto the button face.
png::MemorySurface Expected(const char* file) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    png::MemorySurface surface(41, 33, 0, png::MakeColour(GetRValue(face), GetGValue(face), GetBValue(face)));
    platform::RecordingMessageSink messages;
    png::LoadPNG loader(messages);
    loader.PicBox(&surface);
    loader.BackgroundPicture(&surface);
    loader.SetAlpha(true);
    loader.SetTrans(true);
    EXPECT_EQ(loader.OpenPNG(Asset(file)), png::PngError::kNone) << file;
    return surface;
}

COLORREF AsColorref(std::uint32_t colour) { return RGB(png::RedOf(colour), png::GreenOf(colour), png::BlueOf(colour)); }

// Where `picture` lies in `shown` within the left part, or {-1, -1}. Its
// pixels of the face colour it was blended on are left out on the button.
POINT FindPicture(const Pixels& shown, const Pixels& picture) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (int oy = 0; oy + picture.height <= shown.height; ++oy) {
        for (int ox = 0; ox + picture.width <= shown.width && ox < 12; ++ox) {
            bool same = true;
            for (int y = 0; y < picture.height && same; ++y)
                for (int x = 0; x < picture.width && same; ++x)
                    same = picture.at(x, y) == face || shown.at(ox + x, oy + y) == picture.at(x, y);
            if (same) return POINT{ox, oy};
        }
    }
    return POINT{-1, -1};
}

int DarkPixels(const Pixels& p, int fromX) {
    int dark = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = fromX; x < p.width; ++x) {
            const COLORREF c = p.at(x, y);
            dark += GetRValue(c) < 80 && GetGValue(c) < 80 && GetBValue(c) < 80;
        }
    return dark;
}

void CopyImages(const std::string& app) {
    std::filesystem::create_directories(app + "\\images");
    for (const Button& b : kButtons) std::filesystem::copy_file(Asset(b.file), app + "\\images\\" + b.file);
}

TEST_F(Form1Buttons, ButtonsCarryTheirImagesBlendedOnTheFace) {
    CopyImages(app_);
    Reopen();
    for (const Button& b : kButtons) {
        SCOPED_TRACE(b.file);
        ASSERT_NE(platform::win32::GetPicture(item(b.box)), nullptr);
        HBITMAP picture = form().CommandPicture(b.command);
        ASSERT_NE(picture, nullptr);
        const Pixels got = ReadBitmap(picture);
        ASSERT_EQ(got.width, 41);
        ASSERT_EQ(got.height, 33);
        const png::MemorySurface expected = Expected(b.file);
        int differing = 0;
        for (int y = 0; y < 33; ++y)
            for (int x = 0; x < 41; ++x) differing += got.at(x, y) != AsColorref(expected.Pixel(x, y));
        EXPECT_EQ(differing, 0);
    }
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(Form1Buttons, TheButtonShowsItsPictureBesideTheCaptionBoldAndGreyed) {
    CopyImages(app_);
    Reopen();
    ShowWindow(form().hwnd(), SW_SHOWNOACTIVATE);
    UpdateWindow(form().hwnd());
    for (const Button& b : kButtons) {
        SCOPED_TRACE(b.file);
        const Pixels picture = ReadBitmap(form().CommandPicture(b.command));
        const Pixels shown = ReadWindow(item(b.command));
        const POINT at = FindPicture(shown, picture);
        ASSERT_GE(at.x, 0) << "the picture is not on the button";
        EXPECT_GT(DarkPixels(shown, at.x + picture.width), 10) << "no caption beside the picture";
    }

    // A run marks Start bold: its caption grows darker.
    const int plain = DarkPixels(ReadWindow(item(Control::Command1)), 45);
    MakeSampleTree();
    form().SetSourceFolder(src_);
    Click(Control::Command1);
    ASSERT_TRUE(IsBold(Control::Command1));
    EXPECT_GT(DarkPixels(ReadWindow(item(Control::Command1)), 45), plain);

    // Disabled, the red stop square turns grey.
    const Pixels stop = ReadBitmap(form().CommandPicture(Control::Command2));
    const POINT at = FindPicture(ReadWindow(item(Control::Command2)), stop);
    ASSERT_GE(at.x, 0);
    EnableWindow(item(Control::Command2), FALSE);
    const COLORREF centre = ReadWindow(item(Control::Command2)).at(at.x + 20, at.y + 20);
    EXPECT_GT(GetRValue(stop.at(20, 20)), GetGValue(stop.at(20, 20)) + 100);
    EXPECT_LT(std::abs(GetRValue(centre) - GetGValue(centre)), 8);
    EXPECT_LT(std::abs(GetGValue(centre) - GetBValue(centre)), 8);
}

TEST_F(Form1Buttons, WithoutAnImagesFolderStartUpGoesOnWithoutPictures) {
    // The fixture's application folder has no images folder.
    for (const Button& b : kButtons) {
        EXPECT_EQ(form().CommandPicture(b.command), nullptr);
        EXPECT_EQ(platform::win32::GetPicture(item(b.box)), nullptr);
    }
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_GT(SendMessageA(item(Control::TreeView1), TVM_GETCOUNT, 0, 0), 0);  // the last start-up step ran
}

TEST_F(Form1Buttons, BrokenAndMissingImagesLeaveJustTheirButtonsWithoutAPicture) {
    CopyImages(app_);
    // start.png: image data whose code tables cannot be built, which the
    // loader would announce in a message box; stop.png: missing.
    png::test::PngWriter broken;
    broken.Header(2, 2, 8, 2).Chunk("IDAT", {0x78, 0x01, 0x05, 0x00, 0x00, 0x00, 0x00}).End();
    WriteFile(app_ + "\\images\\start.png", std::string(broken.bytes().begin(), broken.bytes().end()));
    std::filesystem::remove(app_ + "\\images\\stop.png");
    Reopen();
    EXPECT_EQ(form().CommandPicture(Control::Command1), nullptr);
    EXPECT_EQ(form().CommandPicture(Control::Command2), nullptr);
    EXPECT_NE(form().CommandPicture(Control::Command3), nullptr);
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_GT(SendMessageA(item(Control::TreeView1), TVM_GETCOUNT, 0, 0), 0);
}

}  // namespace
}  // namespace tf::mainwindow::testing
