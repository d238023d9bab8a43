#pragma once
// Counting the process's GDI objects in tests.
#include <windows.h>

namespace tf::testing {

// The process's GDI objects. Where GetGuiResources is not implemented (Wine
// answers 0), every handle index is probed instead: a handle with a zero
// upper word names the object at that index of the table.
inline DWORD GdiObjects() {
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported != 0) return reported;
    DWORD live = 0;
    for (UINT_PTR index = 1; index < 0x10000; ++index)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++live;
    return live;
}

}  // namespace tf::testing
