// Form1 gives back every GDI and USER object it takes: around a run and
// around its whole life.
#include <windows.h>

#include "gdi_objects.h"
#include "mainwindow/form1_fixture.h"

namespace tf::mainwindow::testing {
namespace {

using Form1Resources = Form1Test;

using tf::testing::GdiObjects;

TEST_F(Form1Resources, RunsAndWindowsLeaveNoObjectsBehind) {
    MakeSampleTree();
    form().SetSourceFolder(src_);
    ShowWindow(form().hwnd(), SW_SHOWNOACTIVATE);
    UpdateWindow(form().hwnd());
    Click(Control::Command1);  // first run: caches and fonts settle
    DrainMessages();
    const DWORD gdiBefore = GdiObjects();
    ASSERT_GT(gdiBefore, 0u);
    for (int i = 0; i < 5; ++i) {
        Click(Control::Command1);
        Click(Control::Command2);
        SetText(Control::saveas, i % 2 ? "Text" : "HTML");
        RedrawWindow(form().hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    DrainMessages();
    EXPECT_EQ(GdiObjects(), gdiBefore);

    form_.reset();
    DrainMessages();
    // The first window after the last one went makes the system's own caches
    // again; count from the second.
    DWORD gdiWithout = 0;
    for (int i = 0; i < 4; ++i) {
        if (i == 1) {
            DrainMessages();
            gdiWithout = GdiObjects();
        }
        Form1Services services;
        services.messages = &messages_;
        services.launcher = &launcher_;
        services.appFolder = app_;
        services.quitOnDestroy = false;
        Form1 another(services);
        ASSERT_TRUE(another.Create(GetModuleHandleA(nullptr)));
        ShowWindow(another.hwnd(), SW_SHOWNOACTIVATE);
        UpdateWindow(another.hwnd());
    }
    DrainMessages();
    EXPECT_EQ(GdiObjects(), gdiWithout);
}

}  // namespace
}  // namespace tf::mainwindow::testing
