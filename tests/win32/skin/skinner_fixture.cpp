#include "skin/skinner_fixture.h"

namespace tf::skin::testing {

namespace {
constexpr char kTestClass[] = "TallyfoldSkinnerTestWindow";
}

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (auto* received = reinterpret_cast<std::vector<UINT>*>(GetWindowLongPtrA(window, GWLP_USERDATA)))
        received->push_back(message);
    if (message > WM_USER && message < WM_USER + 100) return 1000 + (message - WM_USER);
    return DefWindowProcA(window, message, wParam, lParam);
}

void SkinnerTest::SetUp() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = TestWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kTestClass;
    RegisterClassA(&windowClass);  // fails harmlessly when already there
    skinner_ = NewSkinner();
}

void SkinnerTest::TearDown() {
    skinner_.reset();
    for (HWND window : windows_)
        if (IsWindow(window)) DestroyWindow(window);
}

HWND SkinnerTest::NewWindow() {
    received_.push_back(std::make_unique<std::vector<UINT>>());
    HWND window = CreateWindowExA(0, kTestClass, "skinner test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 150, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), received_.back().get());
    EXPECT_NE(window, nullptr);
    windows_.push_back(window);
    return window;
}

const std::vector<UINT>& SkinnerTest::Received(HWND window) const {
    for (std::size_t i = 0; i < windows_.size(); ++i)
        if (windows_[i] == window) return *received_[i];
    ADD_FAILURE() << "not a test window";
    return *received_.front();
}

std::unique_ptr<ClsSkinner> SkinnerTest::NewSkinner() {
    SkinnerServices services;
    services.messages = &messages_;
    services.eventLog = &eventLog_;
    return std::make_unique<ClsSkinner>(services);
}

}  // namespace tf::skin::testing
