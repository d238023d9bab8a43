// HookForm/UnHookForm and frame painting.
//
// Not hooked yet: these definitions only let the interception and loading
// code link. HookForm intercepts nothing and reports False; the handlers do
// nothing.
#include "skin/cls_skinner_win.h"

namespace tf::skin {

bool ClsSkinner::HookForm(HWND) { return false; }

void ClsSkinner::UnHookForm(HWND) {}

void ClsSkinner::WindowHandler(bool, bool&, LRESULT&, HWND, UINT, WPARAM, LPARAM, LONG_PTR&) {}

void ClsSkinner::MdiClientHandler(bool, bool&, LRESULT&, HWND, UINT, WPARAM, LPARAM, LONG_PTR&) {}

void ClsSkinner::TimerProc(HWND, UINT, UINT_PTR, DWORD) {}

void ClsSkinner::ReleaseSkinObjects() {}

void ClsSkinner::ReapplySkin() {}

}  // namespace tf::skin
