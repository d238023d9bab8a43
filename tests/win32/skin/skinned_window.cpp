#include "skin/skinned_window.h"

#include <fstream>

#include "skin/format/skin_file.h"

namespace tf::skin::testing {
namespace {

constexpr char kClass[] = "TallyfoldSkinnedTestWindow";

}  // namespace

std::string WriteTestSkinFile(const TestSkin& skin, const std::string& name) {
    SkinFile file;
    for (std::size_t i = 0; i < 5; ++i) file.signature.signature[i] = kSkinSignature[i];
    file.parameters = skin.params;
    file.picture.width = skin.width;
    file.picture.height = skin.height;
    file.picture.bgr = skin.bgr;
    const std::vector<std::uint8_t> bytes = WriteSkinFile(file);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "tf_" + std::to_string(GetCurrentProcessId()) + "_" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

void Pump() {
    PumpUntil([] { return true; });
}

void SkinnedWindowTest::SetUp() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);  // a second registration fails harmlessly
    skinner_ = std::make_unique<ClsSkinner>(SkinnerServices{&messages_, &eventLog_});
}

void SkinnedWindowTest::TearDown() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    skinner_.reset();
    Pump();
    if (!skinFile_.empty()) DeleteFileA(skinFile_.c_str());
    EXPECT_TRUE(messages_.shown.empty()) << messages_.shown.front();
    EXPECT_TRUE(eventLog_.errors.empty()) << eventLog_.errors.front();
}

void SkinnedWindowTest::Open(DWORD style, const TestSkin& skin, HMENU menu) {
    skin_ = skin;
    RECT frame{100, 100, 400, 300};
    AdjustWindowRectEx(&frame, style, menu != nullptr, 0);
    hwnd_ = CreateWindowExA(0, kClass, "Skinned", style, frame.left, frame.top, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, menu, GetModuleHandleA(nullptr), this);
    ASSERT_TRUE(hwnd_);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    Pump();
    if (skinFile_.empty()) skinFile_ = WriteTestSkinFile(skin, "frame.Skin");
    ASSERT_TRUE(skinner_->LoadSkinFromFile(skinFile_));
    ASSERT_TRUE(skinner_->HookForm(hwnd_));
    Pump();
}

LRESULT CALLBACK SkinnedWindowTest::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<SkinnedWindowTest*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_SYSCOMMAND && self) self->sysCommands_.push_back(wp & 0xFFF0);
    if (msg == WM_ENTERMENULOOP && self) ++self->menuLoops_;
    if (msg == WM_COMMAND && self) self->commands_.push_back(LOWORD(wp));
    if ((msg == WM_SYSKEYDOWN || msg == WM_SYSCHAR || msg == WM_MENUCHAR) && self) ++self->systemKeys_;
    if (msg == WM_NCDESTROY && self) self->hwnd_ = nullptr;
    return DefWindowProcA(hwnd, msg, wp, lp);
}

RECT SkinnedWindowTest::WindowRect() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return r;
}

LPARAM SkinnedWindowTest::ScreenPoint(int x, int y) const {
    const RECT r = WindowRect();
    return MAKELPARAM(r.left + x, r.top + y);
}

POINT SkinnedWindowTest::ButtonCentre(int button) const {
    const RECT r = WindowRect();
    const Point at = ButtonPosition(skin_.params, button, r.right - r.left);
    return {at.x + kButtonWidth / 2, at.y + kButtonHeight / 2};
}

LRESULT SkinnedWindowTest::HitTest(int x, int y) const {
    return SendMessageA(hwnd_, WM_NCHITTEST, 0, ScreenPoint(x, y));
}

void SkinnedWindowTest::ButtonDown(int button, WPARAM hitCode) {
    const POINT p = ButtonCentre(button);
    SendMessageA(hwnd_, WM_NCLBUTTONDOWN, hitCode, ScreenPoint(p.x, p.y));
}

void SkinnedWindowTest::ButtonUp(int button, WPARAM hitCode) {
    const POINT p = ButtonCentre(button);
    SendMessageA(hwnd_, WM_NCLBUTTONUP, hitCode, ScreenPoint(p.x, p.y));
}

COLORREF SkinnedWindowTest::Pixel(int x, int y) {
    SendMessageA(hwnd_, WM_NCPAINT, 1, 0);
    platform::win32::ScopedWindowDc dc(hwnd_, platform::win32::DcArea::kWholeWindow);
    return GetPixel(dc.get(), x, y);
}

}  // namespace tf::skin::testing
