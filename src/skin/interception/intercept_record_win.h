#pragma once
// One intercepted window: the record that sits in front of the window's
// previous procedure. Created by MessageInterceptor::Intercept, freed by the
// record's own dispatch once a release is pending and no other dispatch through it is
// running (or by the engine when the window is already gone).
#include <windows.h>

#include <functional>

#include "skin/interception/message_table.h"

namespace tf::skin {

class MessageInterceptor;

// What an interception handler receives. bHandled starts False and lReturn 0;
// both carry over from the before phase to the after phase of one message. A
// message handled in the before phase goes neither to the previous procedure
// nor to the after phase.
using SubclassHandler = std::function<void(bool bBefore, bool& bHandled, LRESULT& lReturn, HWND lng_hWnd, UINT uMsg,
                                           WPARAM wParam, LPARAM lParam, LONG_PTR& userValue)>;

struct InterceptRecord {
    int inUse = 0;                // dispatches through this record now on the stack
    bool releasePending = false;  // free at the end of the outermost dispatch
    HWND window = nullptr;
    bool unicode = false;         // installed and called through the W functions
    WNDPROC entry = nullptr;      // this record's own window procedure
    WNDPROC previous = nullptr;   // the procedure that was in place before
    MessageInterceptor* owner = nullptr;  // null once the interceptor is gone
    SubclassHandler callback;
    MessageTable before;
    MessageTable after;
    LONG_PTR user = 0;
};

}  // namespace tf::skin
