// Cost of one paint of the whole band (WM_PAINT handling: grid, text lines, every bar composed
// off-screen and copied) for 8 and 32 meters in two window sizes, next to the cost of a single
// BitBlt of the same window area measured in the same run: the floor that any flicker-free
// painting of that area pays at least once. Two more figures say where the time goes: the
// WM_PAINT of a band without meters, and one bar's off-screen device context and bitmap.
#include <windows.h>

#include <algorithm>
#include <stdio.h>
#include <string.h>
#include <vector>

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

// Median of runs of one WM_PAINT (InvalidateRect without erase, UpdateWindow).
double PaintMedian(HWND window, int runs) {
    std::vector<double> paint;
    for (int run = 0; run < runs; ++run) {
        InvalidateRect(window, nullptr, FALSE);
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        UpdateWindow(window);
        QueryPerformanceCounter(&end);
        paint.push_back(Micros(start, end));
    }
    return Median(paint);
}

const int runs = 400;

void Measure(int count, int width, int height) {
    HWND parent = CreateWindowExA(0, "VtBenchHost", "", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                  nullptr, nullptr, moduleInstance, nullptr);
    MeterBand band;
    InitMeterBandFields(&band);
    band.parentWindow = parent;
    Meter** tail = &band.meters;
    for (int i = 0; i < count; ++i) {
        *tail = MixedMeter(i, 1000);
        tail = &(*tail)->next;
    }
    CreateBandWindow(&band);
    KillTimer(band.window, band.timerId); // ticks come from here only, not from the loop
    ShowWindow(band.window, SW_SHOWNA);
    SendMessageA(band.window, WM_TIMER, 1, 0);
    // Bars of every length, a trail on every second meter, scale texts visible.
    int i = 0;
    for (Meter* m = band.meters; m; m = m->next, ++i) {
        m->scale = 1000;
        m->value = 100 + 37 * i % 900;
        m->peak = (i % 2) ? m->value + 80 : 0;
        m->blink = 0;
    }
    UpdateWindow(band.window);

    const double paintMedian = PaintMedian(band.window, runs);
    std::vector<double> blit;
    // The floor: one copy of a prepared off-screen picture of the whole area to the window.
    HDC windowDc = GetDC(band.window);
    HDC memory = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    for (int run = 0; run < runs; ++run) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        BitBlt(windowDc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
        GdiFlush();
        QueryPerformanceCounter(&end);
        blit.push_back(Micros(start, end));
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(band.window, windowDc);

    const double blitMedian = Median(blit);
    char size[32];
    snprintf(size, sizeof(size), "%dx%d", width, height);
    printf("  PaintMeters %2d meters %-7s (%2dx%d grid): median %8.1f us, BitBlt floor %5.1f us,"
           " ratio %6.0f\n",
           count, size, band.columns, band.rows, paintMedian, blitMedian, paintMedian / blitMedian);
    DestroyWindow(parent);
    ReleaseMeters(band.meters);
    if (band.font) {
        DeleteObject(band.font);
    }
}

// A band window without meters: BeginPaint, layout and EndPaint alone.
void MeasureEmpty(int width, int height) {
    HWND parent = CreateWindowExA(0, "VtBenchHost", "", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                  nullptr, nullptr, moduleInstance, nullptr);
    MeterBand band;
    InitMeterBandFields(&band);
    band.parentWindow = parent;
    CreateBandWindow(&band);
    KillTimer(band.window, band.timerId);
    ShowWindow(band.window, SW_SHOWNA);
    UpdateWindow(band.window);
    printf("  WM_PAINT of a band without meters, %dx%d: median %.1f us\n", width, height,
           PaintMedian(band.window, runs));

    // What DrawBar pays per bar before it draws anything: a memory DC and a bitmap compatible
    // with the window's DC, selected in and out, deleted.
    HDC windowDc = GetDC(band.window);
    std::vector<double> setup;
    for (int run = 0; run < runs; ++run) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        HDC memory = CreateCompatibleDC(windowDc);
        HBITMAP bitmap = CreateCompatibleBitmap(windowDc, 148, 20);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        SelectObject(memory, previous);
        DeleteObject(bitmap);
        DeleteDC(memory);
        QueryPerformanceCounter(&end);
        setup.push_back(Micros(start, end));
    }
    ReleaseDC(band.window, windowDc);
    printf("  one bar's off-screen DC and 148x20 bitmap (create, select, deselect, delete):"
           " median %.1f us\n",
           Median(setup));
    DestroyWindow(parent);
    if (band.font) {
        DeleteObject(band.font);
    }
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
    printf("Band paint: one WM_PAINT of the whole band window (median of %d), against one BitBlt\n"
           "of the same window area measured in the same run (the floor):\n",
           runs);
    Measure(8, 600, 40);
    Measure(32, 600, 40);
    Measure(8, 200, 120);
    Measure(32, 200, 120);
    printf("Where the time goes (same run):\n");
    MeasureEmpty(600, 40);
    ReleaseResourceModule();
    return 0;
}
