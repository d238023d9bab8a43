#include "mainwindow/form1_fixture.h"

#include <atomic>
#include <fstream>
#include <iterator>

#include "listing/listing_run.h"

namespace tf::mainwindow::testing {
namespace {

constexpr UINT kRunAction = WM_APP + 7;

class SilentHost final : public listing::ScanHost {
public:
    void SetStatus(const std::string&) override {}
    void PumpEvents() override {}
    bool Stopped() override { return false; }
};

std::string NewTempFolder() {
    static std::atomic<int> counter{0};
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string path = std::string(temp) + "tf_form1_" + std::to_string(GetCurrentProcessId()) + "_" +
                       std::to_string(counter++);
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

}  // namespace

PumpHook::PumpHook() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TallyfoldTestPumpHook";
    RegisterClassA(&wc);  // a second registration fails harmlessly
    hwnd_ = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
}

PumpHook::~PumpHook() { DestroyWindow(hwnd_); }

void PumpHook::Post(std::function<void()> action) {
    actions_.push_back(std::move(action));
    PostMessageA(hwnd_, kRunAction, 0, 0);
}

LRESULT CALLBACK PumpHook::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<PumpHook*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == kRunAction && self && !self->actions_.empty()) {
        auto action = std::move(self->actions_.front());
        self->actions_.pop_front();
        ++self->ran_;
        action();
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void DrainMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

void Form1Test::SetUp() {
    root_ = NewTempFolder();
    app_ = root_ + "\\app";
    src_ = root_ + "\\src";
    std::filesystem::create_directories(app_);
    // The window starts with the program's skin, as beside the executable.
    std::filesystem::create_directories(app_ + "\\images");
    CopyFileA(kProgramSkinFile.c_str(), (app_ + "\\images\\DOR.Skin").c_str(), FALSE);
    std::filesystem::create_directories(src_);
    fileSystem_ = platform::CreateFileSystem();
    Reopen();
}

void Form1Test::Reopen() {
    form_.reset();
    Form1Services services;
    services.messages = &messages_;
    services.launcher = &launcher_;
    services.fileDialog = &dialog_;
    services.files = &files_;
    services.appFolder = app_;
    services.quitOnDestroy = false;
    services.volumeOf = volumeOf_;
    services.openVolume = openVolume_;
    form_ = std::make_unique<Form1>(services);
    ASSERT_TRUE(form_->Create(GetModuleHandleA(nullptr)));
}

void Form1Test::TearDown() {
    form_.reset();
    DrainMessages();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string Form1Test::Text(Control c) {
    char text[1024] = {};
    GetWindowTextA(item(c), text, sizeof text);
    return text;
}

bool Form1Test::IsBold(Control c) {
    LOGFONTA lf{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(item(c), WM_GETFONT, 0, 0)), sizeof lf, &lf);
    return lf.lfWeight >= FW_BOLD;
}

void Form1Test::MakeFile(const std::string& relative, std::size_t size) {
    WriteFile(src_ + "\\" + relative, std::string(size, 'x'));
}

void Form1Test::MakeFolder(const std::string& relative) {
    // The path is UTF-8, the program's code page.
    std::filesystem::create_directories(std::filesystem::u8path(src_ + "\\" + relative));
}

std::string Form1Test::EngineReport(listing::ListingOptions options, const std::string& source) {
    const std::string path = root_ + "\\engine.out";
    SilentHost host;
    listing::RunTotals totals;
    options.source = source.empty() ? src_ : source;
    listing::RunListing(options, *fileSystem_, host, path, totals);
    return ReadFile(path);
}

void Form1Test::MakeSampleTree() {
    MakeFile("notes.txt", 5);
    MakeFile("data.bin", 1536);
    MakeFile("zeta.txt", 2560);
    MakeFolder("one\\deeper");
    MakeFile("one\\a.txt", 10);
    MakeFile("one\\b.txt", 20);
    MakeFile("one\\deeper\\c.txt", 30);
    MakeFolder("two");
    MakeFile("two\\d.txt", 4096);
}

}  // namespace tf::mainwindow::testing
