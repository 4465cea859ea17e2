// The band's recurring costs as figures (scripts/bench.sh prints them, nothing fails on them):
// one UpdateMeters tick of 8 and 64 mixed meters with the heap allocations a steady tick makes
// (our code's, counted by wrapping the allocator at link time); one full WM_PAINT (every cell
// composed, as after an erase) of 8 and 32 meters against the WM_PAINT of a band without meters
// in the same run (the floor of any paint here), the repaint of a tick in which nothing moved,
// and the drawing calls one bar costs in a full paint, counted through this program's imports.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <vector>

#include "import_hook.h"
#include "meters/sources.h"
#include "meters/update_meters.h"
#include "shell/module.h"
#include "win32_test_support.h"
#include "window/band_window.h"

namespace {
long allocations;
}

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
void* __wrap_malloc(size_t size) {
    ++allocations;
    return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size) {
    ++allocations;
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* block, size_t size) {
    ++allocations;
    return __real_realloc(block, size);
}
}

namespace {

const char* const statistics[] = {"KERNEL\\CPUUsage", "KERNEL\\Threads", "VFAT\\BReadsSec",
                                  "VFAT\\BytesRead"};

// Four statistics with their descriptions; the fourth is a running total.
void PublishStatistics() {
    CreateStartStat();
    for (int i = 0; i < 4; ++i) {
        SetStatTotal(statistics[i], 1000 * (i + 1));
        SetStatDescription(statistics[i], statistics[i], i == 3 ? "TRUE" : nullptr);
    }
}

// Meters that cycle through statistics, memory, resources (the rsrc32 stand-in) and drive C:.
void AddMixedMeters(Meter** head, int count, DWORD interval) {
    for (int i = 0; i < count; ++i) {
        const int round = i / 4;
        if (i % 4 == 0) {
            AppendMeter(head, PerfStat, statistics[round % 4], -1, interval);
        } else if (i % 4 == 1) {
            AppendMeter(head, Memory, "Memory\\Load", round % 4, interval);
        } else if (i % 4 == 2) {
            AppendMeter(head, Resource, "Resource\\SYSTEM", round % 3, interval);
        } else {
            AppendMeter(head, Drive, "Drive\\C:\\", 0, interval);
        }
    }
}

// Median in microseconds of runs of step, each after an untimed prepare.
template <typename Prepare, typename Step>
double MedianMicros(int runs, Prepare prepare, Step step) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> micros;
    for (int run = 0; run < runs; ++run) {
        prepare();
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        step();
        QueryPerformanceCounter(&end);
        micros.push_back(1e6 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
    }
    std::sort(micros.begin(), micros.end());
    return micros[micros.size() / 2];
}

void MeasureTick(int count, DWORD interval, const char* what) {
    TestBand test;
    AddMixedMeters(&test.band.meters, count, interval);
    const long beforeLabels = allocations;
    BuildLabels(&test.band, false);
    const long labelAllocations = allocations - beforeLabels;
    UpdateMeters(&test.band, 600, nullptr, nullptr); // the first tick samples everything at once
    const int ticks = 2000;
    const long before = allocations;
    const double median = MedianMicros(
        ticks, [] {}, [&] { UpdateMeters(&test.band, 600, nullptr, nullptr); });
    printf("  %2d meters, %-16s median %8.1f us/tick, allocations/tick %.2f"
           " (a label rebuild: %ld)\n",
           count, what, median, double(allocations - before) / ticks, labelAllocations);
    ReleaseStatisticsKey(&test.band);
}

// Calls into gdi32 and the drawing calls of user32, through hooked imports.
long gdiCalls;
long userCalls;
void* realFunctions[16];

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

// A shown band window of count mixed meters in a width x height host, its timer stopped.
struct PaintedBand {
    HWND parent;
    MeterBand band;

    PaintedBand(int count, int width, int height) {
        parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                 nullptr, nullptr, moduleInstance, nullptr);
        InitMeterBandFields(&band);
        band.parentWindow = parent;
        AddMixedMeters(&band.meters, count, 1000);
        CreateBandWindow(&band);
        KillTimer(band.window, band.timerId); // ticks come from here only
        ShowWindow(band.window, SW_SHOWNA);
        if (count > 0) {
            SendMessageA(band.window, WM_TIMER, 1, 0);
        }
        // Bars of every length, a trail on every second meter, scale texts visible.
        int i = 0;
        for (Meter* m = band.meters; m; m = m->next, ++i) {
            m->scale = 1000;
            m->value = 100 + 37 * i % 900;
            m->peak = (i % 2) ? m->value + 80 : 0;
            m->blink = 0;
        }
        UpdateWindow(band.window);
    }
    ~PaintedBand() {
        DestroyWindow(parent);
        ReleaseMeters(band.meters);
        ReleaseStatisticsKey(&band);
        if (band.font) {
            DeleteObject(band.font);
        }
    }
    double PaintMedian(bool erase) {
        return MedianMicros(
            400, [&] { InvalidateRect(band.window, nullptr, erase); },
            [&] { UpdateWindow(band.window); });
    }
    // Drawing calls of one full paint, gdi32 and user32.
    std::pair<long, long> CountFullPaint() {
        InvalidateRect(band.window, nullptr, TRUE);
        gdiCalls = userCalls = 0;
        UpdateWindow(band.window);
        return {gdiCalls, userCalls};
    }
};

void MeasurePaint(int count, int width, int height, double floor,
                  std::pair<long, long> floorCalls) {
    PaintedBand b(count, width, height);
    const double full = b.PaintMedian(true);
    const double still = b.PaintMedian(false);
    const std::pair<long, long> calls = b.CountFullPaint();
    printf("  %2d meters %4dx%-3d (%2dx%d grid): full paint median %7.1f us = %5.2f x floor;"
           " nothing moved %6.1f us\n",
           count, width, height, b.band.columns, b.band.rows, full, full / floor, still);
    printf("      drawing calls per bar in a full paint: %.1f gdi32 + %.1f user32\n",
           double(calls.first - floorCalls.first) / count,
           double(calls.second - floorCalls.second) / count);
}

} // namespace

int main() {
    moduleInstance = GetModuleHandleA(nullptr);
    PublishStatistics();
    BindDiskFreeSpaceEx();
    printf("UpdateMeters, one tick (statistics, memory, rsrc32 stand-in, drive C:):\n");
    for (DWORD interval : {DWORD(0), DWORD(3600000)}) {
        for (int count : {8, 64}) {
            MeasureTick(count, interval, interval ? "none due" : "every meter due");
        }
    }
    CountDrawingCalls();
    printf("\nBand paint (median of 400 WM_PAINTs; goal: a full paint of 8 meters at most 2 x the\n"
           "floor, at most 12 GDI calls per bar):\n");
    for (const auto& size : {std::make_pair(600, 40), std::make_pair(200, 120)}) {
        double floor;
        std::pair<long, long> floorCalls;
        {
            PaintedBand empty(0, size.first, size.second);
            floor = empty.PaintMedian(true);
            floorCalls = empty.CountFullPaint();
        }
        printf("  floor: WM_PAINT of a band without meters, %dx%d: median %.1f us\n", size.first,
               size.second, floor);
        MeasurePaint(8, size.first, size.second, floor, floorCalls);
        MeasurePaint(32, size.first, size.second, floor, floorCalls);
    }
    ReleaseResourceModule();
    return 0;
}
