#pragma once
// The program's text is 8-bit in the active code page (UTF-8 where the
// manifest's setting is honoured). Where a wide call does better than its
// 8-bit twin, the text crosses over here.
#include <windows.h>

#include <string>
#include <string_view>

namespace tf::platform::win32 {

std::wstring Widen(std::string_view text, UINT codePage = CP_ACP);
std::string Narrow(std::wstring_view text, UINT codePage = CP_ACP);

// A path for the wide file calls. One too long for the classic limit gets
// the "\\?\" form, which the system passes on unshortened, so long folders
// are searched wherever the file system allows it.
std::wstring FileApiPath(std::string_view path);

}  // namespace tf::platform::win32
