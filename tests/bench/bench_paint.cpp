// Cost of painting the band: one full WM_PAINT (every cell composed, as after an erase) of 8 and
// 32 meters against the WM_PAINT of a band without meters in the same run (the floor of any
// paint here), the repaint of a tick in which nothing moved, and the GDI calls one bar costs in
// a full paint, counted through this program's import table.
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <vector>

#include "../win32/import_hook.h"
#include "bench_support.h"
#include "meters/sources.h"
#include "shell/meter_band.h"
#include "shell/module.h"
#include "window/band_window.h"

namespace {

double Micros(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1e6 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

// Median of runs of one WM_PAINT (InvalidateRect, with or without erase, then UpdateWindow).
double PaintMedian(HWND window, int runs, bool erase) {
    std::vector<double> paint;
    for (int run = 0; run < runs; ++run) {
        InvalidateRect(window, nullptr, erase ? TRUE : FALSE);
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        UpdateWindow(window);
        QueryPerformanceCounter(&end);
        paint.push_back(Micros(start, end));
    }
    return Median(paint);
}

// Calls into gdi32 and the drawing calls of user32, through hooked imports.
long gdiCalls;
long userCalls;
enum { HookCount = 16 };
void* realFunctions[HookCount];

template <int N, bool User, typename R, typename... A> R WINAPI Counted(A... arguments) {
    ++(User ? userCalls : gdiCalls);
    return reinterpret_cast<R(WINAPI*)(A...)>(realFunctions[N])(arguments...);
}
template <int N, bool User, typename R, typename... A>
void Hook(const char* dll, const char* name, R(WINAPI*)(A...)) {
    realFunctions[N] = HookImport(dll, name, reinterpret_cast<void*>(&Counted<N, User, R, A...>));
}

void CountDrawingCalls() {
    Hook<0, false>("gdi32.dll", "BitBlt", &BitBlt);
    Hook<1, false>("gdi32.dll", "SelectObject", &SelectObject);
    Hook<2, false>("gdi32.dll", "SetTextColor", &SetTextColor);
    Hook<3, false>("gdi32.dll", "SetBkColor", &SetBkColor);
    Hook<4, false>("gdi32.dll", "SetBkMode", &SetBkMode);
    Hook<5, false>("gdi32.dll", "CreateSolidBrush", &CreateSolidBrush);
    Hook<6, false>("gdi32.dll", "DeleteObject", &DeleteObject);
    Hook<7, false>("gdi32.dll", "CreateCompatibleDC", &CreateCompatibleDC);
    Hook<8, false>("gdi32.dll", "CreateCompatibleBitmap", &CreateCompatibleBitmap);
    Hook<9, false>("gdi32.dll", "DeleteDC", &DeleteDC);
    Hook<10, false>("gdi32.dll", "GetStockObject", &GetStockObject);
    Hook<11, false>("gdi32.dll", "CreateFontA", &CreateFontA);
    Hook<12, true>("user32.dll", "FillRect", &FillRect);
    Hook<13, true>("user32.dll", "DrawTextA", &DrawTextA);
    Hook<14, true>("user32.dll", "DrawEdge", &DrawEdge);
}

const int runs = 400;

struct BenchBand {
    HWND parent;
    MeterBand band;
};

// A shown band window of count mixed meters in a width x height host, its timer stopped.
void OpenBand(BenchBand* b, int count, int width, int height) {
    b->parent = CreateWindowExA(0, "VtBenchHost", "", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                nullptr, nullptr, moduleInstance, nullptr);
    InitMeterBandFields(&b->band);
    b->band.parentWindow = b->parent;
    Meter** tail = &b->band.meters;
    for (int i = 0; i < count; ++i) {
        *tail = MixedMeter(i, 1000);
        tail = &(*tail)->next;
    }
    CreateBandWindow(&b->band);
    KillTimer(b->band.window, b->band.timerId); // ticks come from here only
    ShowWindow(b->band.window, SW_SHOWNA);
    if (count > 0) {
        SendMessageA(b->band.window, WM_TIMER, 1, 0);
    }
    // Bars of every length, a trail on every second meter, scale texts visible.
    int i = 0;
    for (Meter* m = b->band.meters; m; m = m->next, ++i) {
        m->scale = 1000;
        m->value = 100 + 37 * i % 900;
        m->peak = (i % 2) ? m->value + 80 : 0;
        m->blink = 0;
    }
    UpdateWindow(b->band.window);
}

void CloseBand(BenchBand* b) {
    DestroyWindow(b->parent);
    ReleaseMeters(b->band.meters);
    ReleaseStatisticsKey(&b->band);
    if (b->band.font) {
        DeleteObject(b->band.font);
    }
}

// Drawing calls of one full paint.
void CountFullPaint(HWND window, long* gdi, long* user) {
    InvalidateRect(window, nullptr, TRUE);
    gdiCalls = 0;
    userCalls = 0;
    UpdateWindow(window);
    *gdi = gdiCalls;
    *user = userCalls;
}

void Measure(int count, int width, int height, double floor, long floorGdi, long floorUser) {
    BenchBand b;
    OpenBand(&b, count, width, height);
    const double full = PaintMedian(b.band.window, runs, true);
    const double still = PaintMedian(b.band.window, runs, false);
    long gdi = 0, user = 0;
    CountFullPaint(b.band.window, &gdi, &user);
    char size[32];
    snprintf(size, sizeof(size), "%dx%d", width, height);
    printf("  %2d meters %-7s (%2dx%d grid): full paint median %7.1f us = %5.2f x floor;"
           " nothing moved %6.1f us\n",
           count, size, b.band.columns, b.band.rows, full, full / floor, still);
    printf("      drawing calls per bar in a full paint: %.1f gdi32 + %.1f user32\n",
           double(gdi - floorGdi) / count, double(user - floorUser) / count);
    CloseBand(&b);
}

} // namespace

int main() {
    moduleInstance = GetModuleHandleA(nullptr);
    WNDCLASSA host;
    ZeroMemory(&host, sizeof(host));
    host.lpfnWndProc = DefWindowProcA;
    host.hInstance = moduleInstance;
    host.lpszClassName = "VtBenchHost";
    RegisterClassA(&host);
    PublishStatistics();
    BindDiskFreeSpaceEx();
    CountDrawingCalls();
    printf("Band paint (median of %d WM_PAINTs; goal: a full paint of 8 meters at most 2 x the\n"
           "floor, at most 12 GDI calls per bar):\n",
           runs);
    const int sizes[][2] = {{600, 40}, {200, 120}};
    for (const int* size : sizes) {
        BenchBand empty;
        OpenBand(&empty, 0, size[0], size[1]);
        const double floor = PaintMedian(empty.band.window, runs, true);
        long floorGdi = 0, floorUser = 0;
        CountFullPaint(empty.band.window, &floorGdi, &floorUser);
        printf("  floor: WM_PAINT of a band without meters, %dx%d: median %.1f us\n", size[0],
               size[1], floor);
        CloseBand(&empty);
        Measure(8, size[0], size[1], floor, floorGdi, floorUser);
        Measure(32, size[0], size[1], floor, floorGdi, floorUser);
    }
    ReleaseResourceModule();
    return 0;
}
