// Drawing onto real picture boxes: the cases every surface shares, the
// conformance images against the memory surface, clearing and repainting,
// huge images, and no GDI object left behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "gdi_objects.h"
#include "platform/win32/picture_box_win.h"
#include "png/cbitmap_win.h"
#include "png/memory_surface.h"
#include "png/picture_box_surface_win.h"
#include "png/surface_cases.h"

namespace tf::png {
namespace {

using platform::win32::PictureBox;

constexpr char kHostClass[] = "TallyfoldPictureTestHost";

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(hwnd, msg, wp, lp); }

// A top-level window holding one picture box at (5, 5).
class BoxWindow {
public:
    BoxWindow(std::int32_t width, std::int32_t height, std::int32_t border, std::uint32_t back) {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        platform::win32::RegisterPictureBoxClass(instance);
        WNDCLASSA wc{};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = instance;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kHostClass;
        RegisterClassA(&wc);  // a second registration fails harmlessly
        host_ = CreateWindowExA(0, kHostClass, "", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, instance, nullptr);
        // Two pixels of frame: the sunken edge picture boxes have.
        box_ = CreateWindowExA(border ? WS_EX_CLIENTEDGE : 0, platform::win32::kPictureBoxClass, "",
                               WS_CHILD | WS_VISIBLE, 5, 5, width, height, host_, nullptr, instance, nullptr);
        PictureBox picture(box_);
        picture.SetBackColor(RGB(RedOf(back), GreenOf(back), BlueOf(back)));
        picture.Cls();
    }
    ~BoxWindow() { DestroyWindow(host_); }
    BoxWindow(const BoxWindow&) = delete;
    BoxWindow& operator=(const BoxWindow&) = delete;
    HWND host() const { return host_; }
    HWND box() const { return box_; }

private:
    HWND host_ = nullptr;
    HWND box_ = nullptr;
};

class BoxUnderTest final : public test::SurfaceUnderTest {
public:
    BoxUnderTest(std::int32_t w, std::int32_t h, std::int32_t border, std::uint32_t back)
        : window_(w, h, border, back), surface_(window_.box()) {}
    PictureSurface& surface() override { return surface_; }
    std::uint32_t Pixel(std::int32_t x, std::int32_t y) override {
        const COLORREF c = GetPixel(surface_.hDC(), x, y);
        return MakeColour(GetRValue(c), GetGValue(c), GetBValue(c));
    }
    std::int32_t OuterWidth() override { return Outer().right - Outer().left; }
    std::int32_t OuterHeight() override { return Outer().bottom - Outer().top; }
    std::int32_t InnerWidth() override { return Inner().right; }
    std::int32_t InnerHeight() override { return Inner().bottom; }
    HWND box() const { return window_.box(); }
    HWND host() const { return window_.host(); }

private:
    RECT Outer() const {
        RECT r{};
        GetWindowRect(window_.box(), &r);
        return r;
    }
    RECT Inner() const {
        RECT r{};
        GetClientRect(window_.box(), &r);
        return r;
    }
    BoxWindow window_;
    PictureBoxSurface surface_;
};

std::unique_ptr<test::SurfaceUnderTest> MakeBox(std::int32_t w, std::int32_t h, std::int32_t border,
                                                std::uint32_t back) {
    return std::make_unique<BoxUnderTest>(w, h, border, back);
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(PictureBoxTest, SharedDrawingCases) {
    ASSERT_EQ(platform::win32::ScreenTwipsPerPixelX(), 15) << "the cases count 15 twips to the pixel";
    test::RunAllSurfaceCases(MakeBox);
}

TEST(PictureBoxTest, EveryConformanceImageGivesTheMemorySurfacesPixels) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(TF_PNGSUITE_DIR)) {
        if (entry.path().extension() == ".png") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    ASSERT_GT(files.size(), 150u);
    int drawn = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const std::vector<std::uint8_t> bytes = ReadBytes(file);
        MemorySurface memory(41, 33, 0, test::kGrey192);
        BoxUnderTest box(41, 33, 0, test::kGrey192);
        const PngError inMemory = test::LoadAsAtStartUp(memory, bytes);
        ASSERT_EQ(test::LoadAsAtStartUp(box.surface(), bytes), inMemory);
        if (inMemory != PngError::kNone) continue;
        ++drawn;
        ASSERT_EQ(box.InnerWidth(), memory.InnerWidth());
        ASSERT_EQ(box.InnerHeight(), memory.InnerHeight());
        int differing = 0;
        for (std::int32_t y = 0; y < memory.InnerHeight(); ++y) {
            for (std::int32_t x = 0; x < memory.InnerWidth(); ++x) differing += box.Pixel(x, y) != memory.Pixel(x, y);
        }
        EXPECT_EQ(differing, 0);
        EXPECT_EQ(CBitmap::CurrentBitmap(), nullptr);
    }
    EXPECT_GT(drawn, 150);
}

TEST(PictureBoxTest, AClearedAndRepaintedBoxStillShowsTheImage) {
    BoxUnderTest box(41, 33, 0, test::kGrey192);
    ASSERT_EQ(test::LoadAsAtStartUp(box.surface(), test::Gradient(20, 10)), PngError::kNone);
    ShowWindow(box.host(), SW_SHOWNOACTIVATE);
    box.surface().Cls();
    RedrawWindow(box.host(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    // On the screen, not just in the box's image.
    platform::win32::ScopedWindowDc screen(box.box());
    EXPECT_EQ(GetPixel(screen.get(), 19, 9), RGB(19, 9, 77));
    EXPECT_EQ(GetPixel(screen.get(), 3, 2), RGB(3, 2, 77));
    EXPECT_NE(platform::win32::GetPicture(box.box()), nullptr);
}

TEST(PictureBoxTest, AHugeImageResizesTheBoxAndLeavesNoObjectBehind) {
    BoxUnderTest box(41, 33, 0, test::kGrey192);
    const std::vector<std::uint8_t> huge = test::Gradient(1500, 1000);
    ASSERT_EQ(test::LoadAsAtStartUp(box.surface(), huge), PngError::kNone);  // caches settle
    const DWORD before = tf::testing::GdiObjects();
    ASSERT_EQ(test::LoadAsAtStartUp(box.surface(), huge), PngError::kNone);
    EXPECT_EQ(tf::testing::GdiObjects(), before);
    EXPECT_EQ(box.OuterWidth(), 1500);
    EXPECT_EQ(box.OuterHeight(), 1000);
    EXPECT_EQ(box.Pixel(1499, 999), MakeColour(1499 & 0xFF, 999 & 0xFF, 77));
}

TEST(PictureBoxTest, TwoHundredLoadsLeaveNoObjectBehind) {
    const std::vector<std::uint8_t> start = ReadBytes(std::string(TF_ASSETS_DIR) + "/images/start.png");
    ASSERT_FALSE(start.empty());
    BoxUnderTest box(41, 33, 0, test::kGrey192);
    platform::RecordingMessageSink messages;
    auto open = [&] {
        LoadPNG png(messages);
        png.PicBox(&box.surface());
        png.BackgroundPicture(&box.surface());
        png.SetAlpha(true);
        png.SetTrans(true);
        const std::string path = std::string(TF_ASSETS_DIR) + "/images/start.png";
        return png.OpenPNG(path);
    };
    ASSERT_EQ(open(), PngError::kNone);
    const DWORD before = tf::testing::GdiObjects();
    for (int i = 0; i < 200; ++i) ASSERT_EQ(open(), PngError::kNone);
    EXPECT_EQ(tf::testing::GdiObjects(), before);
    EXPECT_EQ(CBitmap::CurrentBitmap(), nullptr);
}

TEST(PictureBoxTest, ScaleModesBelongToTheBoxAndToItsContainer) {
    BoxWindow window(30, 20, 0, test::kGrey192);
    PictureBox box(window.box());
    EXPECT_EQ(box.ScaleMode(), platform::kScaleTwips);
    EXPECT_EQ(box.Width(), 450);
    EXPECT_EQ(box.ScaleWidth(), 450);
    box.SetScaleMode(platform::kScalePixels);
    EXPECT_EQ(box.ScaleWidth(), 30);
    EXPECT_EQ(box.Width(), 450);  // the container still counts twips
    platform::win32::SetScaleModeOf(window.host(), platform::kScalePixels);
    EXPECT_EQ(box.Width(), 30);
    box.SetWidth(40);
    EXPECT_EQ(box.ScaleWidth(), 40);
    platform::win32::SetScaleModeOf(window.host(), platform::kScaleTwips);
    EXPECT_EQ(platform::win32::ScaleModeOf(window.host()), platform::kScaleTwips);
    box.SetWidth(500);  // 33.3 pixels
    EXPECT_EQ(box.ScaleWidth(), 33);
    EXPECT_FALSE(box.IsTopLevelForm());
}

}  // namespace
}  // namespace tf::png
