// Form1 gives back every GDI and USER object it takes: around a run and
// around its whole life.
#include <windows.h>

#include "mainwindow/form1_fixture.h"

namespace tf::mainwindow::testing {
namespace {

using Form1Resources = Form1Test;

// The process's GDI objects. Where GetGuiResources is not implemented (Wine
// answers 0), every handle index is probed instead: a handle with a zero
// upper word names the object at that index of the table.
DWORD GdiObjects() {
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported != 0) return reported;
    DWORD live = 0;
    for (UINT_PTR index = 1; index < 0x10000; ++index)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++live;
    return live;
}

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
