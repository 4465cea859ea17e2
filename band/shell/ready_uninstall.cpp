// Asked by the uninstaller before it deletes this DLL: no band window may be left anywhere.
#include <windows.h>

#include "../window/band_window.h"

namespace {

BOOL CALLBACK FindBandChild(HWND window, LPARAM found) {
    char className[64];
    if (GetClassNameA(window, className, sizeof(className)) > 0 &&
        lstrcmpA(className, bandWindowClassName) == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK SearchTopLevel(HWND window, LPARAM found) {
    EnumChildWindows(window, FindBandChild, found);
    return *reinterpret_cast<HWND*>(found) ? FALSE : TRUE;
}

} // namespace

extern "C" BOOL WINAPI ReadyUninstall() {
    HWND found = nullptr;
    EnumWindows(SearchTopLevel, reinterpret_cast<LPARAM>(&found));
    return found ? FALSE : TRUE;
}
