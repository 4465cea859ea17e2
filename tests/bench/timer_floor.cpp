// The floor of a band's steady cost: a plain window whose 100 ms timer does nothing, the least
// any band that samples on such a timer can cost. scripts/bench.sh sets bandhost's CPU time
// against this one's. usage: timer_floor.exe SECONDS (then it closes itself)
#include <windows.h>

#include <stdlib.h>

namespace {

const UINT_PTR IdleTimer = 1, ExitTimer = 2;

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        if (wParam == ExitTimer) {
            DestroyWindow(window);
        }
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int main(int argc, char** argv) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = FloorProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "VeltrimTimerFloor";
    RegisterClassA(&windowClass);
    // The size of bandhost's frame around its default strip.
    RECT size = {0, 0, 600, 40};
    AdjustWindowRect(&size, WS_OVERLAPPEDWINDOW, FALSE);
    HWND window =
        CreateWindowExA(0, windowClass.lpszClassName, "timer floor",
                        WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, size.right - size.left,
                        size.bottom - size.top, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) {
        return 1;
    }
    SetTimer(window, IdleTimer, 100, nullptr);
    SetTimer(window, ExitTimer, static_cast<UINT>(atof(argc > 1 ? argv[1] : "60") * 1000), nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
