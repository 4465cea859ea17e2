// The floor of a band's steady cost: a plain window whose 100 ms timer does nothing, the least
// any band sampling on such a timer can cost (scripts/bench.sh sets bandhost against it).
// usage: timer_floor.exe SECONDS
#include <windows.h>

#include <stdlib.h>

int main(int argc, char** argv) {
    RECT size = {0, 0, 600, 40}; // bandhost's default strip in the same frame
    AdjustWindowRect(&size, WS_OVERLAPPEDWINDOW, FALSE);
    HWND window = CreateWindowExA(0, "STATIC", "timer floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                                  40, size.right - size.left, size.bottom - size.top, nullptr,
                                  nullptr, nullptr, nullptr);
    // Its WM_TIMER goes to the control's own procedure, which does nothing with it.
    const bool timing = window && SetTimer(window, 1, 100, nullptr);
    const DWORD end = GetTickCount() + static_cast<DWORD>(atof(argc > 1 ? argv[1] : "60") * 1000);
    MSG msg;
    while (timing && GetTickCount() < end && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageA(&msg);
    }
    return timing ? 0 : 1;
}
